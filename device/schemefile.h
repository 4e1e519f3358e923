// The coding tables of the firmware files as data: a tables file of the maker's own
// tables, found beside the firmware or in the firmware folders, or the built-in set.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// The four tables one after the other, in scheme order: 256, 256, 64 and 32 entries.
constexpr std::size_t kSchemeTablesSize = 608;
constexpr char kSchemeTablesFileName[] = "kado-schemes.bin";

struct SchemeTables {
  std::array<uint8_t, kSchemeTablesSize> bytes{};
  // The table of scheme 1..4; nullptr for any other scheme.
  const uint8_t* Table(int scheme) const;
  // The program's own set, for its own files and tests.
  static SchemeTables BuiltIn();
};

// Exactly 608 bytes, each table a permutation of 0..G-1.
bool ParseSchemeTables(const std::string& bytes, SchemeTables& out);

struct SchemeChoice {
  enum class Source { BuiltIn, File, Broken };
  Source source = Source::BuiltIn;
  std::string path;      // UTF-8: the file taken, or the broken one
  SchemeTables tables = SchemeTables::BuiltIn();
  bool Usable() const { return source != Source::Broken; }
};

// The first of: `option` (when not empty), kado-schemes.bin in `firmwareFolder` (when not
// empty), kado-schemes.bin in each of `folders`, the built-in set. A file that is found but
// broken (wrong size, not permutations, unreadable) is the choice, as Broken: it is never
// passed over for the next place.
SchemeChoice FindSchemeTables(const std::string& option, const std::string& firmwareFolder,
                              const std::vector<std::string>& folders);

// The refusal of a broken choice, CP1251, without the "***": "Файл таблиц кодирования
// неверен: " and the path.
std::string BrokenSchemesText(const SchemeChoice& choice);
// What the firmware panel logs: "Таблицы кодирования: " and the path, or "встроенные".
std::string SchemesInUseText(const SchemeChoice& choice);

}  // namespace velmora
