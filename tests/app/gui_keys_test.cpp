// The window as the operator drives it, keys going to whatever has the focus:
// typing after the commands that enable the grid, the keypad twins of the
// action keys, Enter, pastes into a cell and the grid's spreadsheet copy and
// paste, and the texts of the window.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextEdit>

#include "celldelegate.h"
#include "gui_support.h"

using namespace guitest;

namespace {

class KeysTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureApp(); }
  void SetUp() override {
    w = std::make_unique<TVelmoraF>(Options(&dialogs));
    w->show();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
  }
  void TearDown() override {
    w->Table().SetModified(false);
    w.reset();
  }

  // The keyboard's keys reach the focused widget, or the window when nothing
  // has focus.
  QWidget* Focus() {
    QWidget* f = QApplication::focusWidget();
    return f ? f : w.get();
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(Focus(), key, mods);
  }
  void TypeHere(const QString& text) { Type(Focus(), text); }
  void Click(int row, int column, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTableView* grid = Grid(*w);
    const QRect cell = grid->visualRect(w->Model()->index(row - 1, column));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, mods, cell.center());
  }
  bool EditorHasFocus() { return Editor(*w) && Editor(*w)->hasFocus(); }
  CellDelegate* Delegate() { return qobject_cast<CellDelegate*>(Grid(*w)->itemDelegate()); }

  FakeDialogs dialogs;
  std::unique_ptr<TVelmoraF> w;
};

constexpr auto kPad = Qt::KeypadModifier;

TEST_F(KeysTest, TypingLandsAfterAddOpenAndUndoAll) {
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("list.mrp")).toStdString();
  Key(Qt::Key_Insert, Qt::ControlModifier);  // on the empty list
  TypeHere(QStringLiteral("A1"));
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("A1"));
  dialogs.saves.push_back(path);
  Key(Qt::Key_F5);
  Key(Qt::Key_F7);  // closed: the grid is disabled
  ASSERT_FALSE(Grid(*w)->isEnabled());
  dialogs.opens.push_back(path);
  Key(Qt::Key_F3);
  ASSERT_EQ(w->Table().RouteCount(), 1);
  Key(Qt::Key_End);
  TypeHere(QStringLiteral("Б"));
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("A1Б"));
  Key(Qt::Key_Delete,
      Qt::ControlModifier);  // the only route: the grid is disabled again
  ASSERT_EQ(w->Table().RouteCount(), 0);
  Key(Qt::Key_Z, Qt::ControlModifier);
  ASSERT_EQ(w->Table().RouteCount(), 1);
  TypeHere(QStringLiteral("Я"));  // the editor opens with its text selected
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("Я"));
}

TEST_F(KeysTest, KeypadKeysAreTheirTwinsInAndOutOfTheEditor) {
  QApplication::clipboard()->setText(QStringLiteral("untouched"));
  Key(Qt::Key_Insert,
      Qt::ControlModifier | kPad);  // no focus in a grid: the window's key
  EXPECT_EQ(w->Table().RouteCount(), 1);
  ASSERT_TRUE(EditorHasFocus());
  TypeHere(QStringLiteral("1"));
  Key(Qt::Key_Insert,
      Qt::ControlModifier | kPad);  // in the editor: add, not copy
  EXPECT_EQ(w->Table().RouteCount(), 2);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("untouched"));
  TypeHere(QStringLiteral("2"));
  Key(Qt::Key_Up, Qt::ControlModifier | kPad);
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("2"));
  Key(Qt::Key_Down, Qt::ControlModifier | kPad);
  EXPECT_EQ(Cell(*w, 2, 1), QStringLiteral("2"));
  EXPECT_EQ(w->Table().CursorRow(), 2);
  Key(Qt::Key_Escape);  // the keys go to the grid itself
  ASSERT_EQ(QApplication::focusWidget(), Grid(*w));
  Key(Qt::Key_Delete, Qt::ControlModifier | kPad);
  EXPECT_EQ(w->Table().RouteCount(), 1);
  Key(Qt::Key_Enter, kPad);  // back into the cell
  EXPECT_TRUE(EditorHasFocus());
  EXPECT_EQ(w->Table().CursorRow(), 1);
}

TEST_F(KeysTest, EnterOnACleanListLeavesItCleanAndClosable) {
  LoadRoutes(*w, {{"1", "", "", ""}, {"2", "", "", ""}, {"3", "", "", ""}});
  Key(Qt::Key_Return);
  Key(Qt::Key_Enter, kPad);
  EXPECT_EQ(w->Table().CursorRow(), 3);
  EXPECT_FALSE(w->Table().Modified());
  EXPECT_TRUE(Action(*w, "aClose")->isEnabled());
  Key(Qt::Key_F4, Qt::ControlModifier);
  EXPECT_FALSE(w->isVisible());
}

TEST_F(KeysTest, APasteIntoACellFollowsTheTypingRules) {
  LoadRoutes(*w, {{"1", "", "", ""}});
  QSignalSpy refused(Delegate(), &CellDelegate::refused);
  struct Case {
    int column;
    QString clipboard;
    QString cell;
    int beeps;
  };
  const Case cases[] = {
      {4, QStringLiteral("а\r\nб\tв") + QChar(0x4E2D) + QStringLiteral("г"),
       QStringLiteral("а б вг"), 1},
      {1, QString(4, QChar(0x4E2D)) + QStringLiteral("AB12"), QStringLiteral("AB12"), 1},
      {2, QString(20, QLatin1Char('s')), QString(16, QLatin1Char('s')), 0},
  };
  for (const Case& c : cases) {
    Click(1, c.column);
    ASSERT_TRUE(EditorHasFocus());
    QApplication::clipboard()->setText(c.clipboard);
    const int before = static_cast<int>(refused.count());
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Cell(*w, 1, c.column), c.cell) << c.column;
    EXPECT_EQ(refused.count() - before, c.beeps) << c.column;
  }
  EXPECT_TRUE(w->Table().Modified());
  // The editor's own menu pastes by the same rules.
  Click(1, 3);
  QApplication::clipboard()->setText(QStringLiteral("x\ty"));
  QLineEdit* editor = Editor(*w);
  // What a right click gives the editor (QTest's clicks do not make it).
  QContextMenuEvent rightClick(QContextMenuEvent::Mouse, editor->rect().center(),
                               editor->mapToGlobal(editor->rect().center()));
  QApplication::sendEvent(editor, &rightClick);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  QAction* paste = nullptr;
  for (QAction* a : menu->actions()) {
    if (a->text().startsWith(QStringLiteral("&Paste"))) paste = a;
  }
  ASSERT_NE(paste, nullptr);
  QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(paste).center());
  EXPECT_EQ(Cell(*w, 1, 3), QStringLiteral("x y"));
}

TEST_F(KeysTest, GridCopiesARangeAndPastesFromTheCursorCell) {
  LoadRoutes(*w, {{"12", "Вокзал", "Парк", ""}, {"5А", "Рынок", "Депо", "м"}});
  Click(1, 1);
  Click(2, 3, Qt::ShiftModifier);  // a range: the keys go to the grid
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(),
            QStringLiteral("12\tВокзал\tПарк\n5А\tРынок\tДепо\n"));
  EXPECT_FALSE(w->Table().Modified());

  Click(2, 2);
  ASSERT_TRUE(EditorHasFocus());
  Key(Qt::Key_Escape);
  QApplication::clipboard()->setText(QStringLiteral("Север\tЮг\tлишнее\tещё\r\nЗапад") +
                                     QChar(0x4E2D) + QStringLiteral("\r\n"));
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(w->Table().RouteCount(), 3);
  EXPECT_EQ(Cell(*w, 2, 1), QStringLiteral("5А"));
  EXPECT_EQ(Cell(*w, 2, 2), QStringLiteral("Север"));
  EXPECT_EQ(Cell(*w, 2, 4), QStringLiteral("лишнее"));
  EXPECT_EQ(Cell(*w, 3, 2), QStringLiteral("Запад"));
  EXPECT_EQ(Cell(*w, 3, 0), QStringLiteral("3"));
  EXPECT_TRUE(Action(*w, "aSave")->isEnabled());
  TypeHere(QStringLiteral("Д"));  // a character takes the keys back and types over the cell
  EXPECT_EQ(Cell(*w, 2, 2), QStringLiteral("Д"));
  EXPECT_TRUE(EditorHasFocus());
  Key(Qt::Key_Z, Qt::ControlModifier);  // one undo-all takes it all back
  EXPECT_EQ(w->Table().RouteCount(), 2);
  EXPECT_EQ(Cell(*w, 2, 2), QStringLiteral("Рынок"));
  EXPECT_FALSE(w->Table().Modified());
}

TEST_F(KeysTest, GridPasteStopsAtTwoHundredFiftySixRoutes) {
  velmora::StoredRouteList& stored = w->Table().Stored();
  for (int i = 0; i < 254; ++i) stored.records[i].SetTexts({"r", "", "", ""});
  stored.count = 254;
  w->Table().LoadGridFromStored();
  w->RefreshWindowState();
  Key(Qt::Key_Escape);
  Key(Qt::Key_End, Qt::ControlModifier);  // the last route
  ASSERT_EQ(w->Table().CursorRow(), 254);
  QApplication::clipboard()->setText(QStringLiteral("a\nb\nc\nd"));
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(w->Table().RouteCount(), 256);
  EXPECT_EQ(Cell(*w, 256, w->Table().CursorColumn()), QStringLiteral("c"));
  EXPECT_EQ(Panel(*w, 2), QStringLiteral("Достигнуто наибольшее число маршрутов: 256"));
  EXPECT_EQ(Grid(*w)->horizontalScrollBar()->maximum(),
            0);  // every column in view
}

TEST_F(KeysTest, TextsFitAndPanelTwoTellsWhatWasDone) {
  w->Context().operation.TransferStartMs = velmora::SystemClock().MonotonicMs() - 7000;
  w->ReportProgress(65536);
  QLabel* panel0 = w->Bars()->PanelLabel(velmora::kPanelProgress);
  EXPECT_EQ(panel0->text(), QStringLiteral("0:00:07=65536"));
  EXPECT_LE(panel0->fontMetrics().horizontalAdvance(panel0->text()) + 2 * panel0->indent(),
            panel0->contentsRect().width());

  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("депо.mrp"));
  const QString error = QStringLiteral("***Ошибка записи блока данных");
  struct Step {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    bool namesFile;
  };
  dialogs.saves.push_back(path.toStdString());
  dialogs.opens.push_back(path.toStdString());
  Key(Qt::Key_Insert, Qt::ControlModifier);
  for (Step s : {Step{Qt::Key_F5, {}, true}, Step{Qt::Key_F7, {}, false},
                 Step{Qt::Key_F3, {}, true}, Step{Qt::Key_Insert, Qt::ControlModifier, false},
                 Step{Qt::Key_Z, Qt::ControlModifier, false}}) {
    w->LogMessage(velmora::cp1251::FromUtf8(error.toStdString()));
    Key(s.key, s.mods);
    if (s.key == Qt::Key_Insert) continue;  // an edit says nothing
    EXPECT_NE(Panel(*w, 2), error) << s.key;
    EXPECT_FALSE(Panel(*w, 2).isEmpty()) << s.key;
    EXPECT_EQ(Panel(*w, 2).contains(QStringLiteral("депо.mrp")), s.namesFile) << s.key;
  }

  // An error line is red even right after a blue one; the colour after it stays
  // blue.
  w->AppendLogLine(velmora::Cp("Подключено"), velmora::kBlue);
  w->LogMessage(velmora::cp1251::FromUtf8(error.toStdString()));
  w->LogMessage(velmora::Cp("дальше"));
  auto* log = w->findChild<QTextEdit*>(QStringLiteral("reMsg"));
  const QTextBlock last = log->document()->lastBlock();
  EXPECT_EQ(last.previous().begin().fragment().charFormat().foreground().color(),
            QColor(255, 0, 0));
  EXPECT_EQ(last.begin().fragment().charFormat().foreground().color(), QColor(0, 0, 255));

  // Nothing is drawn as selected on the disabled placeholder row.
  Key(Qt::Key_F7);
  ASSERT_FALSE(Grid(*w)->isEnabled());
  EXPECT_TRUE(Grid(*w)->selectionModel()->selectedIndexes().isEmpty());
}

}  // namespace
