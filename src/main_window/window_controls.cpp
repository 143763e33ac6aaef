// The controls the refresher (refresher::Refresher) writes, looked up once when the window is
// built, and the half-second timer that runs it.
#include <QAction>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include "contracts/window_controls.h"
#include "main_window/mainform.h"
#include "main_window/name_list.h"
#include "options/frm_options.h"
#include "platform/platform.h"
#include "refresher/refresher.h"

namespace tavelin::main_window {

namespace {

class MainformControls final : public WindowControls {
 public:
  explicit MainformControls(Mainform& w)
      : w_(w),
        labels_{w.Label5, w.Label3, w.Label10, w.Label11, w.Label12, w.Label6, w.Label8, w.Label13},
        pointers_{envelope(),  telephone(), telephone(),         telephone(),
                  telephone(), envelope(),  pointer("signpost"), pointer("notebook")} {
    for (int i = 0; i < kMenuItemCount; ++i) {
      items_[i] = w.menuItem(menuItemName(static_cast<MenuItem>(i)));
    }
  }

  void setLabelPointer(ClickLabel label, bool own) override {
    labels_[index(label)]->setCursor(own ? pointers_[index(label)] : arrow_);
  }
  void setLabelToolTip(ClickLabel label, const QString& text) override {
    labels_[index(label)]->setToolTip(text);
  }
  void setFieldToolTip(int field, const QString& text) override {
    w_.Text[field]->setToolTip(text);
  }
  void setListToolTip(const QString& text) override { w_.List1->setToolTip(text); }
  QString title() const override { return w_.windowTitle(); }
  void setTitle(const QString& title) override { w_.setWindowTitle(title); }
  QString quitButtonText() const override { return w_.Command5->text(); }
  void setQuitButtonText(const QString& text) override { w_.Command5->setText(text); }
  void setMenuItemEnabled(MenuItem item, bool enabled) override {
    items_[static_cast<size_t>(item)]->setEnabled(enabled);
  }

 private:
  static size_t index(ClickLabel label) { return static_cast<size_t>(label); }
  static QCursor pointer(const char* name) {
    return QCursor(
        QPixmap(QStringLiteral(":/pointers/") + QLatin1String(name) + QStringLiteral(".png")));
  }
  static QCursor envelope() { return pointer("envelope"); }
  static QCursor telephone() { return pointer("telephone"); }

  Mainform& w_;
  std::array<QLabel*, kClickLabelCount> labels_;
  std::array<QCursor, kClickLabelCount> pointers_;  // each label's own
  const QCursor arrow_{Qt::ArrowCursor};
  std::array<QAction*, kMenuItemCount> items_{};
};

}  // namespace

void Mainform::createTimer1() {
  controls_ = std::make_unique<MainformControls>(*this);
  refresher_ = std::make_unique<refresher::Refresher>(platform_.clock(), *frmOptions_, *this,
                                                      *controls_, SearchString, &SyncStatus);
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
  Timer1->start();
}

void Mainform::Timer1_Timer() {
  refresher_->Timer1_Timer();
}

}  // namespace tavelin::main_window
