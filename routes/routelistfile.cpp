#include "routelistfile.h"

#include "base/cp1251.h"

namespace velmora {
namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';

}  // namespace

std::string TooManyRoutesText() {
  return Cp("***В файле больше 256 маршрутов, прочитаны первые 256");
}

RouteListParse ParseRouteList(const std::string& bytes, StoredRouteList& stored) {
  stored.Clear();
  RouteListParse result;
  RouteTexts fields;
  int field = 0;
  bool comment = false;

  auto put = [&](char c) {
    // Fields past the fourth are ignored; a field longer than its record field is cut.
    if (field < kRouteFields && fields[field].size() < kFieldCapacity[field]) {
      fields[field] += c;
    }
  };
  auto endLine = [&] {
    if (!comment) {
      ++result.inFile;
      if (result.routes < kStoredRoutes) {
        stored.records[result.routes].SetTexts(fields);
        ++result.routes;
      } else {
        result.truncated = true;
      }
    }
    fields = RouteTexts{};
    field = 0;
    comment = false;
  };

  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char c = bytes[i];
    if (c == kCr || c == kLf) {
      // CR LF, a bare LF and a bare CR each end one line.
      if (c == kCr && i + 1 < n && bytes[i + 1] == kLf) ++i;
      endLine();
    } else if (comment) {
      continue;
    } else if (c == '\\') {
      if (i + 1 >= n) break;  // an escape with nothing after it stands after the last line end
      const char next = bytes[++i];
      // A zero byte cannot be part of a zero-terminated text.
      if (next != '\0') put(next);
    } else if (c == '/' && i + 1 < n && bytes[i + 1] == '/') {
      comment = true;
    } else if (c == ';') {
      ++field;
      if (field > kRouteFields) field = kRouteFields;
    } else if (static_cast<unsigned char>(c) >= 0x20) {
      put(c);
    }
    // Other bytes below 0x20 are dropped.
  }
  // Whatever follows the last line end is no route.
  stored.count = result.routes;
  return result;
}

std::string RouteLine(const RouteTexts& texts) {
  std::string line;
  for (int f = 0; f < kRouteFields; ++f) {
    if (f > 0) line += ';';
    for (char c : texts[f]) {
      // "/" is escaped so that "//" in a text starts no comment; bytes below 0x20 so that
      // a tab or line break survives the reader.
      if (c == ';' || c == '\\' || c == '/' || static_cast<unsigned char>(c) < 0x20) line += '\\';
      line += c;
    }
  }
  line += "\r\n";
  return line;
}

std::string RouteListHeader(const DateTimeFormat& format, const DateTime& when) {
  return "//\r\n" + Cp("// Версия 01.00 ") + kMakersNotice + FormatDateTime(format, when) +
         "\r\n";
}

std::string RouteCountLine(int count) {
  return Cp("// Маршрутов: ") + std::to_string(count) + "\r\n";
}

std::string WriteRouteList(const std::vector<RouteTexts>& routes, const DateTimeFormat& format,
                           const DateTime& when) {
  const int count = static_cast<int>(routes.size());
  std::string file = RouteListHeader(format, when) + RouteCountLine(count);
  for (const RouteTexts& texts : routes) file += RouteLine(texts);
  return file;
}

std::string WriteRouteList(const StoredRouteList& stored, const DateTimeFormat& format,
                           const DateTime& when) {
  const int count = stored.count < 0 ? 0 : stored.count > kStoredRoutes ? kStoredRoutes
                                                                          : stored.count;
  std::vector<RouteTexts> routes;
  routes.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) routes.push_back(stored.records[i].Texts());
  return WriteRouteList(routes, format, when);
}

}  // namespace velmora
