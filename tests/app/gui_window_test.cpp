// The main window driven through its actions and keys: enabling, title, typing limits,
// the action keys inside the cell editor, the close refusal and the output channels.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStyle>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>

#include "celldelegate.h"
#include "gui_support.h"

using namespace guitest;

namespace {

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureApp(); }

  void SetUp() override { w = std::make_unique<TVelmoraF>(Options(&dialogs)); }
  void TearDown() override {
    w->Table().SetModified(false);
    w.reset();
  }

  // Shown and active, so that window shortcuts reach the focused editor.
  void ShowActive() { guitest::ShowActive(*w); }

  std::vector<std::string> Enabled() {
    std::vector<std::string> names;
    for (const char* n : {"aOpen", "aSave", "aSaveAs", "aClose", "aExit", "aAdd", "aDel", "aUp",
                          "aDown", "aReset", "aTransmit", "aRecive", "aProg", "aAbout"}) {
      if (Action(*w, n)->isEnabled()) names.emplace_back(n);
    }
    return names;
  }

  CellDelegate* Delegate() { return qobject_cast<CellDelegate*>(Grid(*w)->itemDelegate()); }

  FakeDialogs dialogs;
  std::unique_ptr<TVelmoraF> w;
};

using Names = std::vector<std::string>;

TEST_F(WindowTest, StartsEmptyWithOnlyOpenCloseAddAboutExit) {
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Velmora v1.05 - <без файла>"));
  EXPECT_EQ(Enabled(), (Names{"aOpen", "aClose", "aExit", "aAdd", "aAbout"}));
  EXPECT_FALSE(Action(*w, "aRecive")->isVisible());
  EXPECT_FALSE(Action(*w, "aProg")->isVisible());
  EXPECT_FALSE(Grid(*w)->isEnabled());
  EXPECT_EQ(w->Model()->rowCount(), 1);  // the placeholder row
  for (int c = 0; c < 5; ++c) EXPECT_EQ(Cell(*w, 1, c), QString());
  EXPECT_EQ(Panel(*w, 0), QString());
  EXPECT_EQ(Panel(*w, 1), QStringLiteral("Передач не было"));
  EXPECT_EQ(w->findChild<QTextEdit*>(QStringLiteral("reMsg"))->toPlainText(), QString());
  EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("lbProd"))->text(), QString());
  EXPECT_FALSE(w->findChild<QWidget*>(QStringLiteral("pnKado"))->isHidden());
  EXPECT_TRUE(w->findChild<QWidget*>(QStringLiteral("pnBoot"))->isHidden());
}

TEST_F(WindowTest, LayoutCarriesTheNamesHeadersAndWidths) {
  for (const char* name : {"sgList", "sgBoot", "pnKado", "pnBoot", "lbProd", "lbChangeProg",
                           "reMsg", "stBars", "SplitHor", "pnRe"}) {
    EXPECT_NE(w->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
  }
  EXPECT_EQ(w->objectName(), QStringLiteral("VelmoraF"));
  const QStringList headers = {
      QStringLiteral(" №"), QStringLiteral("Маршрут"), QStringLiteral("Начальная остановка"),
      QStringLiteral("Конечная остановка"), QStringLiteral("Дополнительное сообщение")};
  // The widths are minimums; each header reads in full in whatever font the desktop has.
  const int widths[] = {32, 49, 114, 108, 184};
  QHeaderView* header = Grid(*w)->horizontalHeader();
  const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
  for (int c = 0; c < 5; ++c) {
    EXPECT_EQ(w->Model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
    EXPECT_GE(Grid(*w)->columnWidth(c), widths[c]);
    EXPECT_LE(header->fontMetrics().horizontalAdvance(headers[c]) + 2 * margin,
              Grid(*w)->columnWidth(c))
        << c;
  }
  EXPECT_TRUE(Grid(*w)->verticalHeader()->isHidden());
  auto* boot = w->findChild<QTableView*>(QStringLiteral("sgBoot"));
  const int bootWidths[] = {32, 107, 46, 106, 174};
  const QStringList bootHeaders = {QStringLiteral("№"), QStringLiteral("Дата"),
                                   QStringLiteral("Размер"), QStringLiteral("Название"),
                                   QStringLiteral("Файл")};
  for (int c = 0; c < 5; ++c) {
    EXPECT_EQ(boot->columnWidth(c), bootWidths[c]);
    EXPECT_EQ(boot->model()->headerData(c, Qt::Horizontal).toString(), bootHeaders[c]);
  }
  EXPECT_EQ(boot->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(boot->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("lbChangeProg"))->text(),
            QStringLiteral("Обновление микропрограммы КАДО"));
  auto* bars = w->Bars();
  EXPECT_GE(bars->PanelLabel(0)->width(), 84);
  EXPECT_EQ(bars->PanelLabel(1)->width(), 108);
  EXPECT_TRUE(bars->Progress()->isHidden());
}

TEST_F(WindowTest, ActionsHaveTheirCaptionsHintsKeysAndPlaces) {
  struct Row {
    const char* name;
    const char* caption;
    const char* hint;
    QKeySequence keys;
  };
  const Row rows[] = {
      {"aOpen", "Открыть", "Открыть файл описания группы маршрутов", QKeySequence(Qt::Key_F3)},
      {"aSave", "Сохранить", "Сохранить изменения в описаниях в текущий файле",
       QKeySequence(Qt::Key_F5)},
      {"aSaveAs", "Сохранить как...", "Сохранить описания в заданный файл",
       QKeySequence(Qt::Key_F6)},
      {"aClose", "Закрыть", "Закрыть текущий проект", QKeySequence(Qt::Key_F7)},
      {"aExit", "Выйти", "Завершить выполнение программы", QKeySequence(Qt::CTRL | Qt::Key_F4)},
      {"aAdd", "Добавить", "Добавить новый маршрут", QKeySequence(Qt::CTRL | Qt::Key_Insert)},
      {"aDel", "Удалить", "Удалить описание маршрута", QKeySequence(Qt::CTRL | Qt::Key_Delete)},
      {"aUp", "Вверх", "Поднять строку описания маршрута вверх",
       QKeySequence(Qt::CTRL | Qt::Key_Up)},
      {"aDown", "Вниз", "Опустить строку описания маршрута вниз",
       QKeySequence(Qt::CTRL | Qt::Key_Down)},
      {"aReset", "Отменить", "Отменить все изменения в описаниях",
       QKeySequence(Qt::CTRL | Qt::Key_Z)},
      {"aTransmit", "Записать", "Записать данные о маршрутах в устройство переноса информации",
       QKeySequence(Qt::Key_F9)},
      {"aRecive", "Читать", "Считать информацию из устройства переноса информации", QKeySequence()},
      {"aProg", "Программа КАДО", "Обновить микропрограмму КАДО",
       QKeySequence(Qt::CTRL | Qt::Key_P)},
      {"aAbout", "О программе...", "Вывод информации о программе",
       QKeySequence(Qt::CTRL | Qt::Key_F1)},
  };
  for (const Row& r : rows) {
    QAction* a = Action(*w, r.name);
    ASSERT_NE(a, nullptr) << r.name;
    EXPECT_EQ(a->text(), QString::fromUtf8(r.caption)) << r.name;
    EXPECT_EQ(a->toolTip(), QString::fromUtf8(r.hint)) << r.name;
    EXPECT_EQ(a->shortcut(), r.keys) << r.name;
    EXPECT_FALSE(a->icon().isNull()) << r.name;
  }

  auto names = [](const QList<QAction*>& actions) {
    QStringList out;
    for (QAction* a : actions) {
      out << (a->isSeparator()            ? QStringLiteral("|")
              : a->objectName().isEmpty() ? QStringLiteral("?")
                                          : a->objectName());
    }
    return out;
  };
  auto* bar = w->findChild<QToolBar*>(QStringLiteral("ToolBar1"));
  QStringList toolbar = names(bar->actions());
  // Behind the last separator: the lbProd label, a spacer and the memory gauge.
  for (int i = 0; i < 3; ++i) toolbar.removeLast();
  EXPECT_EQ(
      toolbar.join(QLatin1Char(' ')),
      QStringLiteral(
          "aOpen aSave aSaveAs aReset | aAdd aDel aUp aDown | aTransmit aRecive aProg aExit |"));
  const QList<QAction*> tail = bar->actions().mid(bar->actions().size() - 3);
  EXPECT_EQ(bar->widgetForAction(tail[0]), w->findChild<QLabel*>(QStringLiteral("lbProd")));
  EXPECT_EQ(bar->widgetForAction(tail[2]), w->findChild<QWidget*>(QStringLiteral("pbMemory")));

  QStringList menus;
  for (QAction* m : w->menuBar()->actions()) {
    menus << m->text() + QLatin1Char(':') + names(m->menu()->actions()).join(QLatin1Char(' '));
  }
  EXPECT_EQ(menus, (QStringList{QStringLiteral("Файлы:aOpen aSave aSaveAs aClose aExit"),
                                QStringLiteral("Маршруты:aAdd aDel aUp aDown aReset"),
                                QStringLiteral("КАДО:aTransmit aRecive aProg"),
                                QStringLiteral("Сведения:aAbout")}));
}

TEST_F(WindowTest, AddingARouteEnablesSavingAndRefusesTheClose) {
  ShowActive();
  Action(*w, "aAdd")->trigger();
  EXPECT_EQ(w->Table().RouteCount(), 1);
  EXPECT_EQ(Cell(*w, 1, 0), QStringLiteral("1"));
  EXPECT_TRUE(Grid(*w)->isEnabled());
  EXPECT_EQ(Enabled(), (Names{"aSave", "aSaveAs", "aExit", "aAdd", "aDel", "aReset", "aAbout"}));

  const QString title = w->windowTitle();
  EXPECT_FALSE(w->close());
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->windowTitle(), title);
  EXPECT_EQ(w->findChild<QTextEdit*>(QStringLiteral("reMsg"))->toPlainText(), QString());
  EXPECT_EQ(Panel(*w, 2), QString());

  Action(*w, "aExit")->trigger();  // the same path as the close box
  EXPECT_TRUE(w->isVisible());

  Action(*w, "aReset")->trigger();  // nothing stored: back to the empty table
  EXPECT_EQ(w->Table().RouteCount(), 0);
  EXPECT_EQ(Enabled(), (Names{"aOpen", "aClose", "aExit", "aAdd", "aAbout"}));
  EXPECT_TRUE(w->close());
}

TEST_F(WindowTest, TypingStopsAtTheLimitsWithABeepAndNoChange) {
  ShowActive();
  Action(*w, "aAdd")->trigger();
  QLineEdit* editor = Editor(*w);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->maxLength(), 4);
  QSignalSpy refused(Delegate(), &CellDelegate::refused);
  Type(editor, QStringLiteral("5А"));
  Type(editor, QStringLiteral("бв"));
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("5Абв"));
  EXPECT_EQ(refused.count(), 0);

  // Saved and clean: a refused character must leave even the flag alone.
  w->Table().WriteRowToStored(1);
  w->Table().Stored().count = 1;
  w->Table().SetModified(false);
  Type(editor, QStringLiteral("Г"));
  EXPECT_EQ(refused.count(), 1);
  EXPECT_EQ(editor->text(), QStringLiteral("5Абв"));
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("5Абв"));
  EXPECT_FALSE(w->Table().Modified());
  editor->selectAll();  // even over a selection
  Type(editor, QStringLiteral("x"));
  EXPECT_EQ(refused.count(), 2);
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("5Абв"));

  // A character Windows-1251 has no byte for is refused the same way.
  w->Table().SetCursor(1, 2);
  editor = Editor(*w);
  ASSERT_NE(editor, nullptr);
  Type(editor, QStringLiteral("€€"));    // € is in CP1251
  Type(editor, QString(QChar(0x4E2D)));  // a CJK character is not
  EXPECT_EQ(refused.count(), 3);
  EXPECT_EQ(Cell(*w, 1, 2), QStringLiteral("€€"));

  // Backspace passes at any length and sets the flag.
  w->Table().SetCursor(1, 1);
  editor = Editor(*w);
  w->Table().SetModified(false);
  QTest::keyClick(editor,
                  Qt::Key_End);  // the editor opens with its text selected
  QTest::keyClick(editor, Qt::Key_Backspace);
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("5Аб"));
  EXPECT_TRUE(w->Table().Modified());
}

TEST_F(WindowTest, StopAndMessageCellsTakeFifteenAndOneHundredTwentySevenCharacters) {
  ShowActive();
  Action(*w, "aAdd")->trigger();
  QSignalSpy refused(Delegate(), &CellDelegate::refused);
  struct Case {
    int column;
    int limit;
  };
  for (Case c : {Case{2, 15}, Case{3, 15}, Case{4, 127}}) {
    w->Table().SetCursor(1, c.column);
    QLineEdit* editor = Editor(*w);
    ASSERT_NE(editor, nullptr);
    Type(editor, QString(c.limit, QChar(0x0416)));  // Ж
    EXPECT_EQ(Cell(*w, 1, c.column).size(), c.limit);
    const int before = static_cast<int>(refused.count());
    Type(editor, QStringLiteral("Ж"));
    EXPECT_EQ(refused.count(), before + 1);
    EXPECT_EQ(Cell(*w, 1, c.column).size(), c.limit);
  }
}

TEST_F(WindowTest, CtrlCLeavesTheFlagAndEscapeSetsIt) {
  ShowActive();
  LoadRoutes(*w, {{"12", "Вокзал", "Парк", ""}});
  QLineEdit* editor = Editor(*w);
  ASSERT_NE(editor, nullptr);
  editor->setFocus();
  editor->selectAll();
  QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
  EXPECT_FALSE(w->Table().Modified());
  EXPECT_TRUE(Action(*w, "aOpen")->isEnabled());
  QTest::keyClick(editor, Qt::Key_Escape);
  EXPECT_TRUE(w->Table().Modified());
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("12"));
  EXPECT_EQ(Editor(*w),
            editor);  // Escape does not close the always-shown editor
  EXPECT_TRUE(Action(*w, "aSave")->isEnabled());
  EXPECT_FALSE(Action(*w, "aOpen")->isEnabled());
}

TEST_F(WindowTest, ActionKeysWinInsideTheCellEditor) {
  ShowActive();
  LoadRoutes(*w, {{"1", "A", "B", ""}, {"2", "C", "D", ""}});
  QLineEdit* editor = Editor(*w);
  ASSERT_NE(editor, nullptr);
  editor->setFocus();
  ASSERT_TRUE(editor->hasFocus());

  QTest::keyClick(editor, Qt::Key_Insert,
                  Qt::ControlModifier);  // aAdd, not copy
  EXPECT_EQ(w->Table().RouteCount(), 3);
  EXPECT_EQ(w->Table().CursorRow(), 2);
  ASSERT_NE(Editor(*w), nullptr);
  EXPECT_TRUE(Editor(*w)->hasFocus());  // the editor followed the cursor

  QTest::keyClick(Editor(*w), Qt::Key_Down, Qt::ControlModifier);  // aDown
  EXPECT_EQ(w->Table().CursorRow(), 3);
  EXPECT_EQ(Cell(*w, 2, 1), QStringLiteral("2"));
  QTest::keyClick(Editor(*w), Qt::Key_Up, Qt::ControlModifier);  // aUp
  EXPECT_EQ(w->Table().CursorRow(), 2);
  EXPECT_EQ(Cell(*w, 3, 1), QStringLiteral("2"));

  QTest::keyClick(Editor(*w), Qt::Key_Delete,
                  Qt::ControlModifier);  // aDel, not delete-word
  EXPECT_EQ(w->Table().RouteCount(), 2);
  QTest::keyClick(Editor(*w), Qt::Key_End);
  Type(Editor(*w), QStringLiteral("Я"));
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("1Я"));
  QTest::keyClick(Editor(*w), Qt::Key_Z,
                  Qt::ControlModifier);  // aReset, not the editor's undo
  EXPECT_FALSE(w->Table().Modified());
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("1"));
  EXPECT_EQ(w->Table().RouteCount(), 2);

  // A disabled action's key still does not reach the line edit's own binding.
  ASSERT_FALSE(Action(*w, "aReset")->isEnabled());
  Editor(*w)->setText(QStringLiteral("1"));
  QTest::keyClick(Editor(*w), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_FALSE(w->Table().Modified());
}

TEST_F(WindowTest, EnterCommitsAndMovesOneRowDown) {
  ShowActive();
  LoadRoutes(*w, {{"1", "", "", ""}, {"2", "", "", ""}});
  w->Table().SetCursor(1, 2);
  Type(Editor(*w), QStringLiteral("Ю"));
  QTest::keyClick(Editor(*w), Qt::Key_Return);
  EXPECT_EQ(Cell(*w, 1, 2), QStringLiteral("Ю"));
  EXPECT_EQ(w->Table().CursorRow(), 2);
  EXPECT_EQ(w->Table().CursorColumn(), 2);
  QTest::keyClick(Editor(*w), Qt::Key_Enter,
                  Qt::KeypadModifier);  // on the last row: stays
  EXPECT_EQ(w->Table().CursorRow(), 2);
  // The letter r is an ordinary character.
  Type(Editor(*w), QStringLiteral("r"));
  EXPECT_EQ(Cell(*w, 2, 2), QStringLiteral("r"));
}

TEST_F(WindowTest, PasteIsCutAtTheFieldCapacity) {
  ShowActive();
  Action(*w, "aAdd")->trigger();
  QApplication::clipboard()->setText(QStringLiteral("123456789"));
  QLineEdit* editor = Editor(*w);
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("1234"));
  w->Table().SetCursor(1, 4);
  QApplication::clipboard()->setText(QString(300, QChar(0x0429)));  // Щ
  QTest::keyClick(Editor(*w), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Cell(*w, 1, 4), QString(256, QChar(0x0429)));
  w->Table().SetCursor(1, 2);
  QApplication::clipboard()->setText(QString(20, QLatin1Char('s')));
  QTest::keyClick(Editor(*w), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Cell(*w, 1, 2), QString(16, QLatin1Char('s')));
}

TEST_F(WindowTest, CursorMovesReevaluateUpAndDown) {
  LoadRoutes(*w, {{"1", "", "", ""}, {"2", "", "", ""}, {"3", "", "", ""}});
  EXPECT_FALSE(Action(*w, "aUp")->isEnabled());
  EXPECT_TRUE(Action(*w, "aDown")->isEnabled());
  Grid(*w)->setCurrentIndex(w->Model()->index(2, 3));  // a click on route 3
  EXPECT_EQ(w->Table().CursorRow(), 3);
  EXPECT_EQ(w->Table().CursorColumn(), 3);
  EXPECT_TRUE(Action(*w, "aUp")->isEnabled());
  EXPECT_FALSE(Action(*w, "aDown")->isEnabled());
  ASSERT_NE(Editor(*w), nullptr);
  QTest::keyClick(Editor(*w), Qt::Key_Up);
  EXPECT_EQ(w->Table().CursorRow(), 2);
  EXPECT_TRUE(Action(*w, "aDown")->isEnabled());
  // The number column is fixed: a click on it lands on the route designation.
  Grid(*w)->setCurrentIndex(w->Model()->index(0, 0));
  EXPECT_EQ(w->Table().CursorRow(), 1);
  EXPECT_EQ(w->Table().CursorColumn(), 1);
  EXPECT_EQ(Grid(*w)->currentIndex().column(), 1);
  EXPECT_NE(Editor(*w), nullptr);
}

TEST_F(WindowTest, AddStopsAtTwoHundredFiftySixRoutes) {
  for (int i = 0; i < 256; ++i) Action(*w, "aAdd")->trigger();
  EXPECT_EQ(w->Table().RouteCount(), 256);
  EXPECT_EQ(w->Model()->rowCount(), 256);
  Action(*w, "aAdd")->trigger();
  EXPECT_EQ(w->Table().RouteCount(), 256);
  EXPECT_EQ(Panel(*w, 2), QStringLiteral("Достигнуто наибольшее число маршрутов: 256"));
}

TEST_F(WindowTest, LogLinesKeepTheCurrentColour) {
  auto* log = w->findChild<QTextEdit*>(QStringLiteral("reMsg"));
  const QColor initial = log->palette().color(QPalette::Text);
  w->LogMessage(velmora::Cp("первая\n"));
  w->AppendLogLine(velmora::Cp("***красная"), velmora::kRed);
  w->LogMessage(velmora::Cp("после красной\n"));
  w->SetLogColour(velmora::kBlue);
  w->LogMessage(velmora::Cp("синяя"));
  w->AppendLogLine("two\n\n", velmora::kBlue);

  QStringList lines;
  QList<QColor> colours;
  for (QTextBlock b = log->document()->begin(); b.isValid(); b = b.next()) {
    lines << b.text();
    colours << (b.begin().atEnd() ? QColor()
                                  : b.begin().fragment().charFormat().foreground().color());
  }
  EXPECT_EQ(lines, (QStringList{QStringLiteral("первая"), QStringLiteral("***красная"),
                                QStringLiteral("после красной"), QStringLiteral("синяя"),
                                QStringLiteral("two"), QString()}));
  EXPECT_EQ(colours[0], initial);
  EXPECT_EQ(colours[1], QColor(255, 0, 0));
  EXPECT_EQ(colours[2], QColor(255, 0, 0));
  EXPECT_EQ(colours[3], QColor(0, 0, 255));
  EXPECT_EQ(colours[4], QColor(0, 0, 255));
  // LogMessage also shows its text in panel 2; AppendLogLine does not.
  EXPECT_EQ(Panel(*w, 2), QStringLiteral("синяя"));
}

TEST_F(WindowTest, ReportProgressShowsElapsedAndCount) {
  w->Context().operation.TransferStartMs = velmora::SystemClock().MonotonicMs();
  w->ReportProgress(384);
  EXPECT_TRUE(Panel(*w, 0).endsWith(QStringLiteral("=384"))) << Panel(*w, 0).toStdString();
  EXPECT_TRUE(Panel(*w, 0).contains(QStringLiteral("00:00")) ||
              Panel(*w, 0).contains(QStringLiteral("0:00")))
      << Panel(*w, 0).toStdString();
}

TEST_F(WindowTest, AboutShowsTheAboutWindowKeptForTheRun) {
  ShowActive();
  QWidget* first = nullptr;
  QTimer::singleShot(50, [&] {
    first = QApplication::activeModalWidget();
    if (first) first->close();
  });
  QTest::keyClick(w.get(), Qt::Key_F1, Qt::ControlModifier);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->parentWidget(), w.get());
  QWidget* second = nullptr;
  QTimer::singleShot(50, [&] {
    second = QApplication::activeModalWidget();
    if (second) second->close();
  });
  Action(*w, "aAbout")->trigger();
  EXPECT_EQ(second, first);
}

TEST(Application, AnExceptionInAHandlerIsReportedAndTheLoopGoesOn) {
  auto* app = qobject_cast<VelmoraApplication*>(EnsureApp());
  if (!app) GTEST_SKIP() << "another application object was created first";
  QStringList reports;
  app->SetErrorReporter([&](const QString& text) { reports << text; });
  bool after = false;
  QTimer::singleShot(0, [] { throw std::runtime_error("boom"); });
  QTimer::singleShot(5, [&] { after = true; });
  for (int i = 0; i < 200 && !after; ++i) QTest::qWait(10);
  EXPECT_TRUE(after);
  EXPECT_EQ(reports, QStringList{QStringLiteral("boom")});
  app->SetErrorReporter(nullptr);
}

}  // namespace
