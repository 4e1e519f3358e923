// What a system other than Windows says about itself for the about window: its own name in
// place of the platform's, and its kernel's version.
#include <QSysInfo>

#include "Aboutp.h"

AboutSystemInfo CurrentSystemInfo() {
  AboutSystemInfo info;
  info.computerName = QSysInfo::machineHostName();
  info.productName = QSysInfo::prettyProductName();
  // "6.1.0-18-amd64": 6.1 as the version, 0 as the build, the whole text in the last place.
  const QString kernel = QSysInfo::kernelVersion();
  const QStringList parts = kernel.split(QLatin1Char('.'));
  auto number = [&parts](int i) {
    if (i >= parts.size()) return 0u;
    QString digits;
    for (QChar c : parts[i]) {
      if (!c.isDigit()) break;
      digits += c;
    }
    return digits.toUInt();
  };
  info.major = number(0);
  info.minor = number(1);
  info.build = number(2);
  info.servicePack = kernel;
  return info;
}
