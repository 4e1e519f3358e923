// The window driven as the operator does, keys going to whatever holds the focus: typing after the
// commands that enable the grid, keypad keys, Enter, pastes into a cell, the grid's spreadsheet
// copy and paste, and the texts the window shows.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextEdit>

#include "celldelegate.h"
#include "gui_support.h"

using namespace guitest;

namespace {

constexpr auto kCtrl = Qt::ControlModifier;
constexpr auto kPad = Qt::KeypadModifier;

class KeysTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureApp(); }
  void SetUp() override {
    w = std::make_unique<TVelmoraF>(Options(&dialogs));
    ASSERT_NO_FATAL_FAILURE(ShowActive(*w));
  }
  void TearDown() override { w->Table().SetModified(false); }

  // The keyboard reaches the focused widget, or the window when nothing has the focus.
  QWidget* Focus() { return QApplication::focusWidget() ? QApplication::focusWidget() : w.get(); }
  void Key(Qt::Key key, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(Focus(), key, mods); }
  void Click(int row, int column, Qt::KeyboardModifiers mods = {}) {
    const QRect cell = Grid(*w)->visualRect(w->Model()->index(row - 1, column));
    QTest::mouseClick(Grid(*w)->viewport(), Qt::LeftButton, mods, cell.center());
  }
  bool InEditor() { return Editor(*w) && Editor(*w)->hasFocus(); }

  FakeDialogs dialogs;
  std::unique_ptr<TVelmoraF> w;
};

TEST_F(KeysTest, TypingLandsAfterAddOpenAndUndoAll) {
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("list.mrp")).toStdString();
  Key(Qt::Key_Insert, kCtrl | kPad);  // on the empty list, the keypad's Ins
  Type(Focus(), QStringLiteral("A1"));
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("A1"));
  dialogs.saves.push_back(path);
  dialogs.opens.push_back(path);
  for (Qt::Key key : {Qt::Key_F5, Qt::Key_F7, Qt::Key_F3, Qt::Key_End}) Key(key);
  Type(Focus(), QStringLiteral("Б"));
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("A1Б"));
  Key(Qt::Key_Delete, kCtrl);  // the only route: the grid is disabled
  ASSERT_FALSE(Grid(*w)->isEnabled());
  Key(Qt::Key_Z, kCtrl);
  Type(Focus(), QStringLiteral("Я"));  // the editor opens with its text selected
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("Я"));
}

TEST_F(KeysTest, KeypadKeysActInAndOutOfTheEditorAndEnterLeavesTheListClean) {
  LoadRoutes(*w, {{"1", "", "", ""}, {"2", "", "", ""}});
  QApplication::clipboard()->setText(QStringLiteral("untouched"));
  Key(Qt::Key_Enter, kPad);
  Key(Qt::Key_Return);  // on the last row: stays
  EXPECT_EQ(w->Table().CursorRow(), 2);
  EXPECT_FALSE(w->Table().Modified());
  EXPECT_TRUE(Action(*w, "aClose")->isEnabled());
  Key(Qt::Key_Up, kCtrl | kPad);
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("2"));
  Key(Qt::Key_Down, kCtrl | kPad);
  Key(Qt::Key_Insert, kCtrl | kPad);  // add, not the editor's copy
  EXPECT_EQ(w->Table().RouteCount(), 3);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("untouched"));
  Key(Qt::Key_Escape);  // the keys go to the grid itself
  ASSERT_EQ(QApplication::focusWidget(), Grid(*w));
  Key(Qt::Key_Delete, kCtrl | kPad);
  EXPECT_EQ(w->Table().RouteCount(), 2);
  EXPECT_EQ(Cell(*w, 2, 1), QStringLiteral("2"));
  Key(Qt::Key_Enter, kPad);  // back into the cell
  EXPECT_TRUE(InEditor());
  w->Table().SetModified(false);
  Key(Qt::Key_F4, kCtrl);
  EXPECT_FALSE(w->isVisible());
}

TEST_F(KeysTest, PastesIntoACellFollowTheTypingRules) {
  LoadRoutes(*w, {{"1", "", "", ""}});
  QSignalSpy beeps(qobject_cast<CellDelegate*>(Grid(*w)->itemDelegate()), &CellDelegate::refused);
  Click(1, 4);
  QApplication::clipboard()->setText(QStringLiteral("а\r\nб\tв中г"));
  Key(Qt::Key_V, kCtrl);
  EXPECT_EQ(Cell(*w, 1, 4), QStringLiteral("а б вг"));
  EXPECT_EQ(beeps.count(), 1);
  Click(1, 1);  // the capacity counts what is kept
  QApplication::clipboard()->setText(QStringLiteral("中中AB12"));
  QLineEdit* editor = Editor(*w);
  // A right click, as the window system gives it (QTest's clicks do not), then Paste.
  QContextMenuEvent right(QContextMenuEvent::Mouse, {2, 2}, editor->mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(editor, &right);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  for (QAction* a : menu->actions()) {
    if (!a->text().startsWith(QStringLiteral("&Paste"))) continue;
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
  }
  EXPECT_EQ(Cell(*w, 1, 1), QStringLiteral("AB12"));
  EXPECT_EQ(beeps.count(), 2);
}

TEST_F(KeysTest, GridCopiesARangeAndPastesFromTheCursorCell) {
  LoadRoutes(*w, {{"12", "Вокзал", "Парк", ""}, {"5А", "Рынок", "Депо", "м"}});
  Click(1, 1);
  Click(2, 3, Qt::ShiftModifier);  // a range: the keys go to the grid
  Key(Qt::Key_C, kCtrl);
  EXPECT_EQ(QApplication::clipboard()->text(),
            QStringLiteral("12\tВокзал\tПарк\n5А\tРынок\tДепо\n"));
  EXPECT_FALSE(w->Table().Modified());

  Click(2, 2);
  Key(Qt::Key_Escape);
  QApplication::clipboard()->setText(QStringLiteral("Север\tЮг\tлишнее\tещё\r\nЗапад中\r\n"));
  Key(Qt::Key_V, kCtrl);
  const QString expected[3][5] = {{"1", "12", "Вокзал", "Парк", ""},
                                  {"2", "5А", "Север", "Юг", "лишнее"},
                                  {"3", "", "Запад", "", ""}};
  ASSERT_EQ(w->Table().RouteCount(), 3);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 5; ++c) EXPECT_EQ(Cell(*w, r + 1, c), expected[r][c]) << r << c;
  }
  EXPECT_TRUE(Action(*w, "aSave")->isEnabled());
  Type(Focus(), QStringLiteral("Д"));  // a character takes the keys back, over the cell
  EXPECT_EQ(Cell(*w, 2, 2), QStringLiteral("Д"));
  Key(Qt::Key_Z, kCtrl);  // one undo-all takes it all back
  EXPECT_EQ(w->Table().RouteCount(), 2);
  EXPECT_EQ(Cell(*w, 2, 2), QStringLiteral("Рынок"));

  velmora::StoredRouteList& stored = w->Table().Stored();
  for (int i = 0; i < 254; ++i) stored.records[i].SetTexts({"r", "", "", ""});
  stored.count = 254;
  w->Table().LoadGridFromStored();  // 254 routes, as a file gives them
  Key(Qt::Key_Escape);
  Key(Qt::Key_End, kCtrl);
  ASSERT_EQ(w->Table().CursorRow(), 254);
  QApplication::clipboard()->setText(QStringLiteral("a\nb\nc\nd"));
  Key(Qt::Key_V, kCtrl);
  EXPECT_EQ(w->Table().RouteCount(), 256);
  EXPECT_EQ(Cell(*w, 256, w->Table().CursorColumn()), QStringLiteral("c"));
  EXPECT_EQ(Panel(*w, 2), QStringLiteral("Достигнуто наибольшее число маршрутов: 256"));
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
  const std::string error = velmora::Cp("***Ошибка записи блока данных");
  dialogs.saves.push_back(path.toStdString());
  dialogs.opens.push_back(path.toStdString());
  Key(Qt::Key_Insert, kCtrl);
  // Save, close, open, then an edit undone: each says what it did over the old error.
  for (Qt::Key key : {Qt::Key_F5, Qt::Key_F7, Qt::Key_F3, Qt::Key_Insert}) {
    w->LogMessage(error);
    Key(key, key == Qt::Key_Insert ? kCtrl : Qt::KeyboardModifiers());
    if (key == Qt::Key_Insert) Key(Qt::Key_Z, kCtrl);
    EXPECT_FALSE(Panel(*w, 2).isEmpty() || Panel(*w, 2).startsWith("***")) << key;
    EXPECT_EQ(Panel(*w, 2).contains(QStringLiteral("депо.mrp")),
              key == Qt::Key_F5 || key == Qt::Key_F3);
  }

  // An error line is red right after a blue one; the colour after it stays blue.
  w->AppendLogLine(velmora::Cp("Подключено"), velmora::kBlue);
  w->LogMessage(error);
  w->LogMessage(velmora::Cp("дальше"));
  const QTextBlock last =
      w->findChild<QTextEdit*>(QStringLiteral("reMsg"))->document()->lastBlock();
  EXPECT_EQ(last.previous().begin().fragment().charFormat().foreground().color(),
            QColor(255, 0, 0));
  EXPECT_EQ(last.begin().fragment().charFormat().foreground().color(), QColor(0, 0, 255));

  Key(Qt::Key_F7);  // nothing drawn as selected on the disabled placeholder row
  EXPECT_TRUE(Grid(*w)->selectionModel()->selectedIndexes().isEmpty());
}

}  // namespace
