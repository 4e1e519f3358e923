// The open, save, save-as and close commands with the current file.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "base/clock.h"
#include "base/messagesink.h"
#include "routetable.h"
#include "version.h"

namespace velmora {

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // UTF-8 paths; nullopt on cancel.
  virtual std::optional<std::string> AskOpen(const std::string& startFolder) = 0;
  virtual std::optional<std::string> AskSave(const std::string& startFolder,
                                             const std::string& proposedName) = 0;
  // Yes/No with ReplaceQuestionText: a save under a name the program derived would replace the file
  // at `path` (UTF-8). True for Yes; one that cannot ask says No.
  virtual bool AskReplace(const std::string& path) {
    (void)path;
    return false;
  }
  // Yes/No with CutQuestionText: the file at `path` held more routes than a save writes back.
  virtual bool AskCut(const std::string& path, int routesInFile, int routesKept) {
    (void)path;
    (void)routesInFile;
    (void)routesKept;
    return false;
  }
};

// Virtual: the main window is both hosts and has one message sink.
class FileCommandHost : public virtual MessageSink {
 public:
  virtual void SetTitle(const std::string& title) = 0;   // CP1251
  virtual void RefreshWindowState() = 0;
};

constexpr const char* kTitlePrefix = "Velmora v" VELMORA_VERSION " ";
// The title at start without a remembered file, and after close (two blanks). CP1251.
std::string TitleWithoutFile();
std::string TitleAfterClose();
// Status panel 2 when a file is refused for its size, before the file name (CP1251).
std::string FileTooLargeText();
// Status panel 2 after a command went through, so that no earlier error stays (CP1251).
std::string OpenedText(const std::string& displayName);  // display name UTF-8
std::string ImportedText(const std::string& displayName);
std::string SavedText(const std::string& displayName);
std::string ClosedText();
std::string UndoneText();
// Panel 2 when a dropped file is refused because the list holds changes (CP1251).
std::string SaveOrUndoFirstText();
// Panel 2 and the red log line for a file that is there but cannot be read: "***Файл не прочитан: "
// + path + " " + reason (path and reason UTF-8 in, CP1251 out).
std::string FileNotReadText(const std::string& path, const std::string& reason);
// "Файл <name> уже существует. Заменить его?" (UTF-8 path in, CP1251 out).
std::string ReplaceQuestionText(const std::string& path);
// "Файл <name> содержал N маршрутов; после сохранения в нём останутся K. Сохранить?" (CP1251).
std::string CutQuestionText(const std::string& path, int routesInFile, int routesKept);
// Panel 2 and the red log line when a save is refused a name read as another kind (CP1251).
std::string SavedAsMrpOnlyText();

// By the extension in any letter case: ".mrg" a route group, ".csv", ".tsv", ".xlsx" and
// ".ods" a table (both imported), anything else a route list.
enum class RoutesFileKind { RouteList, RouteGroup, Table };
RoutesFileKind KindOfRoutesFile(const std::string& path);
// A name the open command reads by its extension alone: .mrp, .mrg or a table's.
bool IsRoutesFileName(const std::string& path);
// velmora-cli reads a name ending in ".json" (any letter case) as the routes JSON.
bool IsRoutesJsonName(const std::string& path);
// The name a route list is written under when the operator chose `path`, so that it opens again as
// that list: a name without an extension gets ".mrp", a name read as a route list stays as it is,
// and a name read as another kind (a route group, a table, the routes JSON) gives "".
std::string RouteListSaveName(const std::string& path);

// Missing: no file of that name (an empty list). Refused: the file is there but cannot be read, or
// is no regular file, or is a table that is refused (the reason in `error`). TooLarge: over
// 16 MiB.
enum class LoadStatus { Ok, Missing, Refused, TooLarge };
struct LoadResult {
  LoadStatus status = LoadStatus::Ok;
  std::string error;  // the system's reason (UTF-8) when not Ok
  int routesInFile = 0;  // the route lines of a route list file read, those not kept included
};
// Reads the table or workbook `bytes` of the file at `path` (its kind told by the extension) into
// `stored`, with its lines for the log to `sink`, and returns why nothing was taken (UTF-8), "" when
// it was read. A refused table leaves `stored` as it was and logs nothing. The spreadsheet bridge
// gives the reader (ReadRouteTableFile in sheets/tablefile.h); without one a table's name is read
// as a route list, like any name of a kind that has no reader of its own.
using TableReader = std::function<std::string(const std::string& path, const std::string& bytes,
                                              StoredRouteList& stored, MessageSink& sink)>;

// Reads a route list, imports a route group or reads a table with `readTable` into `stored`, as the
// open command does; warnings go to `sink`. `stored` is emptied first; a refused or too large file
// leaves it as it was.
LoadResult LoadRoutesFile(const std::string& path, StoredRouteList& stored, MessageSink& sink,
                          const TableReader& readTable);

class RouteFileCommands {
 public:
  RouteFileCommands(RouteTable& table, FileCommandHost& host, FileDialogs& dialogs,
                    Clock& clock, const DateTimeFormat& format, TableReader readTable);

  const std::string& CurrentFile() const;
  const std::string& DisplayName() const;
  const std::string& OpenedExtension() const;
  void SetCurrentFile(const std::string& path);   // the remembered file, at start

  // False when nothing was opened (cancelled or refused). A refused remembered file (byOperator
  // false) is no current file any more.
  bool Open(bool byOperator);
  // The open command for a file the operator named without the dialog (dropped on the window);
  // a refusal leaves everything as it was.
  bool OpenChosen(const std::string& path);
  bool Save();  // true when the file was written
  bool SaveAs();
  void Close();

 private:
  std::optional<std::string> AskSaveName(std::string proposedPath);
  bool MayReplace(const std::string& derived);
  bool WriteTo(const std::string& target);
  bool OpenPath(const std::string& path, bool byOperator);

  RouteTable& table_;
  FileCommandHost& host_;
  FileDialogs& dialogs_;
  Clock& clock_;
  const DateTimeFormat& format_;
  TableReader readTable_;
  std::string currentFile_, displayName_, openedExtension_;
  std::string lastFile_;  // the file last read or written; a save may replace it unasked
  int lastFileRoutes_ = 0;  // the routes it held then; over 256, writing it again cuts some
};

}  // namespace velmora
