// The desktop clipboard itself, under an X server of the test's own (xvfb-run), read and set
// from outside with xclip as another program would.
#include <QApplication>
#include <QProcess>
#include <QTest>

#include "output/clipboard_exchange.h"
#include "platform/fake/fake_platform.h"
#include "platform/qt/qt_clipboard.h"
#include "support/fake_record_view.h"

using namespace tavelin;

namespace {

// Runs xclip on the clipboard selection while this program keeps serving its own selection.
QByteArray xclip(const QStringList& arguments, const QByteArray& input = {}) {
  QProcess p;
  p.start(QStringLiteral("xclip"), QStringList{"-selection", "clipboard"} + arguments);
  if (!p.waitForStarted()) return "xclip did not start";
  p.write(input);
  p.closeWriteChannel();
  for (int i = 0; i < 500 && p.state() != QProcess::NotRunning; ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    p.waitForFinished(10);
  }
  return p.readAllStandardOutput();
}

struct Rig {
  platform::QtClipboard clipboard;
  platform::FakeDialogs dialogs;
  test::FakeRecordView view;
  output::ClipboardExchange exchange{clipboard, dialogs, view};
};

}  // namespace

class QtClipboardTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() { QCOMPARE(QGuiApplication::platformName(), "xcb"); }

  // CR LF line ends as they are; the messages after the copies.
  void copiesReachOtherPrograms() {
    Rig rig;
    rig.view.fields = {"Ann Able", "Main Street 1", "", "Springfield", "555 1234"};
    rig.exchange.mnuClipRecord_Click();
    QCOMPARE(xclip({"-o"}), "Ann Able\r\nMain Street 1\r\nSpringfield\r\n555 1234\r\n");
    rig.view.fields = {"Only Name"};
    rig.exchange.mnuClipAddr_Click();
    QCOMPARE(xclip({"-o"}), "Only Name\r\n\r\n\r\n\r\n");
    QCOMPARE(rig.dialogs.texts(),
             QStringList({"Record copied to clipboard", "Address Info copied to clipboard"}));
    for (const platform::Message& m : rig.dialogs.shown) {
      QCOMPARE(m.icon, platform::Icon::Information);
      QCOMPARE(m.title, "Tavelin");
    }
  }

  // Text that another program put there fills the fields by position; a clipboard without
  // text changes nothing.
  void importFromOtherPrograms() {
    Rig rig;
    rig.view.editing = true;
    rig.view.fields[4] = "kept";
    const QByteArray copied = "Smith, John\r\nMain Street 1\r\nSpringfield\r\n";
    xclip({"-i"}, copied);
    QTRY_COMPARE(rig.clipboard.text().toUtf8(), copied);  // once this program has let go of it
    rig.exchange.mnuRead_Click();
    const QStringList read(rig.view.fields.begin(), rig.view.fields.begin() + 5);
    QCOMPARE(read, QStringList({"Smith", "John", "Main Street 1", "Springfield", "kept"}));

    xclip({"-i", "-t", "image/png"}, QByteArray("\x89PNG\r\n\x1a\n", 8));
    QTRY_VERIFY(!rig.clipboard.hasText());
    rig.exchange.mnuRead_Click();
    QCOMPARE(rig.view.fields[0], "Smith");
    QVERIFY(rig.dialogs.shown.empty());
  }
};

QTEST_MAIN(QtClipboardTest)
#include "test_qt_clipboard.moc"
