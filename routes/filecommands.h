// The open, save, save-as and close commands with the current file.
#pragma once
#include <optional>
#include <string>

#include "clock.h"
#include "messagesink.h"
#include "routetable.h"

namespace velmora {

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // UTF-8 paths; nullopt on cancel.
  virtual std::optional<std::string> AskOpen(const std::string& startFolder) = 0;
  virtual std::optional<std::string> AskSave(const std::string& startFolder,
                                             const std::string& proposedName) = 0;
};

class FileCommandHost : public MessageSink {
 public:
  virtual void SetTitle(const std::string& title) = 0;   // CP1251
  virtual void RefreshWindowState() = 0;
};

constexpr const char* kTitlePrefix = "Velmora v1.05 ";
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

// By the extension in any letter case: ".mrg" a route group, ".csv" and ".tsv" a table
// (both imported), anything else a route list.
enum class RoutesFileKind { RouteList, RouteGroup, Table };
RoutesFileKind KindOfRoutesFile(const std::string& path);

enum class LoadStatus { Ok, CannotOpen, TooLarge };
// Reads a route list or imports a route group into `stored` (cleared first), as the
// open command does; warnings go to `sink`.
LoadStatus LoadRoutesFile(const std::string& path, StoredRouteList& stored, MessageSink& sink);

class RouteFileCommands {
 public:
  RouteFileCommands(RouteTable& table, FileCommandHost& host, FileDialogs& dialogs,
                    Clock& clock, const DateTimeFormat& format);

  const std::string& CurrentFile() const;
  const std::string& DisplayName() const;
  const std::string& OpenedExtension() const;
  void SetCurrentFile(const std::string& path);   // the remembered file, at start

  void Open(bool byOperator);
  // The open command for a file the operator named without the dialog (dropped on the
  // window, given on the command line).
  void OpenChosen(const std::string& path);
  bool Save();     // true when the file was written
  bool SaveAs();
  void Close();

 private:
  bool AskSaveName();

  RouteTable& table_;
  FileCommandHost& host_;
  FileDialogs& dialogs_;
  Clock& clock_;
  const DateTimeFormat& format_;
  std::string currentFile_, displayName_, openedExtension_;
};

}  // namespace velmora
