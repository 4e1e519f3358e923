// What the .xlsx and .ods readers share: reading an XML part of the package, with its
// size bounded, and finding elements by their local names (prefixes vary by writer).
#pragma once
#include <pugixml.hpp>

#include <string>

#include "tablefile.h"
#include "ziparchive.h"

namespace velmora::workbook {

constexpr std::size_t kMaxPartSize = 16u << 20;

// Parses the part into `doc`; the reason why not (UTF-8), or "" when parsed. Absent
// entities are never fetched: pugixml reads no document type declaration.
std::string ReadXmlPart(const ZipArchive& zip, const std::string& name, pugi::xml_document& doc);
bool Is(const pugi::xml_node& node, const char* localName);
pugi::xml_node Child(const pugi::xml_node& node, const char* localName);
std::string Attribute(const pugi::xml_node& node, const char* localName);
std::string NoSheetText(bool macros);
// Appends a row of up to four UTF-8 cells, unless it is blank or enough rows are taken.
// False once no more rows are wanted.
bool AddRow(TableRows& rows, long long number, const std::string (&cells)[4]);

TableRows ReadXlsx(const ZipArchive& zip);
TableRows ReadOds(const ZipArchive& zip);

}  // namespace velmora::workbook
