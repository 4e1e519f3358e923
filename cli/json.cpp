#include "json.h"

#include <cstdio>
#include <cstring>
#include <set>

#include "base/cp1251.h"
#include "base/textbytes.h"
#include "routes/routerecord.h"
#include "sheets/tablefile.h"

namespace velmora::cli {

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
      ++i;
    } else {
      const std::size_t n = velmora::utf8::SequenceLength(utf8, i);
      if (n == 0) {
        out += "\xEF\xBF\xBD";
        ++i;
      } else {
        out.append(utf8, i, n);
        i += n;
      }
    }
  }
  out += '"';
  return out;
}

std::string JsonCp1251(const std::string& cp1251) { return JsonString(cp1251::ToUtf8(cp1251)); }

}  // namespace velmora::cli

namespace velmora::cli {

std::string RoutesJson(const StoredRouteList& stored) {
  std::string out = "{\"routes\": [";
  for (int i = 0; i < stored.count && i < kStoredRoutes; ++i) {
    const RouteRecord& r = stored.records[static_cast<std::size_t>(i)];
    if (i > 0) out += ", ";
    out += "{\"designation\": " + JsonCp1251(r.Get(kDesignation));
    out += ", \"start\": " + JsonCp1251(r.Get(kStartStop));
    out += ", \"final\": " + JsonCp1251(r.Get(kFinalStop));
    out += ", \"message\": " + JsonCp1251(r.Get(kMessage)) + "}";
  }
  return out + "]}\n";
}

namespace {

constexpr const char* kKeys[kRouteFields] = {"designation", "start", "final", "message"};
// Nesting deeper than this in a value that is passed over is refused, not
// recursed into.
constexpr int kMaxDepth = 64;

class JsonReader {
 public:
  JsonReader(const std::string& text, std::string& error) : s_(text), error_(error) {
    if (s_.compare(0, 3, "\xEF\xBB\xBF") == 0) at_ = 3;
  }

  bool Routes(RouteIntake& intake) {
    bool found = false;
    const bool ok = Object([&](const std::string& key) {
      if (key != "routes") return Skip(0);
      found = true;
      return Array([&] { return Route(intake); });
    });
    if (!ok) return false;
    Blanks();
    if (at_ != s_.size()) return Fail("text after the end");
    if (!found) return Fail("no \"routes\" array");
    return true;
  }

 private:
  bool Route(RouteIntake& intake) {
    ++route_;
    RouteIntake::Fields fields;
    const bool ok = Object([&](const std::string& key) {
      for (int f = 0; f < kRouteFields; ++f) {
        if (key != kKeys[f]) continue;
        Blanks();
        if (at_ >= s_.size() || s_[at_] != '"') {
          return Fail("route " + std::to_string(route_) + ": \"" + key + "\" is not a string");
        }
        return String(fields[static_cast<std::size_t>(f)]);
      }
      return Skip(0);
    });
    if (ok) intake.Add(fields);
    return ok;
  }

  template <typename Member>
  bool Object(Member member) {
    if (!Take('{')) return Fail("an object expected");
    if (Take('}')) return true;
    // A key given twice would leave it to the reader which one counts.
    std::set<std::u32string> keys;
    do {
      std::u32string key;
      if (!String(key)) return false;
      if (!keys.insert(key).second)
        return Fail("the key " + JsonString(velmora::utf8::Encode(key)) + " given twice");
      if (!Take(':')) return Fail("\":\" expected");
      if (!member(velmora::utf8::Encode(key))) return false;
    } while (Take(','));
    return Take('}') || Fail("\",\" or \"}\" expected");
  }

  template <typename Element>
  bool Array(Element element) {
    if (!Take('[')) return Fail("an array expected");
    if (Take(']')) return true;
    do {
      if (!element()) return false;
    } while (Take(','));
    return Take(']') || Fail("\",\" or \"]\" expected");
  }

  bool Skip(int depth) {
    if (depth > kMaxDepth) return Fail("nested too deeply");
    Blanks();
    if (at_ >= s_.size()) return Fail("a value expected");
    const char c = s_[at_];
    if (c == '{') return Object([&](const std::string&) { return Skip(depth + 1); });
    if (c == '[') return Array([&] { return Skip(depth + 1); });
    if (c == '"') {
      std::u32string ignored;
      return String(ignored);
    }
    for (const char* word : {"true", "false", "null"}) {
      if (s_.compare(at_, std::strlen(word), word) == 0) {
        at_ += std::strlen(word);
        return true;
      }
    }
    const std::size_t start = at_;
    while (at_ < s_.size() && OneOf(s_[at_], "+-.0123456789eE")) ++at_;
    return at_ > start || Fail("a value expected");
  }

  bool String(std::u32string& out) {
    if (!Take('"')) return Fail("a string expected");
    out.clear();
    while (at_ < s_.size()) {
      const auto c = static_cast<unsigned char>(s_[at_]);
      if (c == '"') {
        ++at_;
        return true;
      }
      if (c < 0x20) return Fail("a control character in a string");
      if (c == '\\') {
        if (!Escape(out)) return false;
        continue;
      }
      const std::size_t n = velmora::utf8::SequenceLength(s_, at_);
      if (n == 0) return Fail("not UTF-8");
      out += velmora::utf8::Decode(s_.substr(at_, n));
      at_ += n;
    }
    return Fail("a string without its end");
  }

  bool Escape(std::u32string& out) {
    ++at_;
    if (at_ >= s_.size()) return Fail("a string without its end");
    const char c = s_[at_++];
    switch (c) {
      case '"':
      case '\\':
      case '/':
        out += static_cast<char32_t>(c);
        return true;
      case 'b':
        out += U'\b';
        return true;
      case 'f':
        out += U'\f';
        return true;
      case 'n':
        out += U'\n';
        return true;
      case 'r':
        out += U'\r';
        return true;
      case 't':
        out += U'\t';
        return true;
      case 'u':
        break;
      default:
        return Fail("an unknown escape");
    }
    char32_t unit = 0;
    if (!Hex4(unit)) return false;
    if (IsHighSurrogate(unit) && s_.compare(at_, 2, "\\u") == 0) {
      const std::size_t back = at_;
      at_ += 2;
      char32_t low = 0;
      if (!Hex4(low)) return false;
      if (IsLowSurrogate(low)) {
        out += JoinSurrogates(unit, low);
        return true;
      }
      at_ = back;
    }
    // A lone surrogate has no character; it becomes one that no text can hold.
    out += LoneUnit(unit);
    return true;
  }

  bool Hex4(char32_t& value) {
    if (at_ + 4 > s_.size()) return Fail("a short \\u escape");
    value = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = s_[at_++];
      const int digit = h >= '0' && h <= '9'   ? h - '0'
                        : h >= 'a' && h <= 'f' ? h - 'a' + 10
                        : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                               : -1;
      if (digit < 0) return Fail("a bad \\u escape");
      value = value * 16 + static_cast<char32_t>(digit);
    }
    return true;
  }

  // strchr finds the terminating NUL too: a NUL byte in the text is never one of `set`.
  static bool OneOf(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

  void Blanks() {
    while (at_ < s_.size() && OneOf(s_[at_], " \t\r\n")) ++at_;
  }

  bool Take(char c) {
    Blanks();
    if (at_ >= s_.size() || s_[at_] != c) return false;
    ++at_;
    return true;
  }

  bool Fail(const std::string& what) {
    if (error_.empty()) error_ = "not the routes JSON at byte " + std::to_string(at_) + ": " + what;
    return false;
  }

  const std::string& s_;
  std::string& error_;
  std::size_t at_ = 0;
  int route_ = 0;
};

}  // namespace

bool ReadRoutesJson(const std::string& utf8, RouteIntake& intake, std::string& error) {
  error.clear();
  return JsonReader(utf8, error).Routes(intake);
}

}  // namespace velmora::cli
