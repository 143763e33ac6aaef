#include "backup/wait_cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace tavelin::backup {

WaitCursor::WaitCursor() {
  QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

WaitCursor::~WaitCursor() {
  release();
}

void WaitCursor::release() {
  if (!active_) return;
  active_ = false;
  QGuiApplication::restoreOverrideCursor();
}

}  // namespace tavelin::backup
