#include "schemefile.h"

#include <cstring>

#include "Formatm.h"
#include "base/cp1251.h"
#include "base/fileio.h"

namespace velmora {
namespace {

// Where each scheme's table begins in the file.
constexpr std::size_t kOffsets[4] = {0, 256, 512, 576};

SchemeChoice FromFile(const std::string& path) {
  SchemeChoice choice;
  choice.path = path;
  // A longer file reads as too large, a shorter one fails the size check.
  const FileRead file = ReadWholeFile(path, kSchemeTablesSize);
  choice.source = file.status == ReadStatus::Ok && ParseSchemeTables(file.bytes, choice.tables)
                      ? SchemeChoice::Source::File
                      : SchemeChoice::Source::Broken;
  if (!choice.Usable()) choice.tables = SchemeTables::BuiltIn();
  return choice;
}

}  // namespace

const uint8_t* SchemeTables::Table(int scheme) const {
  if (scheme < 1 || scheme > 4) return nullptr;
  return bytes.data() + kOffsets[scheme - 1];
}

SchemeTables SchemeTables::BuiltIn() {
  SchemeTables tables;
  for (int scheme = 1; scheme <= 4; ++scheme) {
    std::memcpy(tables.bytes.data() + kOffsets[scheme - 1], SchemeTable(scheme),
                static_cast<std::size_t>(SchemeGroupBits(scheme)));
  }
  return tables;
}

bool ParseSchemeTables(const std::string& bytes, SchemeTables& out) {
  if (bytes.size() != kSchemeTablesSize) return false;
  SchemeTables tables;
  std::memcpy(tables.bytes.data(), bytes.data(), kSchemeTablesSize);
  for (int scheme = 1; scheme <= 4; ++scheme) {
    const int g = SchemeGroupBits(scheme);
    const uint8_t* table = tables.Table(scheme);
    std::array<bool, 256> seen{};
    for (int i = 0; i < g; ++i) {
      if (table[i] >= g || seen[table[i]]) return false;
      seen[table[i]] = true;
    }
  }
  out = tables;
  return true;
}

SchemeChoice FindSchemeTables(const std::string& option, const std::string& firmwareFolder,
                              const std::vector<std::string>& folders) {
  if (!option.empty()) return FromFile(option);
  std::vector<std::string> places;
  if (!firmwareFolder.empty()) places.push_back(firmwareFolder);
  places.insert(places.end(), folders.begin(), folders.end());
  for (const std::string& folder : places) {
    if (folder.empty()) continue;
    const std::string path = JoinPath(folder, kSchemeTablesFileName);
    if (FileExists(path)) return FromFile(path);
  }
  return SchemeChoice{};
}

std::string BrokenSchemesText(const SchemeChoice& choice) {
  return Cp("Файл таблиц кодирования неверен: ") + cp1251::FromUtf8(choice.path);
}

std::string SchemesInUseText(const SchemeChoice& choice) {
  return Cp("Таблицы кодирования: ") +
         (choice.source == SchemeChoice::Source::BuiltIn ? Cp("встроенные")
                                                         : cp1251::FromUtf8(choice.path));
}

}  // namespace velmora
