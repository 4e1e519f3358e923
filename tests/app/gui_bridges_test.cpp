// Files from the desktop: `velmora FILE` at start, files dropped on the window, and the
// program's argument rules.
#include <gtest/gtest.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QFile>
#include <QProcess>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QUrl>
#include <QWindow>
#include <filesystem>

#include "base/clock.h"
#include "base/fileio.h"
#include "gui_support.h"
#include "routes/routelistfile.h"
#include "tests/routes/import_writer.h"

using namespace guitest;
using velmora::Cp;

namespace {

std::string RouteListFile(std::initializer_list<velmora::RouteTexts> routes) {
  velmora::StoredRouteList stored;
  for (const auto& r : routes) stored.records[stored.count++].SetTexts(r);
  return velmora::WriteRouteList(stored, velmora::FixedDateTimeFormat(), {2026, 12, 8, 9, 0, 0, 0});
}

// A drag from a file manager through the window to `at`: enter and move, then the drop if
// the window took the drag. Returns whether it was taken and whether the drop was accepted.
std::pair<bool, bool> DropFiles(TVelmoraF& w, const QStringList& paths, QPoint at) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& p : paths) urls.push_back(QUrl::fromLocalFile(p));
  mime.setUrls(urls);
  mime.setText(paths.join(QLatin1Char('\n')));
  const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
  QWindow* window = w.windowHandle();
  QDragEnterEvent enter(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &enter);
  QDragMoveEvent move(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &move);
  if (!enter.isAccepted() || !move.isAccepted()) {
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(window, &leave);
    return {false, false};
  }
  QDropEvent drop(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &drop);
  return {true, drop.isAccepted()};
}

std::string Fixture(const char* name) {
  QFile file(QStringLiteral(VELMORA_TEST_DATA "/workbooks/") + QString::fromUtf8(name));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
  return file.readAll().toStdString();
}

QPoint CentreOf(QWidget& w, QWidget* child) { return child->mapTo(&w, child->rect().center()); }

}  // namespace

TEST(GuiBridges, StartFileOfEachKindOpensInsteadOfTheRememberedOne) {
  EnsureApp();
  velmora::test::TempDir dir;
  const std::string remembered = dir.Write("remembered.mrp", RouteListFile({{"99", "x", "y", ""}}));
  dir.Write("lines/r5.mrl",
            velmora::test::LineFile("0209", Cp("5А"), {{Cp("Вокзал")}, {Cp("Парк")}}, "", ""));
  struct Case {
    std::string path;
    bool imported;  // modified, and F5 writes the .mrp beside it
    const char* designation;
  };
  std::string big(17u * 1024u * 1024u, ';');
  const Case cases[] = {
      {dir.Write("list.mrp", RouteListFile({{"12", Cp("Вокзал"), Cp("Парк"), ""}})), false, "12"},
      {dir.Write("Группа.MRG", velmora::test::GroupFile({"lines\\r5.mrl"})), true, "5А  "},
      {dir.Write("Таблица.csv",
                 "Маршрут;Начальная остановка;Конечная остановка;"
                 "Дополнительное сообщение\r\n7;Школа;Рынок;\r\n"),
       true, "7"},
      {dir.Write("t.TSV", Cp("8\tЛес\tПоле\t\r\n")), true, "8"},
      {dir.Write("Книга.XLSX", Fixture("cells.xlsx")), true, "12"},
      {dir.Write("big.mrp", big), false, nullptr},
  };
  for (const Case& c : cases) {
    const std::string name = std::filesystem::u8path(c.path).filename().u8string();
    WindowOptions options = Options();
    velmora::SettingsValues remember;
    remember.lastFile = remembered;
    velmora::WriteSettings(*options.settings, remember, {2026, 12, 8, 9, 0, 0, 0});
    options.startFile = c.path;
    TVelmoraF w(std::move(options));
    if (c.designation == nullptr) {
      // Refused as the open command refuses it: no file at all, not the remembered one.
      EXPECT_EQ(w.Files().CurrentFile(), "") << name;
      EXPECT_EQ(w.windowTitle(), QStringLiteral("Velmora v1.05 - <без файла>")) << name;
      EXPECT_TRUE(Panel(w, 2).startsWith(QStringLiteral("Файл слишком велик"))) << name;
      continue;
    }
    EXPECT_EQ(Cell(w, 1, 1), QString::fromUtf8(c.designation)) << name;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Velmora v1.05 ") + QString::fromStdString(name));
    EXPECT_EQ(w.Table().Modified(), c.imported) << name;
    if (!c.imported) continue;
    ASSERT_NO_FATAL_FAILURE(ShowActive(w));
    QTest::keyClick(&w, Qt::Key_F5);
    EXPECT_FALSE(w.Table().Modified()) << name;
    EXPECT_EQ(w.Files().CurrentFile(), velmora::ReplaceExtension(c.path, ".mrp"));
    EXPECT_TRUE(velmora::FileExists(w.Files().CurrentFile())) << name;
  }
}

TEST(GuiBridges, DroppedRouteFileOpensUnlessTheListHasUnsavedEdits) {
  EnsureApp();
  velmora::test::TempDir dir;
  const QString table = QString::fromStdString(dir.Write("Маршруты.CSV", "1;Вокзал\r\n2;Парк\r\n"));
  const QString list =
      QString::fromStdString(dir.Write("a.mrp", RouteListFile({{"3", "", "", ""}})));
  const QString notes = QString::fromStdString(dir.Write("notes.txt", "3;x\r\n"));
  TVelmoraF w(Options());
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QWidget* log = w.findChild<QTextEdit*>(QStringLiteral("reMsg"));

  // Neither another kind of file nor two files are taken, wherever they are dropped.
  EXPECT_FALSE(DropFiles(w, {notes}, CentreOf(w, Grid(w))).first);
  EXPECT_FALSE(DropFiles(w, {list, table}, CentreOf(w, Grid(w))).first);
  EXPECT_EQ(w.Files().CurrentFile(), "");

  // Over the message log: imported like a route group.
  EXPECT_EQ(DropFiles(w, {table}, CentreOf(w, log)), std::make_pair(true, true));
  EXPECT_EQ(w.Table().RouteCount(), 2);
  EXPECT_EQ(Cell(w, 1, 2), QStringLiteral("Вокзал"));
  EXPECT_TRUE(w.Table().Modified());
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Velmora v1.05 Маршруты.CSV"));

  // With unsaved edits the drop is refused and panel 2 says why; over the cell editor too.
  ASSERT_NE(Editor(w), nullptr);
  EXPECT_EQ(DropFiles(w, {list}, CentreOf(w, Editor(w))), std::make_pair(true, false));
  EXPECT_EQ(Panel(w, 2), QStringLiteral("Сначала сохраните или отмените изменения"));
  EXPECT_EQ(w.Table().RouteCount(), 2);
  EXPECT_EQ(w.Files().CurrentFile(), table.toStdString());

  // Undone, the same drop opens the route list, clean.
  QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
  ASSERT_FALSE(w.Table().Modified());
  EXPECT_EQ(DropFiles(w, {list}, CentreOf(w, Grid(w))), std::make_pair(true, true));
  EXPECT_EQ(Cell(w, 1, 1), QStringLiteral("3"));
  EXPECT_FALSE(w.Table().Modified());
}

TEST(GuiBridges, DroppedWorkbookOpensAndItsCutsShowInRed) {
  EnsureApp();
  velmora::test::TempDir dir;
  const QString book = QString::fromStdString(dir.Write("Маршруты.xlsx", Fixture("cells.xlsx")));
  TVelmoraF w(Options());
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

  EXPECT_EQ(DropFiles(w, {book}, CentreOf(w, Grid(w))), std::make_pair(true, true));
  EXPECT_EQ(w.Table().RouteCount(), 5);
  EXPECT_EQ(Cell(w, 1, 2), QStringLiteral("007"));
  EXPECT_EQ(Cell(w, 2, 1), QStringLiteral("ИСТИ"));
  EXPECT_TRUE(w.Table().Modified());
  QMap<QString, QColor> shown;
  const QTextDocument* log = w.findChild<QTextEdit*>(QStringLiteral("reMsg"))->document();
  for (QTextBlock b = log->begin(); b.isValid(); b = b.next()) {
    if (!b.begin().atEnd()) shown[b.text()] = b.begin().fragment().charFormat().foreground().color();
  }
  EXPECT_EQ(shown.value(QStringLiteral("***Строка 3, Маршрут: текст длиной 6 знаков обрезан до 4")),
            QColor(255, 0, 0));
  EXPECT_TRUE(shown.contains(
      QStringLiteral("Первая строка принята за заголовок: Номер; Откуда; Куда")));
}

TEST(GuiBridges, ProgramArgumentsNeedNoDisplayForTheirErrors) {
  // No display at all: the usage errors end the program before the window is made.
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  struct Case {
    const char* args;  // split at blanks
    int code;
    const char* says;
  };
  const Case cases[] = {{"--help", 0, "FILE"},
                        {"a.mrp b.csv", 2, "only one FILE"},
                        {"-style fusion a.mrp b.mrp", 2, "only one FILE"},
                        {"a.mrp --simulate=bogus", 2, "--simulate"}};
  for (const Case& c : cases) {
    QProcess velmora;
    velmora.setProcessEnvironment(env);
    velmora.start(QStringLiteral(VELMORA_APP), QString::fromUtf8(c.args).split(QLatin1Char(' ')));
    ASSERT_TRUE(velmora.waitForFinished(10000)) << c.args;
    const QString said = velmora.readAllStandardOutput() + velmora.readAllStandardError();
    EXPECT_EQ(velmora.exitCode(), c.code) << c.args;
    EXPECT_TRUE(said.contains(QString::fromUtf8(c.says))) << said.toStdString();
  }
}
