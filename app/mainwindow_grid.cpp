// The route grid's keys: where the focus goes when the grid can be used again, and the spreadsheet
// copy and paste of cell ranges while the grid itself, not its cell editor, takes the keys (after
// Escape, or while more than one cell is selected).
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QTableView>
#include <climits>

#include "celldelegate.h"
#include "mainwindow.h"
#include "routemodel.h"

void TVelmoraF::SetGridWidths() {
  // At least these widths, and wide enough that each header reads in full in the font the desktop
  // has (fonts without Tahoma's metrics are wider).
  const int widths[] = {32, 49, 114, 108, 184};
  const QHeaderView* header = sgList->horizontalHeader();
  for (int c = 0; c < 5; ++c) {
    sgList->setColumnWidth(c, qMax(widths[c], header->sectionSizeHint(c)));
  }
}

int TVelmoraF::GridWidth() const {
  int width = 2 * sgList->frameWidth() + 4;  // pnKado's margins
  for (int c = 0; c < model_->columnCount(); ++c) width += sgList->columnWidth(c);
  // Room for the vertical scroll bar of a long list.
  return width + sgList->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, sgList);
}

void TVelmoraF::FocusGrid() {
  gridKeys_ = false;
  if (sgList->isEnabled()) sgList->setFocus(Qt::OtherFocusReason);
}

void TVelmoraF::KeysToGrid() {
  gridKeys_ = true;
  QWidget* focus = QApplication::focusWidget();
  if (focus && sgList->isAncestorOf(focus)) sgList->setFocus(Qt::OtherFocusReason);
}

void TVelmoraF::OnGridSelectionChanged() {
  if (sgList->selectionModel()->selectedIndexes().size() > 1) KeysToGrid();
}

// True when the key was the grid's own.
bool TVelmoraF::GridKeyPress(QKeyEvent* event) {
  if (QApplication::focusWidget() != sgList) return false;
  if (event->matches(QKeySequence::Copy)) {
    CopyGridCells();
    return true;
  }
  if (event->matches(QKeySequence::Paste)) {
    PasteGridCells();
    return true;
  }
  const int key = event->key();
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_F2;
  const bool character = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
                         CellDelegate::KeyCharacter(*event) >= 32;
  QWidget* editor = sgList->indexWidget(sgList->currentIndex());
  if (!(enter || character) || !editor) return false;
  // Back into the cell: Enter or F2 puts the caret there, a character is typed into it.
  gridKeys_ = false;
  sgList->selectionModel()->select(sgList->currentIndex(), QItemSelectionModel::ClearAndSelect);
  editor->setFocus(Qt::OtherFocusReason);
  if (character) {
    if (auto* line = qobject_cast<QLineEdit*>(editor)) line->selectAll();
    QKeyEvent typed(QEvent::KeyPress, key, event->modifiers(), event->text(), event->isAutoRepeat(),
                    event->count());
    QApplication::sendEvent(editor, &typed);
  }
  return true;
}

void TVelmoraF::CopyGridCells() {
  int top = INT_MAX, left = INT_MAX, bottom = -1, right = -1;
  for (const QItemSelectionRange& range : sgList->selectionModel()->selection()) {
    top = qMin(top, range.top());
    left = qMin(left, range.left());
    bottom = qMax(bottom, range.bottom());
    right = qMax(right, range.right());
  }
  if (bottom < 0) return;
  const std::string cells = table_.CopyCells(top + 1, left, bottom + 1, right);
  if (!cells.empty()) QApplication::clipboard()->setText(RouteModel::FromCp(cells));
}

void TVelmoraF::PasteGridCells() {
  const velmora::RouteTable::PasteResult result =
      table_.PasteCells(RouteModel::ToU32(QApplication::clipboard()->text()));
  if (result.cut) ShowStatus(velmora::kPanelStatus, velmora::RouteLimitText());
  if (result.cut || result.dropped) QApplication::beep();
  RefreshWindowState();
}
