#include "options/pseudo_modal.h"

#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace tavelin::options {
namespace {

// Ends the wait when the window hides.
class HideWatch final : public QObject {
 public:
  explicit HideWatch(QEventLoop& loop) : loop_(loop) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide) loop_.quit();
    return QObject::eventFilter(watched, event);
  }

 private:
  QEventLoop& loop_;
};

}  // namespace

void centreOnScreen(QWidget& window) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->geometry();
  const QSize size = window.frameGeometry().size();
  window.move(area.left() + (area.width() - size.width()) / 2,
              area.top() + (area.height() - size.height()) / 2);
}

void showAndWait(QWidget& window, QWidget& owner) {
  window.show();
  centreOnScreen(window);  // once shown, so that its frame counts
  window.raise();
  window.activateWindow();
  owner.setEnabled(false);

  QEventLoop loop;
  HideWatch watch(loop);
  QPointer<QWidget> shown(&window);
  window.installEventFilter(&watch);
  QObject::connect(&window, &QObject::destroyed, &loop, &QEventLoop::quit);
  if (window.isVisible()) loop.exec();
  if (shown) shown->removeEventFilter(&watch);

  owner.setEnabled(true);
}

}  // namespace tavelin::options
