#include "main_window/label_click.h"

#include <QLabel>
#include <QMouseEvent>

namespace tavelin::main_window {
namespace {

class ClickFilter final : public QObject {
 public:
  ClickFilter(QLabel* label, std::function<void()> handler)
      : QObject(label), label_(label), handler_(std::move(handler)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == label_ && event->type() == QEvent::MouseButtonRelease) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton &&
          label_->rect().contains(mouse->position().toPoint())) {
        handler_();
        return true;
      }
    }
    return false;
  }

 private:
  QLabel* label_;
  std::function<void()> handler_;
};

}  // namespace

void onLabelClick(QLabel* label, std::function<void()> handler) {
  label->installEventFilter(new ClickFilter(label, std::move(handler)));
}

}  // namespace tavelin::main_window
