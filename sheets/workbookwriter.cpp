#include "workbookwriter.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <random>
#include <system_error>

#include "base/cp1251.h"
#include "base/fileio.h"
#include "routes/routelistfile.h"

namespace velmora {
namespace {

std::size_t Characters(const std::string& utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// A text that holds "_xHHHH_" itself has its underscore written as "_x005F_": readers
// take "_xHHHH_" for a character XML cannot carry (libxlsxwriter escapes only those).
std::string EscapedText(const std::string& utf8) {
  const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const bool escape = utf8[i] == '_' && i + 6 < utf8.size() && utf8[i + 1] == 'x' &&
                        hex(utf8[i + 2]) && hex(utf8[i + 3]) && hex(utf8[i + 4]) &&
                        hex(utf8[i + 5]) && utf8[i + 6] == '_';
    out += escape ? std::string("_x005F_") : std::string(1, utf8[i]);
  }
  return out;
}

// libxlsxwriter writes only to a file: a name of its own in the temporary folder.
std::filesystem::path ScratchName(std::error_code& error) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  std::mt19937_64 random(std::random_device{}() ^
                         static_cast<unsigned long long>(
                             std::chrono::steady_clock::now().time_since_epoch().count()));
  return folder / ("velmora-" + std::to_string(random()) + ".xlsx");
}

}  // namespace

WorkbookWrite WriteRouteWorkbook(const StoredRouteList& stored) {
  WorkbookWrite result;
  std::error_code error;
  const std::filesystem::path path = ScratchName(error);
  if (error) {
    result.error = "no temporary folder: " + error.message();
    return result;
  }
  const std::string name = path.u8string();
  lxw_workbook* book = workbook_new(name.c_str());
  lxw_worksheet* sheet = book != nullptr ? workbook_add_worksheet(book, nullptr) : nullptr;
  if (sheet == nullptr) {
    if (book != nullptr) workbook_close(book);
    std::filesystem::remove(path, error);
    result.error = "cannot start the workbook";
    return result;
  }
  // "@" is the text format: what the operator types into these cells later stays text too.
  lxw_format* text = workbook_add_format(book);
  format_set_num_format(text, "@");
  lxw_format* header = workbook_add_format(book);
  format_set_num_format(header, "@");
  format_set_bold(header);

  std::size_t widths[kRouteFields] = {};
  for (int f = 0; f < kRouteFields; ++f) {
    worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(f), kFieldHeader[f], header);
    widths[f] = Characters(kFieldHeader[f]);
  }
  const int count = std::clamp(stored.count, 0, kStoredRoutes);
  for (int i = 0; i < count; ++i) {
    for (int f = 0; f < kRouteFields; ++f) {
      const std::string cell = cp1251::ToUtf8(stored.records[static_cast<std::size_t>(i)].Get(f));
      worksheet_write_string(sheet, static_cast<lxw_row_t>(i + 1), static_cast<lxw_col_t>(f),
                             EscapedText(cell).c_str(), text);
      widths[f] = std::max(widths[f], Characters(cell));
    }
  }
  for (int f = 0; f < kRouteFields; ++f) {
    const double width = static_cast<double>(std::clamp<std::size_t>(widths[f] + 2, 8, 100));
    worksheet_set_column(sheet, static_cast<lxw_col_t>(f), static_cast<lxw_col_t>(f), width, text);
  }
  worksheet_freeze_panes(sheet, 1, 0);

  const lxw_error closed = workbook_close(book);
  if (closed != LXW_NO_ERROR) {
    result.error = std::string("cannot write the workbook: ") + lxw_strerror(closed);
  } else {
    const FileRead read = ReadWholeFile(name, kMaxRouteListFileSize);
    if (read.status == ReadStatus::Ok) {
      result.bytes = read.bytes;
    } else {
      result.error = "cannot read the written workbook back: " + read.error;
    }
  }
  std::filesystem::remove(path, error);
  return result;
}

}  // namespace velmora
