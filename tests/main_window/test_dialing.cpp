#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include "dialer/dialer.h"
#include "mainform_fixture.h"
#include "options/frm_options.h"
#include "support/modem_emulator.h"

using namespace tavelin;
using namespace std::chrono_literals;
using platform::Button;

namespace {

QByteArray call(const QByteArray& digits) {
  return "AT&FM1\r\nATH0L2DT" + digits + ";\r\nATH0\r";  // the default options: tone, volume 2
}

// Hides every visible top-level window with this name; true when there was one.
bool hideWindow(const QString& name) {
  bool found = false;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->objectName() == name && w->isVisible()) {
      found = true;
      w->hide();
    }
  }
  return found;
}

// Four phones (outside the class, where moc reads no raw string).
const QString kAnn = R"("Ann","","","","+1 2/34","56","7","8","","","","","","")";

}  // namespace

class DialingTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  // Every way to dial, browsing and editing, with the number it dials or nothing. (An empty
  // phone dials nothing: test_dialer.)
  void listLabelsAndMenu() {
    test::MainformFixture f;
    test::ModemEmulator modem;
    QVERIFY(modem.isValid());
    f.platform.fakeSettings.values["Platform/Com1"] = modem.device();
    f.writeDataFile({kAnn});
    auto& w = f.start();
    w.Timer1->stop();
    const auto click = [](QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); };
    const auto edit = [&] { w.EditRecord(); };

    struct Case {
      const char* name;
      bool editing;
      std::function<void()> act;
      QByteArray digits;  // empty: nothing is sent
    };
    const Case cases[] = {
        {"double click", false,
         [&] {
           const QPoint row = w.List1->visualRect(w.List1->model()->index(0, 0)).center();
           QTest::mouseDClick(w.List1->viewport(), Qt::LeftButton, {}, row);
         },
         "1234"},
        {"Enter", false, [&] { QTest::keyClick(w.List1, Qt::Key_Return); }, "1234"},
        {"mnuDial1", false, [&] { w.menuItem("mnuDial1")->trigger(); }, "1234"},
        {"mnuDial2", false, [&] { w.menuItem("mnuDial2")->trigger(); }, "56"},
        {"mnuDial3", false, [&] { w.menuItem("mnuDial3")->trigger(); }, "7"},
        {"mnuDial4", false, [&] { w.menuItem("mnuDial4")->trigger(); }, "8"},
        {"Label3", false, [&] { click(w.Label3); }, "1234"},
        {"Label10", false, [&] { click(w.Label10); }, "56"},
        {"Label11", false, [&] { click(w.Label11); }, "7"},
        {"Label12", false, [&] { click(w.Label12); }, "8"},
        {"Label7", false, [&] { click(w.Label7); }, "1234"},
        // A phone label and the face label (which the double click shares) refuse while editing.
        {"Label3 editing", true, [&] { click(w.Label3); }, ""},
        {"Label7 editing", true, [&] { click(w.Label7); }, ""},
        {"Enter editing", true, [&] { w.List1_KeyDown(13); }, "1234"},
    };
    for (const Case& c : cases) {
      modem.clear();
      f.platform.fakeDialogs.clear();
      f.platform.fakeDialogs.answers = {Button::Yes, Button::Ok};
      if (c.editing) edit();
      QCOMPARE(w.isCancelShown(), c.editing);
      c.act();
      QVERIFY2(modem.received() == (c.digits.isEmpty() ? QByteArray() : call(c.digits)), c.name);
      QVERIFY2(f.platform.fakeDialogs.shown.size() == (c.digits.isEmpty() ? 0u : 2u), c.name);
      if (!c.digits.isEmpty()) QVERIFY2(!w.isCancelShown() && !w.Adding && !w.Editing, c.name);
      w.SetBrowseMode();
    }
  }

  // No modem on the port: the message, then the options dialog, where another port is chosen;
  // the next call goes to that port. The menu opens the options and About dialogs modally.
  void optionsAndAboutDialogs() {
    test::MainformFixture f;
    test::ModemEmulator modem;
    f.platform.fakeSettings.values["Platform/Com3"] = modem.device();
    f.writeDataFile({test::recordLine("Ann", "12")});
    auto& w = f.start();
    w.Timer1->stop();
    w.dialer().setWaits(50ms, 400ms);
    auto& options = w.frmOptions();
    bool dialogShown = false;
    f.platform.fakeDialogs.whileOpen = [&](const platform::Message& m) {
      if (!m.text.startsWith("Modem not found.")) return;
      QTimer::singleShot(0, &w, [&] {
        const auto close = qScopeGuard([&] { options.hide(); });
        dialogShown = options.isVisible() && !w.isEnabled();
        options.cboPort->setCurrentIndex(2);
        Q_EMIT options.cboPort->activated(2);
        QTest::mouseClick(options.Command1, Qt::LeftButton);
      });
    };
    w.menuItem("mnuDial1")->trigger();
    QVERIFY(dialogShown);
    QVERIFY(w.isEnabled() && !options.isVisible());
    f.platform.fakeDialogs.clear();
    f.platform.fakeDialogs.answers = {Button::Yes, Button::Ok};
    w.menuItem("mnuDial1")->trigger();
    QCOMPARE(modem.received(), call("12"));

    bool shown = false;
    QTimer::singleShot(0, &w, [&] { shown = !w.isEnabled() && hideWindow("frmAbout"); });
    w.menuItem("mnuAbout")->trigger();
    QVERIFY(shown && w.isEnabled());
    QTimer::singleShot(0, &w, [&] { shown = !w.isEnabled() && hideWindow("frmOptions"); });
    w.menuItem("mnuOptions")->trigger();
    QVERIFY(shown && w.isEnabled());
  }
};

QTEST_MAIN(DialingTest)
#include "test_dialing.moc"
