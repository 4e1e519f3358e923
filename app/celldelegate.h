// The always-shown cell editor of sgList: a line edit whose typed characters pass the
// route table's key filter before the editor sees them.
#pragma once
#include <QKeySequence>
#include <QStyledItemDelegate>
#include <functional>

#include "routes/routetable.h"

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

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  bool FilterKeyPress(QWidget* editor, QKeyEvent* event);
  bool FilterInputMethod(QWidget* editor, QInputMethodEvent* event);

  velmora::RouteTable& table_;
  std::function<bool(const QKeySequence&)> isActionKey_;
};
