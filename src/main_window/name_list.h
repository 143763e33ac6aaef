#pragma once

#include <QAbstractListModel>
#include <QListView>

namespace tavelin {
class RecordTable;
}

namespace tavelin::main_window {

// The names of the record table, row for row, without copying them.
class NameListModel final : public QAbstractListModel {
  Q_OBJECT
 public:
  explicit NameListModel(const RecordTable& table, QObject* parent = nullptr)
      : QAbstractListModel(parent), table_(table) {}

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // Around every reload of the table.
  void beginReload() { beginResetModel(); }
  void endReload() {
    emptied_ = false;
    endResetModel();
  }
  // Shows no rows until the next reload: the window is emptied before a restore replaces it.
  void showEmpty() {
    beginResetModel();
    emptied_ = true;
    endResetModel();
  }

 private:
  const RecordTable& table_;
  bool emptied_ = false;
};

// The name list: the list control's own navigation plus the jump to the next name with a
// typed initial. Enter, Esc, the right button and double-clicks go to the window.
class NameList final : public QListView {
  Q_OBJECT
 public:
  explicit NameList(QWidget* parent = nullptr);

  int listIndex() const;  // the selected row, -1 when none
  // Selects the row; the window hears of it through selectionChanged. Out of range: no change.
  void setListIndex(int row);
  // The next row after the selected one, from the top after the last, whose name begins with
  // the character (case ignored); -1 when none does.
  int nextRowWithInitial(QChar initial) const;

 Q_SIGNALS:
  void selectionChangedTo(int row);
  void keyDown(int key);  // Enter and Esc
  void rightButtonDown();
  void doubleClickedRow();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
};

}  // namespace tavelin::main_window
