#include "filecommands.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "cp1251.h"
#include "fileio.h"
#include "routeimport.h"
#include "routelistfile.h"
#include "tablefile.h"

namespace velmora {
namespace {

bool SameExtension(const std::string& a, const char* b) {
  std::string lower = a;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower == b;
}

std::string Title(const std::string& displayName) {
  return kTitlePrefix + cp1251::FromUtf8(displayName);
}

void ParseInto(const std::string& bytes, StoredRouteList& stored, MessageSink& sink) {
  if (ParseRouteList(bytes, stored).truncated) sink.AppendLogLine(TooManyRoutesText(), kRed);
}

TableKind KindOfTable(const std::string& path) {
  return SameExtension(ExtensionOf(path), ".tsv") ? TableKind::Tsv : TableKind::Csv;
}

// A group is read by its own readers; a table comes as the bytes read for the size check.
void Import(const std::string& path, const FileRead& read, StoredRouteList& stored,
            MessageSink& sink) {
  if (KindOfRoutesFile(path) == RoutesFileKind::Table) {
    stored.Clear();
    if (read.status == ReadStatus::CannotOpen) return;
    for (const std::string& warning : ParseRouteTable(read.bytes, KindOfTable(path), stored))
      sink.AppendLogLine(warning, kRed);
    return;
  }
  const int imported = ImportRouteGroup(path, stored, sink);
  stored.count = std::clamp(std::max(stored.count, imported), 0, kStoredRoutes);
}

}  // namespace

std::string TitleWithoutFile() { return kTitlePrefix + Cp("- <без файла>"); }
std::string TitleAfterClose() { return kTitlePrefix + Cp(" - <без файла>"); }
std::string FileTooLargeText() { return Cp("Файл слишком велик"); }
std::string OpenedText(const std::string& name) {
  return Cp("Открыт файл ") + cp1251::FromUtf8(name);
}
std::string ImportedText(const std::string& name) {
  return Cp("Импортирована группа маршрутов ") + cp1251::FromUtf8(name);
}
std::string SavedText(const std::string& name) {
  return Cp("Сохранено в файл ") + cp1251::FromUtf8(name);
}
std::string ClosedText() { return Cp("Список маршрутов закрыт"); }
std::string UndoneText() { return Cp("Все изменения отменены"); }

RoutesFileKind KindOfRoutesFile(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  if (SameExtension(extension, ".mrg")) return RoutesFileKind::RouteGroup;
  if (SameExtension(extension, ".csv") || SameExtension(extension, ".tsv"))
    return RoutesFileKind::Table;
  return RoutesFileKind::RouteList;
}

LoadStatus LoadRoutesFile(const std::string& path, StoredRouteList& stored, MessageSink& sink) {
  if (KindOfRoutesFile(path) == RoutesFileKind::RouteGroup) {
    stored.Clear();
    Import(path, FileRead(), stored, sink);
    return LoadStatus::Ok;
  }
  FileRead read = ReadWholeFile(path, kMaxRouteListFileSize);
  if (read.status == ReadStatus::TooLarge) return LoadStatus::TooLarge;
  stored.Clear();
  if (read.status == ReadStatus::CannotOpen) return LoadStatus::CannotOpen;
  // A read that broke off still yields the routes before the break.
  if (KindOfRoutesFile(path) == RoutesFileKind::Table) {
    Import(path, read, stored, sink);
  } else {
    ParseInto(read.bytes, stored, sink);
  }
  return LoadStatus::Ok;
}

RouteFileCommands::RouteFileCommands(RouteTable& table, FileCommandHost& host,
                                     FileDialogs& dialogs, Clock& clock,
                                     const DateTimeFormat& format)
    : table_(table), host_(host), dialogs_(dialogs), clock_(clock), format_(format) {}

const std::string& RouteFileCommands::CurrentFile() const { return currentFile_; }
const std::string& RouteFileCommands::DisplayName() const { return displayName_; }
const std::string& RouteFileCommands::OpenedExtension() const { return openedExtension_; }

void RouteFileCommands::SetCurrentFile(const std::string& path) {
  currentFile_ = path;
  displayName_ = FileNameOf(path);
}

void RouteFileCommands::Open(bool byOperator) {
  std::string path = currentFile_;
  if (byOperator) {
    const std::string startFolder = currentFile_.empty() ? std::string() : FolderOf(currentFile_);
    const std::optional<std::string> chosen = dialogs_.AskOpen(startFolder);
    if (!chosen || chosen->empty()) return;
    path = *chosen;
  }
  OpenChosen(path);
}

void RouteFileCommands::OpenChosen(const std::string& path) {
  if (path.empty()) return;

  const bool group = KindOfRoutesFile(path) == RoutesFileKind::RouteGroup;
  const bool imported = group || KindOfRoutesFile(path) == RoutesFileKind::Table;
  FileRead read;
  bool tooLarge = false;
  if (group) {
    std::error_code error;
    const auto size = std::filesystem::file_size(std::filesystem::u8path(path), error);
    tooLarge = !error && size > kMaxRouteListFileSize;
  } else {
    read = ReadWholeFile(path, kMaxRouteListFileSize);
    tooLarge = read.status == ReadStatus::TooLarge;
  }
  // A route list or group is a few kilobytes; anything this big is neither, so the command
  // takes no effect at all, and a later save cannot overwrite that file.
  if (tooLarge) {
    host_.ShowStatus(kPanelStatus, FileTooLargeText() + " " + cp1251::FromUtf8(path));
    return;
  }

  currentFile_ = path;
  openedExtension_ = ExtensionOf(currentFile_);
  displayName_ = FileNameOf(currentFile_);
  host_.SetTitle(Title(displayName_));
  StoredRouteList& stored = table_.Stored();
  stored.Clear();

  if (imported) {
    host_.ShowStatus(kPanelStatus, group ? ImportedText(displayName_) : OpenedText(displayName_));
    Import(currentFile_, read, stored, host_);
    // The imported list exists in no route list file yet.
    table_.SetModified(true);
  } else {
    table_.SetModified(false);
    // A file that cannot be read leaves the grid in step with the emptied stored list.
    if (read.status != ReadStatus::CannotOpen) {
      host_.ShowStatus(kPanelStatus, OpenedText(displayName_));
      ParseInto(read.bytes, stored, host_);
    }
  }
  table_.LoadGridFromStored();
  host_.RefreshWindowState();
}

bool RouteFileCommands::AskSaveName() {
  const bool haveFile = !currentFile_.empty();
  const std::optional<std::string> chosen =
      dialogs_.AskSave(haveFile ? FolderOf(currentFile_) : std::string(),
                       haveFile ? displayName_ : std::string());
  if (!chosen || chosen->empty()) return false;
  currentFile_ = *chosen;
  displayName_ = FileNameOf(currentFile_);
  return true;
}

bool RouteFileCommands::Save() {
  if (currentFile_.empty() && !AskSaveName()) return false;
  if (currentFile_.empty()) return false;
  if (!SameExtension(openedExtension_, ".mrp")) {
    currentFile_ = ReplaceExtension(currentFile_, ".mrp");
    displayName_ = FileNameOf(currentFile_);
  }

  // The whole file is built first and written under a temporary name, so a failure
  // leaves the earlier file, the stored route list and the modified flag as they were.
  const int count = std::min(table_.RouteCount(), kStoredRoutes);
  std::string file = RouteListHeader(format_, clock_.Now()) + RouteCountLine(count);
  for (int row = 1; row <= count; ++row) {
    RouteTexts texts;
    for (int f = 0; f < kRouteFields; ++f) texts[f] = table_.Cell(row, f + 1);
    file += RouteLine(texts);
  }
  const std::string error = WriteFileAtomic(currentFile_, file);
  if (!error.empty()) {
    host_.ShowStatus(kPanelStatus, cp1251::FromUtf8(error));
    return false;
  }

  for (int row = 1; row <= count; ++row) table_.WriteRowToStored(row);
  table_.Stored().count = count;
  host_.SetTitle(Title(displayName_));
  host_.ShowStatus(kPanelStatus, SavedText(displayName_));
  table_.SetModified(false);
  host_.RefreshWindowState();
  return true;
}

bool RouteFileCommands::SaveAs() {
  // Kept even when the dialog is cancelled, so that it proposes the .mrp name.
  if (!currentFile_.empty() && !SameExtension(openedExtension_, ".mrp")) {
    currentFile_ = ReplaceExtension(currentFile_, ".mrp");
    displayName_ = FileNameOf(currentFile_);
  }
  if (!AskSaveName()) return false;
  host_.SetTitle(Title(displayName_));
  return Save();
}

void RouteFileCommands::Close() {
  currentFile_.clear();
  displayName_.clear();
  host_.SetTitle(TitleAfterClose());
  host_.ShowStatus(kPanelStatus, ClosedText());
  table_.Clear();
  host_.RefreshWindowState();
}

}  // namespace velmora
