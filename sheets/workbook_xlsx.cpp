// The first worksheet of an Office Open XML workbook (.xlsx, .xlsm).
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "base/cp1251.h"
#include "workbookparts.h"

namespace velmora::workbook {
namespace {

constexpr long long kMaxRow = 1048576;

bool EndsWith(const std::string& s, const char* tail) {
  const std::string t(tail);
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// A relationship's target, from the folder of the part that names it.
std::string Resolve(const std::string& folder, const std::string& target) {
  std::string path = !target.empty() && target[0] == '/' ? target.substr(1) : folder + target;
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    const std::string part = path.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = slash + 1;
  }
  std::string joined;
  for (const std::string& p : parts) joined += (joined.empty() ? "" : "/") + p;
  return joined;
}

struct Relation {
  std::string type, target;
};

// The relationships of `part` by their Id; "" or a refusal in `refusal`.
std::map<std::string, Relation> Relations(const ZipArchive& zip, const std::string& part,
                                          std::string& refusal) {
  std::map<std::string, Relation> relations;
  const std::size_t slash = part.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : part.substr(0, slash + 1);
  const std::string name = folder + "_rels/" + part.substr(folder.size()) + ".rels";
  if (!zip.Has(name)) return relations;
  pugi::xml_document doc;
  refusal = ReadXmlPart(zip, name, doc);
  for (pugi::xml_node r : Child(doc, "Relationships").children()) {
    if (!Is(r, "Relationship") || Attribute(r, "TargetMode") == "External") continue;
    relations[Attribute(r, "Id")] = {Attribute(r, "Type"), Resolve(folder, Attribute(r, "Target"))};
  }
  return relations;
}

// The text of a shared or inline string: its runs, without the phonetic guides.
std::string StringText(const pugi::xml_node& node) {
  std::string text;
  for (pugi::xml_node child : node.children()) {
    if (Is(child, "t")) text += child.text().get();
    if (Is(child, "r")) text += Child(child, "t").text().get();
  }
  // Characters XML cannot carry are written as _xHHHH_.
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned code = 0;
    if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && text[i + 6] == '_' &&
        std::from_chars(text.data() + i + 2, text.data() + i + 6, code, 16).ptr ==
            text.data() + i + 6) {
      out += utf8::Encode(std::u32string(1, static_cast<char32_t>(code)));
      i += 6;
    } else {
      out += text[i];
    }
  }
  return out;
}

enum class Shown { Number, Date, Time, DateTime };

// What a number format shows: builtin ids, or the codes of a format of the workbook's own.
Shown ShownBy(int id, const std::map<int, std::string>& codes) {
  if ((id >= 14 && id <= 17)) return Shown::Date;
  if ((id >= 18 && id <= 21) || (id >= 45 && id <= 47)) return Shown::Time;
  if (id == 22) return Shown::DateTime;
  const auto it = codes.find(id);
  if (it == codes.end()) return Shown::Number;
  bool date = false, time = false, quoted = false, bracket = false;
  const std::string& code = it->second;
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char c = static_cast<char>(code[i] | 0x20);
    if (code[i] == '"') quoted = !quoted;
    if (quoted) continue;
    if (code[i] == '\\') {
      ++i;
      continue;
    }
    if (code[i] == '[') bracket = true;
    if (code[i] == ']') bracket = false;
    if (bracket) continue;
    if (c == 'd' || c == 'y') date = true;
    if (c == 'h' || c == 's') time = true;
  }
  return date && time ? Shown::DateTime : date ? Shown::Date : time ? Shown::Time : Shown::Number;
}

// A day count to year, month, day (proleptic Gregorian, day 0 = 1970-01-01).
void CivilFromDays(long long z, int& y, unsigned& m, unsigned& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

std::string NumberText(double value) {
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  std::string text(buffer, r.ptr);
  for (char& c : text) {
    if (c == '.') c = ',';  // as spreadsheets on Russian desktops show it
  }
  return text;
}

std::string DateText(double serial, Shown shown, bool from1904) {
  // Excel's day 0 is 1899-12-31 and it counts a 29 February 1900 that never was.
  long long days = static_cast<long long>(std::floor(serial));
  long long seconds = std::llround((serial - std::floor(serial)) * 86400.0);
  if (seconds >= 86400) {
    ++days;
    seconds -= 86400;
  }
  if (!from1904 && days < 61) ++days;
  const long long epoch = from1904 ? -24107 : -25569;  // 1904-01-01, 1899-12-30
  int y = 0;
  unsigned m = 0, d = 0;
  CivilFromDays(days + epoch, y, m, d);
  char buffer[40];
  std::string text;
  if (shown != Shown::Time) {
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", y, m, d);
    text = buffer;
  }
  if (shown != Shown::Date) {
    std::snprintf(buffer, sizeof buffer, "%s%02lld:%02lld:%02lld", text.empty() ? "" : " ",
                  seconds / 3600, seconds / 60 % 60, seconds % 60);
    text += buffer;
  }
  return text;
}

// "C12" to column 2 (A = 0) and row 12; false when it is no cell reference.
bool ParseReference(const std::string& ref, long long& column, long long& row) {
  std::size_t i = 0;
  long long letters = 0;
  while (i < ref.size() && i < 3 && ref[i] >= 'A' && ref[i] <= 'Z')
    letters = letters * 26 + (ref[i++] - 'A' + 1);
  long long number = 0;
  const auto r = std::from_chars(ref.data() + i, ref.data() + ref.size(), number);
  if (i == 0 || r.ec != std::errc() || r.ptr != ref.data() + ref.size()) return false;
  column = letters - 1;
  row = number;
  return true;
}

struct Styles {
  std::vector<int> formatOfStyle;
  std::map<int, std::string> codes;
  bool from1904 = false;
};

std::string CellText(const pugi::xml_node& c, const std::vector<std::string>& shared,
                     const Styles& styles) {
  const std::string type = Attribute(c, "t");
  if (type == "inlineStr") return StringText(Child(c, "is"));
  const pugi::xml_node v = Child(c, "v");
  if (!v) return std::string();  // a formula saved without its value, or an empty cell
  const std::string value = v.text().get();
  if (type == "s") {
    unsigned long index = 0;
    const auto r = std::from_chars(value.data(), value.data() + value.size(), index);
    return r.ec == std::errc() && index < shared.size() ? shared[index] : std::string();
  }
  if (type == "b") return value == "1" ? "ИСТИНА" : "ЛОЖЬ";
  if (type == "d") return value.substr(0, value.find('T'));
  if (!type.empty() && type != "n") return value;  // str: a formula's text, e: an error
  double number = 0;
  const auto r = std::from_chars(value.data(), value.data() + value.size(), number);
  if (r.ec != std::errc() || !std::isfinite(number)) return value;
  long long style = 0;
  const std::string s = Attribute(c, "s");
  std::from_chars(s.data(), s.data() + s.size(), style);
  const int format = style >= 0 && static_cast<std::size_t>(style) < styles.formatOfStyle.size()
                         ? styles.formatOfStyle[static_cast<std::size_t>(style)]
                         : 0;
  const Shown shown = ShownBy(format, styles.codes);
  if (shown != Shown::Number && number >= 0 && number < 2958466) return DateText(number, shown, styles.from1904);
  return NumberText(number);
}

}  // namespace

TableRows ReadXlsx(const ZipArchive& zip) {
  TableRows result;
  std::string workbookPart = "xl/workbook.xml";
  for (const auto& [id, r] : Relations(zip, "", result.refusal)) {
    if (EndsWith(r.type, "/officeDocument")) workbookPart = r.target;
  }
  if (!result.refusal.empty()) return result;
  const auto relations = Relations(zip, workbookPart, result.refusal);
  pugi::xml_document book;
  if (result.refusal.empty()) result.refusal = ReadXmlPart(zip, workbookPart, book);
  if (!result.refusal.empty()) return result;

  const pugi::xml_node workbook = Child(book, "workbook");
  std::string sheetPart;
  for (pugi::xml_node sheet : Child(workbook, "sheets").children()) {
    const auto it = relations.find(Attribute(sheet, "id"));
    if (Is(sheet, "sheet") && it != relations.end() && EndsWith(it->second.type, "/worksheet")) {
      sheetPart = it->second.target;
      break;
    }
  }
  Styles styles;
  const std::string date1904 = Attribute(Child(workbook, "workbookPr"), "date1904");
  styles.from1904 = date1904 == "1" || date1904 == "true";
  std::string sharedPart, stylesPart;
  bool macros = false;
  for (const auto& [id, r] : relations) {
    if (EndsWith(r.type, "/sharedStrings")) sharedPart = r.target;
    if (EndsWith(r.type, "/styles")) stylesPart = r.target;
    if (EndsWith(r.type, "/vbaProject") || EndsWith(r.type, "/macrosheet")) macros = true;
  }
  if (sheetPart.empty()) {
    result.refusal = NoSheetText(macros);
    return result;
  }

  std::vector<std::string> shared;
  if (!sharedPart.empty()) {
    pugi::xml_document doc;
    result.refusal = ReadXmlPart(zip, sharedPart, doc);
    if (!result.refusal.empty()) return result;
    for (pugi::xml_node si : Child(doc, "sst").children()) {
      if (Is(si, "si")) shared.push_back(StringText(si));
    }
  }
  if (!stylesPart.empty()) {
    pugi::xml_document doc;
    result.refusal = ReadXmlPart(zip, stylesPart, doc);
    if (!result.refusal.empty()) return result;
    const pugi::xml_node sheet = Child(doc, "styleSheet");
    for (pugi::xml_node f : Child(sheet, "numFmts").children()) {
      if (Is(f, "numFmt")) styles.codes[std::atoi(Attribute(f, "numFmtId").c_str())] = Attribute(f, "formatCode");
    }
    for (pugi::xml_node xf : Child(sheet, "cellXfs").children()) {
      if (Is(xf, "xf")) styles.formatOfStyle.push_back(std::atoi(Attribute(xf, "numFmtId").c_str()));
    }
  }

  pugi::xml_document sheet;
  result.refusal = ReadXmlPart(zip, sheetPart, sheet);
  if (!result.refusal.empty()) return result;
  long long rowNumber = 0;
  for (pugi::xml_node row : Child(Child(sheet, "worksheet"), "sheetData").children()) {
    if (!Is(row, "row")) continue;
    const std::string r = Attribute(row, "r");
    long long given = 0;
    const auto parsed = std::from_chars(r.data(), r.data() + r.size(), given);
    rowNumber = parsed.ec == std::errc() && given >= 1 && given <= kMaxRow ? given : rowNumber + 1;
    if (rowNumber > kMaxRow) break;
    std::string cells[4];
    long long column = -1;
    for (pugi::xml_node c : row.children()) {
      if (!Is(c, "c")) continue;
      long long cellRow = 0;
      if (!ParseReference(Attribute(c, "r"), column, cellRow)) ++column;
      if (column >= 0 && column < 4) cells[column] = CellText(c, shared, styles);
    }
    if (!AddRow(result, rowNumber, cells)) break;
  }
  return result;
}

}  // namespace velmora::workbook
