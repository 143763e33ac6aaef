#include "main_window/name_list.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include "contracts/field.h"
#include "record_store/record_table.h"

namespace tavelin::main_window {

int NameListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || emptied_ ? 0 : table_.rowCount();
}

QVariant NameListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) return {};
  return table_.stored(index.row(), Field::FullName).toString();
}

NameList::NameList(QWidget* parent) : QListView(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);  // keeps 15000 rows instant
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTextElideMode(Qt::ElideNone);
}

int NameList::listIndex() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.row() : -1;
}

void NameList::setListIndex(int row) {
  if (!model() || row < 0 || row >= model()->rowCount()) return;
  const QModelIndex index = model()->index(row, 0);
  if (row == listIndex()) {
    // Setting the row it already has still counts as a new selection.
    Q_EMIT selectionChangedTo(row);
    return;
  }
  setCurrentIndex(index);
}

int NameList::nextRowWithInitial(QChar initial) const {
  const int rows = model() ? model()->rowCount() : 0;
  if (rows == 0) return -1;
  const QChar wanted = initial.toCaseFolded();
  const int from = listIndex();
  for (int step = 1; step <= rows; ++step) {
    const int row = (from + step) % rows;
    const QString name = model()->index(row, 0).data().toString();
    if (!name.isEmpty() && name.front().toCaseFolded() == wanted) return row;
  }
  return -1;
}

void NameList::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Q_EMIT keyDown(13);
      return;
    case Qt::Key_Escape:
      Q_EMIT keyDown(27);
      return;
    default:
      break;
  }
  const QString text = event->text();
  const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
  if (plain && text.size() == 1 && text.front().isLetterOrNumber()) {
    const int row = nextRowWithInitial(text.front());
    if (row >= 0) setListIndex(row);
    return;
  }
  QListView::keyPressEvent(event);
}

void NameList::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    Q_EMIT rightButtonDown();  // the right button does not move the selection
    return;
  }
  const int before = listIndex();
  QListView::mousePressEvent(event);
  // A click on the row that is already selected is still a click on it.
  const QModelIndex hit = indexAt(event->position().toPoint());
  if (hit.isValid() && hit.row() == before && listIndex() == before)
    Q_EMIT selectionChangedTo(before);
}

void NameList::mouseDoubleClickEvent(QMouseEvent* event) {
  QListView::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) Q_EMIT doubleClickedRow();
}

void NameList::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QListView::currentChanged(current, previous);
  if (current.isValid()) {
    selectionModel()->select(current, QItemSelectionModel::ClearAndSelect);
    Q_EMIT selectionChangedTo(current.row());
  }
}

}  // namespace tavelin::main_window
