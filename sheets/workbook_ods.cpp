// The first sheet of an OpenDocument spreadsheet (.ods). Each cell carries the text the
// spreadsheet shows in its paragraphs, so no number or date needs formatting here.
#include <algorithm>
#include <charconv>

#include "workbookparts.h"

namespace velmora::workbook {
namespace {

constexpr long long kMaxRow = 1048576;
constexpr int kMaxDepth = 16;  // spans within spans, row groups within row groups
// text:s makes many blanks of a few bytes: a cell's text stops growing here, far beyond
// any route text.
constexpr std::size_t kMaxCellText = 65536;

long long Repeated(const pugi::xml_node& node, const char* attribute) {
  const std::string value = Attribute(node, attribute);
  long long n = 1;
  std::from_chars(value.data(), value.data() + value.size(), n);
  return std::clamp(n, 1LL, kMaxRow);
}

// The text of a paragraph: spans and links give their text, text:s its blanks.
void ParagraphText(const pugi::xml_node& node, std::string& text, int depth) {
  for (pugi::xml_node child : node.children()) {
    if (text.size() > kMaxCellText) return;
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      text += child.value();
    } else if (Is(child, "s")) {
      text.append(static_cast<std::size_t>(std::min(Repeated(child, "c"), 256LL)), ' ');
    } else if (Is(child, "tab")) {
      text += '\t';
    } else if (Is(child, "line-break")) {
      text += '\n';
    } else if (Is(child, "annotation") || Is(child, "note")) {
      // a comment is not the cell's text
    } else if (child.type() == pugi::node_element && depth < kMaxDepth) {
      ParagraphText(child, text, depth + 1);
    }
  }
}

std::string CellText(const pugi::xml_node& cell) {
  std::string text;
  bool paragraph = false;
  for (pugi::xml_node p : cell.children()) {
    if (!Is(p, "p")) continue;
    if (paragraph) text += '\n';
    paragraph = true;
    ParagraphText(p, text, 0);
  }
  if (paragraph) return text;
  // Writers other than the office suites may leave the shown text out.
  for (const char* value : {"string-value", "date-value", "value", "boolean-value"}) {
    const std::string v = Attribute(cell, value);
    if (!v.empty()) return v.substr(0, v.find('T'));
  }
  return std::string();
}

class Sheet {
 public:
  explicit Sheet(TableRows& rows) : rows_(rows) {}

  // False once no more rows are wanted.
  bool Rows(const pugi::xml_node& parent, int depth) {
    for (pugi::xml_node child : parent.children()) {
      if (Is(child, "table-row")) {
        if (!Row(child)) return false;
      } else if ((Is(child, "table-header-rows") || Is(child, "table-row-group") ||
                  Is(child, "table-rows")) &&
                 depth < kMaxDepth) {
        if (!Rows(child, depth + 1)) return false;
      }
    }
    return true;
  }

 private:
  bool Row(const pugi::xml_node& row) {
    std::string cells[4];
    long long column = 0;
    for (pugi::xml_node cell : row.children()) {
      if (column >= 4) break;
      if (!Is(cell, "table-cell") && !Is(cell, "covered-table-cell")) continue;
      const long long repeat = Repeated(cell, "number-columns-repeated");
      // A covered cell lies under a merged one: empty, as the spreadsheet shows it.
      const std::string text = Is(cell, "table-cell") ? CellText(cell) : std::string();
      for (long long k = 0; k < repeat && column < 4; ++k) cells[column++] = text;
    }
    // Empty rows are written once with a count; a repeated row with text is that many rows.
    const long long repeat = Repeated(row, "number-rows-repeated");
    const bool blank = std::all_of(std::begin(cells), std::end(cells),
                                   [](const std::string& c) { return c.empty(); });
    if (blank) {
      number_ += repeat;
      return number_ <= kMaxRow;
    }
    for (long long k = 0; k < repeat; ++k) {
      if (++number_ > kMaxRow || !AddRow(rows_, number_, cells)) return false;
    }
    return true;
  }

  TableRows& rows_;
  long long number_ = 0;
};

}  // namespace

TableRows ReadOds(const ZipArchive& zip) {
  TableRows result;
  // With a password the parts are encrypted, and the manifest says how.
  pugi::xml_document manifest;
  if (zip.Has("META-INF/manifest.xml") &&
      ReadXmlPart(zip, "META-INF/manifest.xml", manifest).empty()) {
    for (pugi::xml_node entry : Child(manifest, "manifest").children()) {
      if (Child(entry, "encryption-data")) {
        result.refusal = "книга защищена паролем";
        return result;
      }
    }
  }
  pugi::xml_document content;
  result.refusal = ReadXmlPart(zip, "content.xml", content);
  if (!result.refusal.empty()) return result;
  const pugi::xml_node spreadsheet =
      Child(Child(Child(content, "document-content"), "body"), "spreadsheet");
  const pugi::xml_node table = Child(spreadsheet, "table");
  if (!table) {
    result.refusal = NoSheetText(zip.HasUnder("Basic/") || zip.HasUnder("Scripts/"));
    return result;
  }
  Sheet(result).Rows(table, 0);
  return result;
}

}  // namespace velmora::workbook
