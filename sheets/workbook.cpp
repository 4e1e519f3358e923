#include "workbook.h"

#include <cstring>

#include "base/cp1251.h"
#include "workbookparts.h"

namespace velmora {
namespace workbook {

const char* LocalName(const char* name) {
  const char* colon = std::strrchr(name, ':');
  return colon != nullptr ? colon + 1 : name;
}

bool Is(const pugi::xml_node& node, const char* localName) {
  return node.type() == pugi::node_element && std::strcmp(LocalName(node.name()), localName) == 0;
}

pugi::xml_node Child(const pugi::xml_node& node, const char* localName) {
  for (pugi::xml_node child : node.children()) {
    if (Is(child, localName)) return child;
  }
  return pugi::xml_node();
}

std::string Attribute(const pugi::xml_node& node, const char* localName) {
  for (pugi::xml_attribute a : node.attributes()) {
    if (std::strcmp(LocalName(a.name()), localName) == 0) return a.value();
  }
  return std::string();
}

std::string ReadXmlPart(const ZipArchive& zip, const std::string& name, pugi::xml_document& doc) {
  std::string bytes;
  switch (zip.Read(name, kMaxPartSize, bytes)) {
    case ZipArchive::Entry::Ok:
      break;
    case ZipArchive::Entry::Missing:
      return "книга повреждена: в ней нет части " + name;
    case ZipArchive::Entry::TooLarge:
      return "часть книги " + name + " больше 16 МиБ";
    case ZipArchive::Entry::Broken:
      return "книга повреждена: часть " + name + " не распаковывается";
  }
  // A text that is only blanks is kept: a cell may hold a blank.
  const unsigned options = pugi::parse_default | pugi::parse_ws_pcdata_single;
  if (!doc.load_buffer(bytes.data(), bytes.size(), options, pugi::encoding_utf8))
    return "книга повреждена: часть " + name + " не разбирается как XML";
  return std::string();
}

std::string NoSheetText(bool macros) {
  return macros ? "в книге только макросы, листа с таблицей нет" : "в книге нет листа с таблицей";
}

bool AddRow(TableRows& rows, long long number, const std::string (&cells)[4]) {
  if (rows.rows.size() >= kMaxTableRows) return false;
  TableRow row;
  row.number = static_cast<int>(number);
  for (const std::string& cell : cells) row.cells.push_back(utf8::Decode(cell));
  if (!IsBlankRow(row)) rows.rows.push_back(std::move(row));
  return rows.rows.size() < kMaxTableRows;
}

}  // namespace workbook

namespace {

bool StartsWith(const std::string& bytes, const char* prefix, std::size_t n) {
  return bytes.size() >= n && bytes.compare(0, n, prefix, n) == 0;
}

// Excel keeps a workbook with a password in an OLE compound file, the encrypted package as
// its stream "EncryptedPackage" (the name in UTF-16).
bool IsEncryptedOle(const std::string& bytes) {
  static const std::string name("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
  return bytes.find(name) != std::string::npos;
}

}  // namespace

TableRows ReadWorkbookRows(const std::string& bytes) {
  TableRows result;
  if (StartsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
    result.refusal = IsEncryptedOle(bytes)
                         ? "книга защищена паролем"
                         : "книга в старом формате .xls: сохраните её как .xlsx или .ods";
    return result;
  }
  const ZipArchive zip(bytes);
  switch (zip.status()) {
    case ZipArchive::Status::Ok:
      break;
    case ZipArchive::Status::NotZip:
      result.refusal = "книга повреждена: это не целый zip-архив";
      return result;
    case ZipArchive::Status::Encrypted:
      result.refusal = "книга защищена паролем";
      return result;
    case ZipArchive::Status::TooManyEntries:
      result.refusal = "в книге больше 10000 частей: это не таблица маршрутов";
      return result;
  }
  if (zip.Has("content.xml") || zip.Has("META-INF/manifest.xml")) return workbook::ReadOds(zip);
  if (zip.Has("_rels/.rels")) return workbook::ReadXlsx(zip);
  result.refusal = "в архиве нет ни книги .xlsx, ни книги .ods";
  return result;
}

}  // namespace velmora
