#include "platform/qt/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace tavelin::platform {

void QtClipboard::clear() {
  QGuiApplication::clipboard()->clear();
}

void QtClipboard::setText(const QString& text) {
  QGuiApplication::clipboard()->setText(text);
}

bool QtClipboard::hasText() const {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data && data->hasText();
}

QString QtClipboard::text() const {
  return QGuiApplication::clipboard()->text();
}

}  // namespace tavelin::platform
