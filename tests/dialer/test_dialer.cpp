#include <QTest>
#include <QTimer>

#include "dialer/comm_control.h"
#include "dialer/dialer.h"
#include "platform/fake/fake_platform.h"
#include "support/fake_live_options.h"
#include "support/fake_record_view.h"
#include "support/modem_emulator.h"
#include "support/test_env.h"

using namespace tavelin;
using namespace std::chrono_literals;
using dialer::Dialer;
using platform::Button;
using Mode = test::ModemEmulator::Mode;

namespace {

// The options a call reads, and how often it opened the options dialog.
struct FakeOptions : test::FakeLiveOptions {
  int dialogsShown = 0;
};

// A box as shown, with the state of the port and the pointer at that moment.
QString box(const platform::Message& m, bool portOpen, int busy) {
  return QStringLiteral("%1|%2|%3|%4|open=%5|busy=%6")
      .arg(m.text, m.title)
      .arg(int(m.buttons))
      .arg(int(m.icon))
      .arg(portOpen)
      .arg(busy);
}

const QString kConfirm = QStringLiteral("|Tavelin|2|2|open=0|busy=0");  // Yes/No, question
const QString kHandset = QStringLiteral(
    "Pick up handset, then click OK and\rwait for other party to pick up phone.|Tavelin|0|0|"
    "open=1|busy=0");
const QString kNotFound =
    QStringLiteral("Modem not found.\r\nPlease check modem properties.|Tavelin|0|1|open=%1|busy=0");
const QString kTimeOut = QStringLiteral("Modem time-out.\r\n|Tavelin|0|1|open=1|busy=0");

}  // namespace

class TestDialer : public QObject {
  Q_OBJECT
  test::TestEnvironment env_;
  platform::FakePlatform platform_{env_.configRoot()};
  test::ModemEmulator modem_;
  std::unique_ptr<dialer::CommControl> comm_;
  test::FakeRecordView view_;
  FakeOptions options_;
  std::unique_ptr<Dialer> dialer_;
  QStringList boxes_;

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(modem_.isValid());
    platform_.fakeSettings.values[QStringLiteral("Platform/Com1")] = modem_.device();
  }
  void init() {
    modem_.setMode(Mode::Answering);
    modem_.clear();
    comm_ = std::make_unique<dialer::CommControl>(platform_);
    view_ = test::FakeRecordView{};
    options_ = FakeOptions{};
    dialer_ = std::make_unique<Dialer>(
        *comm_, platform_.fakeDialogs, options_, [this] { ++options_.dialogsShown; }, view_);
    dialer_->setWaits(5s, 5s);  // ended by the answer, long before
    platform_.fakeDialogs.clear();
    boxes_.clear();
    platform_.fakeDialogs.whileOpen = [this](const platform::Message& m) {
      boxes_ << box(m, comm_->portOpen(), view_.busy);
    };
  }

  // The digits of the phone text, tone or pulse, and the volume chosen, on the line.
  void completedCall() {
    const std::tuple<QString, bool, QString, QByteArray> cases[] = {
        {"0", true, "+1 2/34", "AT&FM0\r\nATH0L0DT1234;\r\nATH0\r"},
        {"2", false, "020-555 0101", "AT&FM1\r\nATH0L2DP0205550101;\r\nATH0\r"},
        {"", true, "(7) 8", "AT&FM1\r\nATH0LDT78;\r\nATH0\r"},
    };
    for (const auto& [volume, tone, phone, sent] : cases) {
      init();
      options_.volume = volume;
      options_.tone = tone;
      platform_.fakeDialogs.answers = {Button::Yes, Button::Ok};
      dialer_->DialNumber(phone);
      QCOMPARE(modem_.received(), sent);
      QCOMPARE(boxes_, QStringList({"Dial the number " + phone + "?" + kConfirm, kHandset}));
      QVERIFY(!comm_->portOpen() && view_.busy == 0 && view_.recordShown == 1);
      QVERIFY(view_.listFocused == 2 && !dialer_->isDialing() && options_.dialogsShown == 0);
    }
  }

  void nothingToDialOrNo() {
    for (const QString& phone : {QString(), QStringLiteral("call Bo")}) {
      dialer_->DialNumber(phone);
      QCOMPARE(modem_.received(), QByteArray());
      QVERIFY(boxes_.isEmpty() && !comm_->portOpen());
      // Browsing and on the list all the same.
      QVERIFY(view_.recordShown == 1 && view_.listFocused == 2);
      view_ = test::FakeRecordView{};
    }
    platform_.fakeDialogs.answers = {Button::No};
    dialer_->DialNumber(QStringLiteral("12"));
    QCOMPARE(modem_.received(), QByteArray("AT&FM1\r\n"));
    QCOMPARE(boxes_, QStringList("Dial the number 12?" + kConfirm));
    QVERIFY(!comm_->portOpen() && view_.busy == 0);
  }

  // No answer to the reset: the message, then the options dialog; the port stays open when it
  // could be opened. The next call closes the port first and starts again.
  void modemNotFound() {
    platform_.fakeSettings.values[QStringLiteral("Platform/Com2")] = env_.workPath("no-tty");
    for (const auto& [mode, port] :
         {std::pair{Mode::Silent, 1}, {Mode::OkWithoutLineEnd, 1}, {Mode::Answering, 2}}) {
      init();
      modem_.setMode(mode);
      QVERIFY(!comm_->setCommPort(port));
      dialer_->setWaits(100ms, 800ms);
      dialer_->DialNumber(QStringLiteral("1234"));
      QCOMPARE(boxes_, QStringList(kNotFound.arg(port == 1)));
      QCOMPARE(options_.dialogsShown, 1);
      QCOMPARE(modem_.received(), port == 1 ? QByteArray("AT&FM1\r\n") : QByteArray());
      QCOMPARE(comm_->portOpen(), port == 1);
      QVERIFY(view_.busy == 0 && !dialer_->isDialing());

      modem_.setMode(Mode::Answering);
      modem_.clear();
      comm_->setCommPort(1);
      platform_.fakeDialogs.answers = {Button::No};
      dialer_->DialNumber(QStringLiteral("1234"));
      QCOMPARE(modem_.received(), QByteArray("AT&FM1\r\n"));
    }
  }

  void dialTimeOut() {
    modem_.setMode(Mode::ResetOnly);
    dialer_->setWaits(2s, 300ms);
    platform_.fakeDialogs.answers = {Button::Yes};
    dialer_->DialNumber(QStringLiteral("1234"));
    QCOMPARE(modem_.received(), QByteArray("AT&FM1\r\nATH0L2DT1234;\r\n"));
    QCOMPARE(boxes_, QStringList({"Dial the number 1234?" + kConfirm, kTimeOut}));
    QVERIFY(comm_->portOpen() && view_.busy == 0 && options_.dialogsShown == 0);
  }

  // While the modem is waited for, the window's events run with the hourglass showing, and a
  // second request returns at once without touching the port.
  void secondRequestDuringAWait() {
    modem_.setMode(Mode::Silent);
    dialer_->setWaits(300ms, 300ms);
    int busyMeanwhile = -1;
    bool stillDialing = false;
    QTimer::singleShot(20ms, this, [&] {
      busyMeanwhile = view_.busy;
      dialer_->DialNumber(QStringLiteral("999"));
      stillDialing = dialer_->isDialing();
    });
    dialer_->DialNumber(QStringLiteral("1234"));
    QVERIFY(stillDialing);
    QCOMPARE(busyMeanwhile, 1);
    QCOMPARE(modem_.received(), QByteArray("AT&FM1\r\n"));
    QCOMPARE(boxes_.size(), 1);
    QCOMPARE(view_.recordShown, 1);
  }
};

QTEST_GUILESS_MAIN(TestDialer)
#include "test_dialer.moc"
