// The window's platform places on a system other than Windows: the settings in a file of the
// user's configuration folder, firmware in the program's folder and in the user's data folder.
#include <QCoreApplication>
#include <QStandardPaths>

#include "qtadapters.h"

std::unique_ptr<velmora::SettingsBackend> CreatePlatformSettingsBackend() {
  return velmora::CreateFileSettingsBackend(
      QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString());
}

std::vector<std::string> ProgramFirmwareFolders() {
  std::vector<std::string> folders{QCoreApplication::applicationDirPath().toStdString()};
  folders.push_back((QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                     QStringLiteral("/firmware"))
                        .toStdString());
  return folders;
}
