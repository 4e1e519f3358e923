// The window's side of the core's platform interfaces: regional date and time formats
// and the file dialogs odMrp and sdMrp.
#pragma once
#include <QString>
#include <memory>
#include <vector>

#include "Sub.h"
#include "base/clock.h"
#include "routes/filecommands.h"

class QAbstractFileIconProvider;
class QFileDialog;
class QWidget;

// QLocale::system()'s short date and long time format, CP1251.
class QtDateTimeFormat : public velmora::DateTimeFormat {
 public:
  QtDateTimeFormat();
  std::string ShortDate(const velmora::DateTime& t) const override;
  std::string LongTime(const velmora::DateTime& t) const override;

  // The long time format without a time-zone field: the route file and the status bar
  // show a time of day, as Windows' long time format does.
  static QString LongTimePattern();

 private:
  QString datePattern_, timePattern_;
};

// Qt's own dialogs, never the system's: they list folders without reading any file and change
// nothing on disk (no rename, delete or new folder).
class QtFileDialogs : public velmora::FileDialogs {
 public:
  explicit QtFileDialogs(QWidget* parent);
  ~QtFileDialogs() override;
  std::optional<std::string> AskOpen(const std::string& startFolder) override;
  std::optional<std::string> AskSave(const std::string& startFolder,
                                     const std::string& proposedName) override;
  bool AskReplace(const std::string& path) override;
  bool AskCut(const std::string& path, int routesInFile, int routesKept) override;

  static const QString kOpenTitle, kOpenFilter, kSaveTitle, kSaveFilter;

 private:
  void Prepare(QFileDialog& dialog) const;
  bool Ask(const std::string& question, const char* objectName) const;

  QWidget* parent_;
  std::unique_ptr<QAbstractFileIconProvider> icons_;
};

// A path from Qt (a dialog, a drop, the command line) as the core keeps paths: absolute,
// UTF-8, with the system's own separators ("\" on Windows, as its other programs write them).
std::string CorePath(const QString& path);

// The settings store of this platform: the registry on Windows, a file in the user's
// configuration folder elsewhere.
std::unique_ptr<velmora::SettingsBackend> CreatePlatformSettingsBackend();
// Where firmware files are looked for, in listing order: the program's folder, and on
// systems where that folder is not the user's, firmware/ in the user's data folder.
std::vector<std::string> ProgramFirmwareFolders();
