#include "application.h"

#include <QMessageBox>
#include <exception>

#include "version.h"

const QString VelmoraApplication::kTitle = QStringLiteral("Velmora v" VELMORA_VERSION);

VelmoraApplication::VelmoraApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("velmora"));
  // Not the display name: Qt would append it to every window title, and the window's
  // title already begins with it.
  setApplicationVersion(QStringLiteral(VELMORA_VERSION));
}

bool VelmoraApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    Report(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    Report(QStringLiteral("Неизвестная ошибка"));
  }
  return false;
}

void VelmoraApplication::SetErrorReporter(std::function<void(const QString&)> reporter) {
  reporter_ = std::move(reporter);
}

void VelmoraApplication::Report(const QString& text) {
  if (reporter_) {
    reporter_(text);
    return;
  }
  QMessageBox::critical(activeWindow(), kTitle, text);
}
