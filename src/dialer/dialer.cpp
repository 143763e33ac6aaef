#include "dialer/dialer.h"

#include <QEventLoop>
#include <QScopeGuard>
#include <QTimer>

#include "contracts/field.h"
#include "contracts/live_options.h"
#include "contracts/record_view.h"
#include "dialer/comm_control.h"
#include "dialer/modem_commands.h"
#include "platform/dialogs.h"

namespace tavelin::dialer {
namespace {

using platform::Button;
using platform::Buttons;
using platform::Icon;

// How often a wait looks at the port.
constexpr std::chrono::milliseconds kPollStep{10};

// The hourglass while the modem is waited for.
class BusyPointer {
 public:
  explicit BusyPointer(RecordView& view) : view_(view) { view_.setBusy(true); }
  ~BusyPointer() { view_.setBusy(false); }
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;

 private:
  RecordView& view_;
};

}  // namespace

Dialer::Dialer(CommControl& comm, platform::Dialogs& dialogs, const LiveOptions& options,
               std::function<void()> showOptionsDialog, RecordView& view)
    : comm_(comm),
      dialogs_(dialogs),
      options_(options),
      showOptionsDialog_(std::move(showOptionsDialog)),
      view_(view) {}

void Dialer::setWaits(std::chrono::milliseconds reset, std::chrono::milliseconds dial) {
  resetWait_ = reset;
  dialWait_ = dial;
}

void Dialer::dialShownNumber(int field) {
  const QString phone = view_.fieldText(field);
  if (!phone.isEmpty() && !view_.isCancelShown()) DialNumber(phone);
}

void Dialer::dialFirstNumberWhenBrowsing() {
  if (!view_.isCancelShown()) DialNumber(view_.fieldText(Field::Phone1));
}

void Dialer::DialNumber(const QString& phone) {
  if (dialing_) return;
  dialing_ = true;
  const auto callEnded = qScopeGuard([this] { dialing_ = false; });

  // A call always leaves the window browsing.
  view_.focusList();
  view_.showSelectedRecord();
  const QString volume = options_.speakerVolume();
  const QString digits = dialDigits(phone);
  if (digits.isEmpty()) {
    view_.focusList();
    return;
  }

  // Port errors are not reported: a port that does not work is a modem that does not answer.
  bool answered = false;
  {
    const BusyPointer busy(view_);
    comm_.setPortOpen(false);
    comm_.setPortOpen(true);
    comm_.input();  // what arrived before this call is no answer to it
    comm_.setOutput(resetCommand(volume));
    answered = waitForOk(resetWait_);
  }
  if (!answered) {
    // The port stays open; the next call closes it first.
    platform::showMessage(dialogs_,
                          QStringLiteral("Modem not found.\r\nPlease check modem properties."),
                          Buttons::Ok, Icon::Critical);
    if (showOptionsDialog_) showOptionsDialog_();
    return;
  }
  comm_.setPortOpen(false);

  if (platform::showMessage(dialogs_, QStringLiteral("Dial the number ") + phone + u'?',
                            Buttons::YesNo, Icon::Question) != Button::Yes) {
    view_.focusList();
    return;
  }

  {
    const BusyPointer busy(view_);
    comm_.setPortOpen(true);
    comm_.input();
    comm_.setOutput(dialCommand(volume, options_.toneDialing(), digits));
    answered = waitForOk(dialWait_);
  }
  if (!answered) {
    platform::showMessage(dialogs_, QStringLiteral("Modem time-out.\r\n"), Buttons::Ok,
                          Icon::Critical);
    return;
  }

  platform::showMessage(
      dialogs_,
      QStringLiteral("Pick up handset, then click OK and\rwait for other party to pick up phone."));
  // On hook: the call goes on on the handset.
  comm_.setOutput(kHangUpCommand);
  comm_.setPortOpen(false);
  view_.focusList();
}

bool Dialer::waitForOk(std::chrono::milliseconds limit) {
  OkWatch watch;
  if (watch.feed(comm_.input())) return true;

  QEventLoop loop;
  QTimer poll;
  poll.setInterval(kPollStep);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (watch.feed(comm_.input())) loop.quit();
  });
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  poll.start();
  deadline.start(limit);
  loop.exec();
  return watch.answered();
}

}  // namespace tavelin::dialer
