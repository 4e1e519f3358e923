#include "filecommands.h"

#include <algorithm>
#include <utility>

#include "Classline.h"
#include "base/cp1251.h"
#include "base/fileio.h"
#include "routeimport.h"
#include "routelistfile.h"

namespace velmora {
namespace {

std::string Title(const std::string& displayName) {
  return kTitlePrefix + cp1251::FromUtf8(displayName);
}

int ParseInto(const std::string& bytes, StoredRouteList& stored, MessageSink& sink) {
  const RouteListParse parsed = ParseRouteList(bytes, stored);
  if (parsed.truncated) sink.AppendLogLine(TooManyRoutesText(), kRed);
  return parsed.inFile;
}

LoadResult ResultOf(ReadStatus status, const std::string& error) {
  switch (status) {
    case ReadStatus::Ok:
      return {LoadStatus::Ok, std::string()};
    case ReadStatus::Missing:
      return {LoadStatus::Missing, error};
    case ReadStatus::TooLarge:
      return {LoadStatus::TooLarge, error};
    case ReadStatus::CannotOpen:
    case ReadStatus::ReadShort:
      break;
  }
  // Part of a file is not the file: a later save would destroy the rest.
  return {LoadStatus::Refused, error};
}

bool Taken(const LoadResult& r) {
  return r.status == LoadStatus::Ok || r.status == LoadStatus::Missing;
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
std::string SaveOrUndoFirstText() { return Cp("Сначала сохраните или отмените изменения"); }

std::string FileNotReadText(const std::string& path, const std::string& reason) {
  return Cp("***Файл не прочитан: ") + cp1251::FromUtf8(path) + " " + cp1251::FromUtf8(reason);
}

std::string ReplaceQuestionText(const std::string& path) {
  return Cp("Файл ") + cp1251::FromUtf8(FileNameOf(path)) + Cp(" уже существует. Заменить его?");
}

std::string CutQuestionText(const std::string& path, int routesInFile, int routesKept) {
  return Cp("Файл ") + cp1251::FromUtf8(FileNameOf(path)) + Cp(" содержал ") +
         std::to_string(routesInFile) + Cp(" маршрутов; после сохранения в нём останутся ") +
         std::to_string(routesKept) + Cp(". Сохранить?");
}

std::string SavedAsMrpOnlyText() { return Cp("Маршруты сохраняются в файл .mrp"); }

RoutesFileKind KindOfRoutesFile(const std::string& path) {
  const std::string extension = LowerExtensionOf(path);
  if (extension == ".mrg") return RoutesFileKind::RouteGroup;
  if (extension == ".csv" || extension == ".tsv" || extension == ".xlsx" || extension == ".ods")
    return RoutesFileKind::Table;
  return RoutesFileKind::RouteList;
}

bool IsRoutesFileName(const std::string& path) {
  return LowerExtensionOf(path) == ".mrp" || KindOfRoutesFile(path) != RoutesFileKind::RouteList;
}

bool IsRoutesJsonName(const std::string& path) { return LowerExtensionOf(path) == ".json"; }

std::string RouteListSaveName(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  if (extension.empty() || extension == ".") return ReplaceExtension(path, ".mrp");
  if (KindOfRoutesFile(path) != RoutesFileKind::RouteList || IsRoutesJsonName(path))
    return std::string();
  return path;
}

LoadResult LoadRoutesFile(const std::string& path, StoredRouteList& stored, MessageSink& sink,
                          const TableReader& readTable) {
  if (KindOfRoutesFile(path) == RoutesFileKind::RouteGroup) {
    TRouteGroupFile group(path);
    group.Load();  // whatever it returns, the entries read so far are imported
    const LoadResult result = ResultOf(group.FileStatus(), group.FileError());
    if (!Taken(result)) return result;
    stored.Clear();
    const int imported = ImportRouteGroup(group, stored, sink);
    stored.count = std::clamp(std::max(stored.count, imported), 0, kStoredRoutes);
    return result;
  }
  const FileRead read = ReadWholeFile(path, kMaxRouteListFileSize);
  LoadResult result = ResultOf(read.status, read.error);
  if (!Taken(result)) return result;
  if (KindOfRoutesFile(path) == RoutesFileKind::Table && readTable) {
    // A table that is no table (a workbook under the wrong name, one with a password) is
    // refused like an unreadable file: nothing of it is taken.
    const std::string refusal = readTable(path, read.bytes, stored, sink);
    if (!refusal.empty()) return {LoadStatus::Refused, refusal};
  } else {
    stored.Clear();
    result.routesInFile = ParseInto(read.bytes, stored, sink);
  }
  return result;
}

RouteFileCommands::RouteFileCommands(RouteTable& table, FileCommandHost& host,
                                     FileDialogs& dialogs, Clock& clock,
                                     const DateTimeFormat& format, TableReader readTable)
    : table_(table),
      host_(host),
      dialogs_(dialogs),
      clock_(clock),
      format_(format),
      readTable_(std::move(readTable)) {}

const std::string& RouteFileCommands::CurrentFile() const { return currentFile_; }
const std::string& RouteFileCommands::DisplayName() const { return displayName_; }
const std::string& RouteFileCommands::OpenedExtension() const { return openedExtension_; }

void RouteFileCommands::SetCurrentFile(const std::string& path) {
  currentFile_ = path;
  displayName_ = FileNameOf(path);
}

bool RouteFileCommands::Open(bool byOperator) {
  std::string path = currentFile_;
  if (byOperator) {
    const std::string startFolder = currentFile_.empty() ? std::string() : FolderOf(currentFile_);
    const std::optional<std::string> chosen = dialogs_.AskOpen(startFolder);
    if (!chosen || chosen->empty()) return false;
    path = *chosen;
  }
  return OpenPath(path, byOperator);
}

bool RouteFileCommands::OpenChosen(const std::string& path) { return OpenPath(path, true); }

bool RouteFileCommands::OpenPath(const std::string& path, bool byOperator) {
  if (path.empty()) return false;

  // A file that is there but cannot be read whole (too large, locked, a folder, a FIFO) takes no
  // effect at all, so that a later save cannot overwrite it with an empty list.
  const LoadResult loaded = LoadRoutesFile(path, table_.Stored(), host_, readTable_);
  if (!Taken(loaded)) {
    if (loaded.status == LoadStatus::TooLarge) {
      host_.ShowStatus(kPanelStatus, FileTooLargeText() + " " + cp1251::FromUtf8(path));
    } else {
      const std::string text = FileNotReadText(path, loaded.error);
      host_.ShowStatus(kPanelStatus, text);
      host_.AppendLogLine(text, kRed);
    }
    if (!byOperator) SetCurrentFile(std::string());
    return false;
  }

  // A missing file starts a new list under its name; the first save creates it.
  currentFile_ = path;
  openedExtension_ = ExtensionOf(currentFile_);
  displayName_ = FileNameOf(currentFile_);
  lastFile_ = loaded.status == LoadStatus::Ok ? path : std::string();
  lastFileRoutes_ = loaded.routesInFile;
  host_.SetTitle(Title(displayName_));
  // An imported list (a route group or a table) exists in no route list file yet.
  const RoutesFileKind kind = KindOfRoutesFile(path);
  table_.SetModified(kind != RoutesFileKind::RouteList);
  if (kind == RoutesFileKind::RouteGroup) {
    host_.ShowStatus(kPanelStatus, ImportedText(displayName_));
  } else if (loaded.status == LoadStatus::Ok) {
    host_.ShowStatus(kPanelStatus, OpenedText(displayName_));
  }
  table_.LoadGridFromStored();
  host_.RefreshWindowState();
  return true;
}

std::optional<std::string> RouteFileCommands::AskSaveName(std::string proposedPath) {
  for (;;) {
    const bool proposed = !proposedPath.empty();
    const std::optional<std::string> chosen =
        dialogs_.AskSave(proposed ? FolderOf(proposedPath) : std::string(),
                         proposed ? FileNameOf(proposedPath) : std::string());
    if (!chosen || chosen->empty()) return std::nullopt;
    const std::string name = RouteListSaveName(*chosen);
    if (name == *chosen) return name;
    if (!name.empty()) return MayReplace(name) ? std::optional<std::string>(name) : std::nullopt;
    // The list would open again as something else, and a group or table under that name would be
    // gone: the dialog comes back with the .mrp name.
    host_.ShowStatus(kPanelStatus, SavedAsMrpOnlyText());
    host_.AppendLogLine("***" + SavedAsMrpOnlyText(), kRed);
    proposedPath = ReplaceExtension(*chosen, ".mrp");
  }
}

bool RouteFileCommands::MayReplace(const std::string& derived) {
  // A name the program made up itself: a file already there under it is replaced only when it is
  // the one this list came from or went to, or when the operator says so.
  return !FileExists(derived) || SameFile(derived, lastFile_) || dialogs_.AskReplace(derived);
}

bool RouteFileCommands::Save() {
  std::string target = currentFile_;
  if (target.empty()) {
    const std::optional<std::string> chosen = AskSaveName(std::string());
    if (!chosen) return false;
    target = *chosen;
  }
  if (LowerExtensionOf(openedExtension_) != ".mrp") {
    target = ReplaceExtension(target, ".mrp");
    if (!MayReplace(target)) return false;
  }
  return WriteTo(target);
}

bool RouteFileCommands::SaveAs() {
  // The dialog proposes the .mrp name, applies the extension itself and asks before it replaces a
  // file; the name it confirms is written as it is when it opens again as a route list.
  std::string proposed = currentFile_;
  if (!proposed.empty() && LowerExtensionOf(openedExtension_) != ".mrp")
    proposed = ReplaceExtension(proposed, ".mrp");
  const std::optional<std::string> chosen = AskSaveName(proposed);
  if (!chosen) return false;
  return WriteTo(*chosen);
}

bool RouteFileCommands::WriteTo(const std::string& target) {
  // The whole file is built first and written under a temporary name, so a failure leaves the
  // earlier file, the names, the stored route list and the modified flag.
  const int count = std::min(table_.RouteCount(), kStoredRoutes);
  // The routes of the file that the list did not keep are gone once it is written again.
  if (lastFileRoutes_ > kStoredRoutes && SameFile(target, lastFile_) &&
      !dialogs_.AskCut(target, lastFileRoutes_, count))
    return false;
  std::vector<RouteTexts> routes(static_cast<std::size_t>(count));
  for (int row = 1; row <= count; ++row) {
    for (int f = 0; f < kRouteFields; ++f) routes[row - 1][f] = table_.Cell(row, f + 1);
  }
  const std::string error = WriteFileAtomic(target, WriteRouteList(routes, format_, clock_.Now()));
  if (!error.empty()) {
    host_.ShowStatus(kPanelStatus, cp1251::FromUtf8(error));
    host_.AppendLogLine("***" + cp1251::FromUtf8(error), kRed);
    return false;
  }

  for (int row = 1; row <= count; ++row) table_.WriteRowToStored(row);
  table_.Stored().count = count;
  currentFile_ = target;
  displayName_ = FileNameOf(currentFile_);
  lastFile_ = target;
  lastFileRoutes_ = count;
  host_.SetTitle(Title(displayName_));
  host_.ShowStatus(kPanelStatus, SavedText(displayName_));
  table_.SetModified(false);
  host_.RefreshWindowState();
  return true;
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
