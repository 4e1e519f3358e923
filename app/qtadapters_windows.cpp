// The window's platform places on Windows: the settings in the registry, firmware in the
// program's own folder.
#include <QCoreApplication>

#include "qtadapters.h"

std::unique_ptr<velmora::SettingsBackend> CreatePlatformSettingsBackend() {
  return velmora::CreateRegistrySettingsBackend();
}

std::vector<std::string> ProgramFirmwareFolders() {
  return {QCoreApplication::applicationDirPath().toStdString()};
}
