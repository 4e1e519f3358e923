// The always-shown cell editor of sgList: a line edit whose typed characters pass the
// route table's key filter before the editor sees them.
#pragma once
#include <QKeySequence>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <functional>

#include "routes/routetable.h"

// The cell editor. Every way text is pasted into it (the paste keys, its context menu, the X11
// selection) goes through the rules of typing; it takes no drops, the window does.
class CellEdit : public QLineEdit {
  Q_OBJECT

 public:
  CellEdit(int capacity, QWidget* parent);
  // Puts `text` in place of the selection, or at the caret, as a paste.
  void PasteText(const QString& text);

 signals:
  void refused();  // characters of a paste were dropped

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int capacity_;
};

class CellDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit CellDelegate(velmora::RouteTable& table, QObject* parent = nullptr);

  // Keys that belong to the window's actions; the editor never takes them.
  void SetShortcutFilter(std::function<bool(const QKeySequence&)> isActionKey);

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;

  // The character code the key filter sees for a key press: the typed character, with
  // Ctrl+letter as its control code (Ctrl+C is 3); 0 when the key types nothing.
  static char32_t KeyCharacter(const QKeyEvent& event);

 signals:
  void refused();             // a typed character was discarded
  void cursorStep(int rows);  // Up/Down/PageUp/PageDown inside the editor
  void leftEditor();          // Escape: the keys go to the grid itself

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  bool FilterKeyPress(QWidget* editor, QKeyEvent* event);
  bool FilterInputMethod(QWidget* editor, QInputMethodEvent* event);

  velmora::RouteTable& table_;
  std::function<bool(const QKeySequence&)> isActionKey_;
};
