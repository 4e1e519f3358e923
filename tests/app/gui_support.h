// Shared by the window tests: one application object, offscreen, with settings and data
// folders in a temporary home so the user's own are never touched.
#pragma once
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <string>

#include "application.h"
#include "base/cp1251.h"
#include "mainwindow.h"
#include "routemodel.h"
#include "routes/filecommands.h"
#include "statusbars.h"
#include "tests/routes/fakes.h"

namespace guitest {

inline QTemporaryDir& Home() {
  static QTemporaryDir home;
  return home;
}

// Ends the application object after the last test, before the program's statics go:
// the file dialogs leave threads behind that must be stopped by it.
class AppEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    if (QCoreApplication* app = QCoreApplication::instance()) {
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      delete app;
    }
  }
};

inline QApplication* EnsureApp() {
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const QByteArray home = Home().path().toLocal8Bit();
  qputenv("HOME", home);
  qputenv("XDG_CONFIG_HOME", home + "/config");
  qputenv("XDG_DATA_HOME", home + "/data");
  qputenv("XDG_RUNTIME_DIR", home + "/run");
  QDir().mkpath(Home().path() + QStringLiteral("/run"));
  QFile::setPermissions(Home().path() + QStringLiteral("/run"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  QStandardPaths::setTestModeEnabled(true);
  static int argc = 1;
  static char name[] = "test_app";
  static char* argv[] = {name, nullptr};
  auto* app = new VelmoraApplication(argc, argv);
  ::testing::AddGlobalTestEnvironment(new AppEnvironment);
  return app;
}

using FakeDialogs = velmora::test::FakeDialogs;

// Shown and active, so that the window's shortcuts reach its focused widget. Call it through
// ASSERT_NO_FATAL_FAILURE.
inline void ShowActive(QWidget& w) {
  w.show();
  QApplication::setActiveWindow(&w);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
}

// One window `w` on fake dialogs. Whatever a test leaves modified is discarded at the end, so the
// window closes without its question.
class WindowFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureApp(); }
  void TearDown() override {
    if (w) w->Table().SetModified(false);
    w.reset();
  }
  void ShowActive() { guitest::ShowActive(*w); }

  FakeDialogs dialogs;  // before w: the window holds a pointer to it
  std::unique_ptr<TVelmoraF> w;
};

inline QAction* Action(QWidget& w, const char* name) {
  return w.findChild<QAction*>(QString::fromLatin1(name));
}

inline QTableView* Grid(QWidget& w) { return w.findChild<QTableView*>(QStringLiteral("sgList")); }

inline QLineEdit* Editor(QWidget& w) {
  QTableView* grid = Grid(w);
  return grid ? qobject_cast<QLineEdit*>(grid->indexWidget(grid->currentIndex())) : nullptr;
}

inline QString Panel(TVelmoraF& w, int panel) { return w.Bars()->Panel(panel); }

inline QString Cell(TVelmoraF& w, int row, int column) {
  return RouteModel::FromCp(w.Table().Cell(row, column));
}

// Types text as the keyboard would, one character at a time (keyClicks rejects Cyrillic).
inline void Type(QWidget* target, const QString& text) {
  for (QChar ch : text) {
    QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(ch), Qt::NoModifier);
  }
}

// A window whose settings live in memory, unless the test wants the real store.
inline WindowOptions Options(velmora::FileDialogs* dialogs = nullptr) {
  WindowOptions o;
  o.settings = velmora::CreateMemorySettingsBackend();
  o.dialogs = dialogs;
  o.watchDevices = false;
  o.firmwareFolders = {Home().path().toStdString() + "/no-firmware"};
  return o;
}

// Fills the table with clean routes as an opened file would (stored list = grid).
inline void LoadRoutes(TVelmoraF& w, std::initializer_list<std::array<const char*, 4>> routes) {
  velmora::StoredRouteList& stored = w.Table().Stored();
  stored.Clear();
  int i = 0;
  for (const auto& r : routes) {
    velmora::RouteTexts texts;
    for (int f = 0; f < 4; ++f) texts[f] = velmora::Cp(r[f]);
    stored.records[i++].SetTexts(texts);
  }
  stored.count = i;
  w.Table().LoadGridFromStored();
  w.Table().SetModified(false);
  w.RefreshWindowState();
}

inline QByteArray Cp1251(const char* utf8) {
  const std::string bytes = velmora::Cp(utf8);
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace guitest
