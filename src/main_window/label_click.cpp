#include "main_window/label_click.h"

#include <QLabel>
#include <QMouseEvent>

namespace tavelin::main_window {
namespace {

class ClickFilter final : public QObject {
 public:
  ClickFilter(QLabel* label, std::function<void()> handler)
      : QObject(label), label_(label), handler_(std::move(handler)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != label_) return false;
    if (event->type() == QEvent::MouseButtonPress) {
      pressed_ = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    } else if (event->type() == QEvent::MouseButtonRelease) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const bool click = pressed_ && mouse->button() == Qt::LeftButton &&
                         label_->rect().contains(mouse->position().toPoint());
      pressed_ = false;
      if (click) handler_();
    }
    return false;
  }

 private:
  QLabel* label_;
  std::function<void()> handler_;
  bool pressed_ = false;
};

}  // namespace

void onLabelClick(QLabel* label, std::function<void()> handler) {
  label->installEventFilter(new ClickFilter(label, std::move(handler)));
}

}  // namespace tavelin::main_window
