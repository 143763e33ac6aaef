#include "main_window/label_click.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>

namespace tavelin::main_window {
namespace {

// Labels have no click signal: this watches one label's presses and lives as long as it.
class LabelClick final : public QObject {
 public:
  LabelClick(QLabel* label, std::function<void()> action)
      : QObject(label), action_(std::move(action)) {
    label->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      action_();
      return true;
    }
    return false;
  }

 private:
  std::function<void()> action_;
};

}  // namespace

void onLabelClick(QLabel* label, std::function<void()> action) {
  new LabelClick(label, std::move(action));
}

}  // namespace tavelin::main_window
