#include "celldelegate.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>

#include "routemodel.h"

CellEdit::CellEdit(int capacity, QWidget* parent) : QLineEdit(parent), capacity_(capacity) {
  setObjectName(QStringLiteral("cellEditor"));
  setFrame(false);
  setMaxLength(capacity);
}

void CellEdit::PasteText(const QString& text) {
  const qsizetype kept = this->text().size() - selectedText().size();
  const qsizetype room = qMax<qsizetype>(0, capacity_ - kept);
  const velmora::PastedText clean =
      velmora::CleanPastedText(RouteModel::ToU32(text), static_cast<std::size_t>(room));
  if (clean.dropped) emit refused();
  // insert() replaces the selection and reports the change as an edit.
  if (!clean.text.empty() || hasSelectedText()) insert(RouteModel::FromCp(clean.text));
}

void CellEdit::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createStandardContextMenu();
  for (QAction* action : menu->actions()) {
    // The menu's paste item is the one wired to paste().
    if (!disconnect(action, &QAction::triggered, this, &QLineEdit::paste) &&
        !disconnect(action, SIGNAL(triggered()), this, SLOT(paste()))) {
      continue;
    }
    connect(action, &QAction::triggered, this,
            [this] { PasteText(QApplication::clipboard()->text()); });
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void CellEdit::mouseReleaseEvent(QMouseEvent* event) {
  QClipboard* clipboard = QApplication::clipboard();
  if (event->button() == Qt::MiddleButton && clipboard->supportsSelection()) {
    deselect();
    PasteText(clipboard->text(QClipboard::Selection));
    event->accept();
    return;
  }
  QLineEdit::mouseReleaseEvent(event);
}

CellDelegate::CellDelegate(velmora::RouteTable& table, QObject* parent)
    : QStyledItemDelegate(parent), table_(table) {}

void CellDelegate::SetShortcutFilter(std::function<bool(const QKeySequence&)> isActionKey) {
  isActionKey_ = std::move(isActionKey);
}

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                    const QModelIndex& index) const {
  // Typing stops earlier (the key filter); a paste is cut at the field's capacity.
  auto* edit = new CellEdit(RouteModel::Capacity(index.column()), parent);
  // A file dropped on a cell opens it (the window takes the drop); text comes by typing.
  edit->setAcceptDrops(false);
  auto* self = const_cast<CellDelegate*>(this);
  // The grid's cell follows the editor at every change, as the operator types.
  connect(edit, &QLineEdit::textEdited, self, [self, edit] { emit self->commitData(edit); });
  connect(edit, &CellEdit::refused, self, &CellDelegate::refused);
  return edit;
}

void CellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  auto* edit = qobject_cast<QLineEdit*>(editor);
  if (!edit) return;
  const QString text = index.data(Qt::EditRole).toString();
  // The model reports every change back; rewriting equal text would move the caret.
  if (edit->text() != text) edit->setText(text);
}

void CellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                const QModelIndex& index) const {
  auto* edit = qobject_cast<QLineEdit*>(editor);
  if (!edit) return;
  if (model->data(index, Qt::EditRole).toString() != edit->text()) {
    model->setData(index, edit->text(), Qt::EditRole);
  }
}

char32_t CellDelegate::KeyCharacter(const QKeyEvent& event) {
  const Qt::KeyboardModifiers mods = event.modifiers();
  const int key = event.key();
  if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier) && key >= Qt::Key_A &&
      key <= Qt::Key_Z) {
    return static_cast<char32_t>(key - Qt::Key_A + 1);
  }
  if (key == Qt::Key_Delete) return 0;  // forward delete types no character
  const QString text = event.text();
  if (text.isEmpty()) return 0;
  const QList<uint> ucs = text.toUcs4();
  if (ucs.isEmpty() || ucs.front() == 0x7F) return 0;
  return static_cast<char32_t>(ucs.front());
}

bool CellDelegate::eventFilter(QObject* object, QEvent* event) {
  auto* editor = qobject_cast<QWidget*>(object);
  if (editor) {
    switch (event->type()) {
      case QEvent::ShortcutOverride: {
        auto* key = static_cast<QKeyEvent*>(event);
        // The line edit claims Ctrl+Ins, Ctrl+Z, Ctrl+Del...: the actions come first.
        if (isActionKey_ && isActionKey_(QKeySequence(key->keyCombination()))) {
          event->ignore();
          return true;
        }
        break;
      }
      case QEvent::KeyPress:
        if (FilterKeyPress(editor, static_cast<QKeyEvent*>(event))) return true;
        break;
      case QEvent::InputMethod:
        if (FilterInputMethod(editor, static_cast<QInputMethodEvent*>(event))) return true;
        break;
      default:
        break;
    }
  }
  return QStyledItemDelegate::eventFilter(object, event);
}

// True when the event is consumed here.
bool CellDelegate::FilterKeyPress(QWidget* editor, QKeyEvent* event) {
  // A disabled action's key must not fall through to the line edit's own binding.
  if (isActionKey_ && isActionKey_(QKeySequence(event->keyCombination()))) return true;

  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    emit commitData(editor);
    table_.EnterPressed();
    return true;
  }
  auto* edit = qobject_cast<CellEdit*>(editor);
  if (edit && event->matches(QKeySequence::Paste)) {
    // Ctrl+V is a control character: it marks the table, as every such key does.
    const char32_t ch = KeyCharacter(*event);
    if (ch != 0) table_.FilterKey(ch, RouteModel::ToCp(edit->text()));
    edit->PasteText(QApplication::clipboard()->text());
    return true;
  }
  if (mods == Qt::NoModifier) {
    switch (key) {
      case Qt::Key_Up:
        emit cursorStep(-1);
        return true;
      case Qt::Key_Down:
        emit cursorStep(1);
        return true;
      case Qt::Key_PageUp:
        emit cursorStep(-10);
        return true;
      case Qt::Key_PageDown:
        emit cursorStep(10);
        return true;
      case Qt::Key_Tab:
      case Qt::Key_Backtab:
        return false;  // moves between cells as usual
      default:
        break;
    }
  }

  const char32_t ch = KeyCharacter(*event);
  if (ch == 0) return false;
  const std::string current = edit ? RouteModel::ToCp(edit->text()) : std::string();
  switch (table_.FilterKey(ch, current)) {
    case velmora::RouteTable::KeyVerdict::Refuse:
      emit refused();
      return true;
    case velmora::RouteTable::KeyVerdict::PassQuiet:
      return false;
    case velmora::RouteTable::KeyVerdict::Pass:
      // Escape has done its work (the flag); it must not close the always-shown editor, only hand
      // the keys to the grid for its spreadsheet copy and paste.
      if (key != Qt::Key_Escape) return false;
      emit leftEditor();
      return true;
  }
  return false;
}

bool CellDelegate::FilterInputMethod(QWidget* editor, QInputMethodEvent* event) {
  const QString commit = event->commitString();
  if (commit.isEmpty()) return false;
  auto* edit = qobject_cast<QLineEdit*>(editor);
  QString text = edit ? edit->text() : QString();
  // Each character is checked as if typed one after the other.
  for (uint ch : commit.toUcs4()) {
    if (table_.FilterKey(static_cast<char32_t>(ch), RouteModel::ToCp(text)) ==
        velmora::RouteTable::KeyVerdict::Refuse) {
      emit refused();
      return true;
    }
    text += QString::fromUcs4(reinterpret_cast<const char32_t*>(&ch), 1);
  }
  return false;
}
