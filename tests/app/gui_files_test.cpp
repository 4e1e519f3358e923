// The file commands through the real window: open, edit, save, close and reopen with the
// dialogs answered by the test, and the remembered file reopened at the next start.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTextEdit>

#include "gui_support.h"
#include "tests/base/unreadable_files.h"

using namespace guitest;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

class FilesTest : public WindowFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    list = dir.filePath(QStringLiteral("маршруты.mrp"));
    WriteAll(list, Cp1251("//\r\n// Версия 01.00 x\r\n// Маршрутов: 2\r\n12;Вокзал;Парк;\r\n"
                          "5А;Рынок\\;ТЦ;Аэропорт;Через центр\r\n"));
  }
  void Make(bool realSettings = false) {
    WindowOptions o = Options(&dialogs);
    if (realSettings) o.settings.reset();
    w = std::make_unique<TVelmoraF>(std::move(o));
  }
  // A window that remembers `file` from its last run.
  void MakeRemembering(const QString& file) {
    WindowOptions o = Options(&dialogs);
    velmora::SettingsValues last;
    last.lastFile = file.toStdString();
    velmora::WriteSettings(*o.settings, last, {2026, 12, 1, 10, 0, 0, 0});
    w = std::make_unique<TVelmoraF>(std::move(o));
  }
  QString Log() const { return w->findChild<QTextEdit*>(QStringLiteral("reMsg"))->toPlainText(); }

  QTemporaryDir dir;
  QString list;
};

TEST_F(FilesTest, OpenEditSaveCloseAndReopen) {
  Make();
  w->show();
  dialogs.opens.push_back(list.toStdString());
  Action(*w, "aOpen")->trigger();
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Velmora v1.05 маршруты.mrp"));
  ASSERT_EQ(w->Table().RouteCount(), 2);
  EXPECT_EQ(w->Model()->rowCount(), 2);
  EXPECT_EQ(Cell(*w, 2, 1), QStringLiteral("5А"));
  EXPECT_EQ(Cell(*w, 2, 2), QStringLiteral("Рынок;ТЦ"));
  EXPECT_EQ(Cell(*w, 2, 4), QStringLiteral("Через центр"));
  EXPECT_FALSE(w->Table().Modified());
  EXPECT_TRUE(Action(*w, "aOpen")->isEnabled());
  EXPECT_TRUE(Action(*w, "aSaveAs")->isEnabled());
  EXPECT_FALSE(Action(*w, "aSave")->isEnabled());
  EXPECT_TRUE(Grid(*w)->isEnabled());

  w->Table().SetCursor(1, 3);
  QLineEdit* editor = Editor(*w);
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_End);
  Type(editor, QStringLiteral("ы;//"));
  EXPECT_TRUE(Action(*w, "aSave")->isEnabled());
  EXPECT_FALSE(Action(*w, "aOpen")->isEnabled());
  EXPECT_FALSE(Action(*w, "aClose")->isEnabled());

  Action(*w, "aSave")->trigger();
  EXPECT_EQ(dialogs.saveCalls, 0);  // the current file is known
  EXPECT_FALSE(w->Table().Modified());
  // After a save the title keeps the program's own name.
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Velmora v1.05 маршруты.mrp"));
  const QByteArray saved = ReadAll(list);
  EXPECT_TRUE(saved.contains(Cp1251("\r\n12;Вокзал;Паркы\\;\\/\\/;\r\n"))) << saved.toStdString();
  EXPECT_TRUE(saved.contains(Cp1251("// Маршрутов: 2\r\n")));
  EXPECT_TRUE(saved.endsWith(Cp1251("5А;Рынок\\;ТЦ;Аэропорт;Через центр\r\n")));

  Action(*w, "aClose")->trigger();
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Velmora v1.05  - <без файла>"));
  EXPECT_EQ(w->Table().RouteCount(), 0);
  EXPECT_FALSE(Grid(*w)->isEnabled());

  dialogs.opens.push_back(list.toStdString());
  Action(*w, "aOpen")->trigger();
  ASSERT_EQ(w->Table().RouteCount(), 2);
  EXPECT_EQ(Cell(*w, 1, 3), QStringLiteral("Паркы;//"));  // ";" and "//" came back whole
}

TEST_F(FilesTest, SavingWithoutAFileAsksAndACancelWritesNothing) {
  Make();
  Action(*w, "aAdd")->trigger();
  w->Table().SetCell(1, 1, velmora::Cp("7"));
  Action(*w, "aSave")->trigger();  // cancelled
  EXPECT_EQ(dialogs.saveCalls, 1);
  EXPECT_TRUE(w->Table().Modified());
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Velmora v1.05 - <без файла>"));

  const QString target = dir.filePath(QStringLiteral("new.mrp"));
  dialogs.saves.push_back(target.toStdString());
  Action(*w, "aSaveAs")->trigger();
  EXPECT_FALSE(w->Table().Modified());
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Velmora v1.05 new.mrp"));
  EXPECT_TRUE(ReadAll(target).endsWith("\r\n7;;;\r\n"));
  EXPECT_EQ(w->Table().Stored().count, 1);
  EXPECT_TRUE(w->close());
}

TEST_F(FilesTest, TheRememberedFileIsReopenedAtTheNextStart) {
  Make(true);
  dialogs.opens.push_back(list.toStdString());
  Action(*w, "aOpen")->trigger();
  ASSERT_EQ(w->Table().RouteCount(), 2);
  ASSERT_TRUE(w->close());  // writes the settings
  w.reset();

  Make(true);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Velmora v1.05 маршруты.mrp"));
  EXPECT_EQ(w->Table().RouteCount(), 2);
  EXPECT_EQ(Cell(*w, 1, 2), QStringLiteral("Вокзал"));
  EXPECT_FALSE(w->Table().Modified());
  ASSERT_TRUE(w->close());
  w.reset();

  // A remembered file that vanished: an empty list, still titled with its name.
  ASSERT_TRUE(QFile::remove(list));
  Make(true);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Velmora v1.05 маршруты.mrp"));
  EXPECT_EQ(w->Table().RouteCount(), 0);
  EXPECT_EQ(w->Model()->rowCount(), 1);
  // The first save recreates it at that path.
  Action(*w, "aAdd")->trigger();
  Action(*w, "aSave")->trigger();
  EXPECT_EQ(dialogs.saveCalls, 0);
  EXPECT_TRUE(QFile::exists(list));
  EXPECT_TRUE(w->close());
  w.reset();

  // Closed without a file: nothing is reopened.
  Make(true);
  Action(*w, "aClose")->trigger();
  ASSERT_TRUE(w->close());
  w.reset();
  Make(true);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Velmora v1.05 - <без файла>"));
}

TEST_F(FilesTest, ARouteGroupOpenedLeavesTheTableModified) {
  Make();
  const QString group = dir.filePath(QStringLiteral("GROUP.MRG"));
  WriteAll(group, QByteArray("\x04"
                             "0209",
                             5));
  dialogs.opens.push_back(group.toStdString());
  Action(*w, "aOpen")->trigger();
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Velmora v1.05 GROUP.MRG"));
  EXPECT_TRUE(w->Table().Modified());
  EXPECT_FALSE(Action(*w, "aOpen")->isEnabled());
  EXPECT_FALSE(Action(*w, "aClose")->isEnabled());
  EXPECT_TRUE(Action(*w, "aSave")->isEnabled());
  EXPECT_FALSE(w->close());
}

TEST_F(FilesTest, ARefusedRememberedFileIsNoSaveTarget) {
  using velmora::test::Unreadable;
  const QString path = dir.filePath(QStringLiteral("remembered.mrp"));
  const QByteArray big(16 * 1024 * 1024 + 1, '\n');
  std::filesystem::permissions(dir.path().toStdString(), std::filesystem::perms::others_exec,
                               std::filesystem::perm_options::add);
  for (int k = -1; k < 3; ++k) {  // -1: a file over 16 MiB
    const Unreadable kind = velmora::test::kUnreadableKinds[k < 0 ? 0 : k];
    if (k < 0)
      WriteAll(path, big);
    else if (!velmora::test::MakeUnreadable(kind, path.toStdString(), "1;a\r\n"))
      continue;
    velmora::test::AsUnprivileged([&] { MakeRemembering(path); });
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Velmora v1.05 - <без файла>"));
    if (k >= 0) {
      const QString line = QStringLiteral("***Файл не прочитан: ") + path + QLatin1Char(' ') +
                           QString::fromStdString(velmora::test::UnreadableReason(kind));
      EXPECT_EQ(Log().toStdString(), line.toStdString());
      EXPECT_EQ(Panel(*w, 2).toStdString(), line.toStdString());
    }
    ShowActive();
    // Kinds this system cannot make were passed over: count from here.
    const int asked = dialogs.saveCalls;
    QTest::keyClick(w.get(), Qt::Key_Insert, Qt::ControlModifier);
    QTest::keyClick(w.get(), Qt::Key_F5);
    EXPECT_EQ(dialogs.saveCalls, asked + 1) << "F5 asks for a name, as without a file";
    w->Table().SetModified(false);
    w.reset();
    std::filesystem::permissions(path.toStdString(), std::filesystem::perms::owner_all);
    if (k < 0 || kind == Unreadable::NoPermission) {
      EXPECT_TRUE(ReadAll(path) == (k < 0 ? big : QByteArray("1;a\r\n"))) << "byte for byte";
    }
  }
}

TEST_F(FilesTest, F5AfterAGroupImportAsksBeforeReplacingAnotherFile) {
  const QString derived = dir.filePath(QStringLiteral("UPPER.mrp"));
  WriteAll(dir.filePath(QStringLiteral("UPPER.MRG")), QByteArray());
  WriteAll(derived, QByteArray("another list\r\n"));
  Make();
  ShowActive();
  dialogs.opens.push_back(dir.filePath(QStringLiteral("UPPER.MRG")).toStdString());
  QTest::keyClick(w.get(), Qt::Key_F3);
  dialogs.replaces = {false, true};
  QTest::keyClick(w.get(), Qt::Key_F5);
  EXPECT_EQ(dialogs.lastReplaced, derived.toStdString());
  EXPECT_EQ(ReadAll(derived), QByteArray("another list\r\n")) << "No writes nothing";
  EXPECT_TRUE(w->Table().Modified());
  QTest::keyClick(w.get(), Qt::Key_F5);
  EXPECT_TRUE(ReadAll(derived).endsWith(Cp1251("// Маршрутов: 0\r\n")));
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Velmora v1.05 UPPER.mrp"));
  // The file just written is written again without a question (none is left to say Yes).
  QTest::keyClick(w.get(), Qt::Key_Insert, Qt::ControlModifier);
  QTest::keyClick(w.get(), Qt::Key_F5);
  EXPECT_FALSE(w->Table().Modified());
}

TEST_F(FilesTest, SaveAsTakesTheConfirmedNameOnlyWhenTheWriteSucceeds) {
  Make();
  ShowActive();
  dialogs.opens.push_back(list.toStdString());
  QTest::keyClick(w.get(), Qt::Key_F3);
  WriteAll(dir.filePath(QStringLiteral("plain")), "a file, not a folder");
  dialogs.saves = {dir.filePath(QStringLiteral("plain/x.mrp")).toStdString()};
  QTest::keyClick(w.get(), Qt::Key_F6);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Velmora v1.05 маршруты.mrp"));
  EXPECT_EQ(w->Files().CurrentFile(), list.toStdString());
  EXPECT_TRUE(Log().startsWith(QStringLiteral("***")) && !Panel(*w, 2).isEmpty());
}

TEST_F(FilesTest, SaveAsWritesTheListOnlyUnderANameThatOpensItAgain) {
  Make();
  ShowActive();
  const auto reopen = [this](const QString& path) {
    dialogs.opens.push_back(path.toStdString());
    QTest::keyClick(w.get(), Qt::Key_F3);
    QStringList cells;
    for (int row = 1; row <= w->Table().RouteCount(); ++row)
      for (int column = 1; column <= 4; ++column) cells << Cell(*w, row, column);
    return cells.join(QLatin1Char('|')).toStdString();
  };
  const std::string opened = reopen(list);
  const QString group = dir.filePath(QStringLiteral("x.mrg"));
  const QString mrp = dir.filePath(QStringLiteral("x.mrp"));
  WriteAll(group, "a Dorlan group");
  // A name read as another kind brings the dialog back: its second answer is x.mrp.
  using Row = std::pair<QString, bool>;  // the name typed, refused
  for (const auto& [name, refused] : {Row{"x.mrg", true}, Row{"x.csv", true}, Row{"x", false}}) {
    QFile::remove(mrp);
    dialogs.saves = {dir.filePath(name).toStdString(), mrp.toStdString()};
    QTest::keyClick(w.get(), Qt::Key_F6);
    EXPECT_EQ(dialogs.saves.size(), refused ? 0u : 1u) << name.toStdString();
    EXPECT_EQ(reopen(mrp), opened) << name.toStdString();
  }
  EXPECT_EQ(Log().count(QStringLiteral("***Маршруты сохраняются в файл .mrp")), 2);
  EXPECT_EQ(ReadAll(group), QByteArray("a Dorlan group"));
  EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("x*")}), (QStringList{"x.mrg", "x.mrp"}));
}

TEST_F(FilesTest, F5AsksBeforeItCutsAFileOfMoreThan256Routes) {
  QByteArray many;
  for (int i = 1; i <= 300; ++i) many += QByteArray::number(i) + ";a\\;b\r\n";
  WriteAll(list, many);
  Make();
  ShowActive();
  dialogs.opens.push_back(list.toStdString());
  QTest::keyClick(w.get(), Qt::Key_F3);
  dialogs.cuts = {false, true};
  for (const bool yes : {false, true}) {
    Type(Editor(*w), QStringLiteral("7"));
    QTest::keyClick(w.get(), Qt::Key_F5);
    EXPECT_EQ(w->Table().Modified(), !yes);
    EXPECT_EQ(ReadAll(list) == many, !yes);
  }
  EXPECT_EQ(RouteModel::FromCp(dialogs.lastCut),
            QStringLiteral("Файл маршруты.mrp содержал 300 маршрутов; после сохранения в нём "
                           "останутся 256. Сохранить?"));
  EXPECT_TRUE(ReadAll(list).endsWith("\r\n256;a\\;b;;\r\n"));
  dialogs.lastCut.clear();  // the file holds the list now: F5 asks no more
  Type(Editor(*w), QStringLiteral("8"));
  QTest::keyClick(w.get(), Qt::Key_F5);
  EXPECT_TRUE(dialogs.lastCut.empty() && !w->Table().Modified());
}

}  // namespace
