#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <QTimer>

#include "dialer/comm_control.h"
#include "options/frm_options.h"
#include "options/options_dialog.h"
#include "options/options_io.h"
#include "platform/fake/fake_platform.h"
#include "record_store/paths.h"
#include "support/fake_record_view.h"
#include "support/modem_emulator.h"
#include "support/test_env.h"

using namespace tavelin;
using namespace tavelin::options;
using namespace tavelin::test;

// Where the style puts a part of a frame, in the frame's parent's coordinates.
QRect framePart(const QGroupBox* box, QStyle::SubControl part) {
  QStyleOptionGroupBox option;
  option.initFrom(box);
  option.text = box->title();
  option.lineWidth = 1;
  option.subControls =
      QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxContents;
  option.textAlignment = box->alignment();
  return box->style()
      ->subControlRect(QStyle::CC_GroupBox, &option, part, box)
      .translated(box->pos());
}

// The options window as start-up has it just before the file is read.
struct StartedForm : FrmOptions {
  StartedForm() { fillLists(); }
};

class TestOptions : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnvironment> env_;
  std::unique_ptr<platform::FakePlatform> platform_;
  std::unique_ptr<dialer::CommControl> comm_;
  std::unique_ptr<QWidget> mainWindow_;
  std::unique_ptr<FrmOptions> form_;
  std::unique_ptr<OptionsDialog> dialog_;
  test::FakeRecordView view_;
  QString path_;

  // Opens the dialog as the menu does; the check runs while it is shown and should close it.
  // Returns whether it was left open (then it is closed here, so a failed check cannot hang).
  bool whileShown(const std::function<void()>& check) {
    bool leftOpen = false;
    QTimer::singleShot(0, form_.get(), [&] {
      check();
      leftOpen = form_->isVisible();
      form_->hide();
    });
    dialog_->mnuOptions_Click();
    return leftOpen;
  }

 private Q_SLOTS:
  void init() {
    env_ = std::make_unique<TestEnvironment>();
    view_ = FakeRecordView{};
    platform_ = std::make_unique<platform::FakePlatform>(env_->configRoot());
    comm_ = std::make_unique<dialer::CommControl>(*platform_);
    mainWindow_ = std::make_unique<QWidget>();
    mainWindow_->show();
    form_ = std::make_unique<StartedForm>();
    path_ = optionsFilePath(env_->configRoot());
    QVERIFY(QDir().mkpath(fixedFolder(env_->configRoot())));
    ReadOptions(*form_, path_);  // the default file
    dialog_ = std::make_unique<OptionsDialog>(*form_, *comm_, *platform_, *mainWindow_, view_);
  }
  void cleanup() {
    dialog_.reset();
    form_.reset();
    mainWindow_.reset();
    comm_.reset();
    platform_.reset();
    env_.reset();
  }

  // The file as start-up reads it, and as the dialog writes it.
  void readsOnlyFilesOfAtLeast40Bytes() {
    const QByteArray forty = " 0 \r\n 1 \r\n1\r\n\r\n 2 \r\n 1 \r\n 0 \r\n    1   \r\n";
    QCOMPARE(forty.size(), 40);
    // Lines 9 to 11 missing; a flag line that does not read as 1 leaves its box as it was.
    const OptionValues read{{0, 1, 1, 1, 0, 1, 0, 1}, {}, DialMode::Pulse, {}};
    // A null content stands for no file; shorter files are replaced by the default one.
    for (const auto& [content, values] : {std::pair{QByteArray(), defaultOptions()},
                                          {QByteArray(""), defaultOptions()},
                                          {forty.first(39), defaultOptions()},
                                          {forty, read}}) {
      QFile::remove(path_);
      if (!content.isNull()) writeFile(path_, content);
      StartedForm form;
      form.Check4->setChecked(true);
      ReadOptions(form, path_);
      QCOMPARE(readFile(path_), content.size() < 40 ? defaultOptionsFile() : content);
      QCOMPARE(form.values(), values);
    }
  }

  // A plain file where the folder should be: nothing can be created below it, even by root.
  // Start-up leaves the window as created; OK reports the file once, stays and writes nothing.
  void unwritableFolder() {
    const QString folder = fixedFolder(env_->configRoot());
    QVERIFY(QDir(folder).removeRecursively());
    writeFile(folder, "not a folder");
    StartedForm form;
    ReadOptions(form, path_);
    QCOMPARE(form.values(), OptionValues{});  // no box, no dial mode, empty texts
    const auto error = WriteOptions(form, path_);
    QVERIFY(error && error->fileName == path_);

    QVERIFY(whileShown([&] { QTest::mouseClick(form_->Command1, Qt::LeftButton); }));
    const auto& shown = platform_->fakeDialogs.shown;
    QCOMPARE(shown.size(), size_t(1));
    QVERIFY2(shown[0].text.contains(QDir::toNativeSeparators(path_)), qPrintable(shown[0].text));
    QCOMPARE(readFile(folder), QByteArray("not a folder"));
  }

  void writeThenReadBack() {
    const OptionValues chosen{{0, 1, 1, 0, 1, 1, 0, 0}, "Com12", DialMode::Pulse, "3"};
    StartedForm writer;
    writer.apply(chosen);
    QVERIFY(!WriteOptions(writer, path_));
    QCOMPARE(readFile(path_), formatOptions(chosen));

    StartedForm reader;
    ReadOptions(reader, path_);
    QCOMPARE(reader.values(), chosen);
    QCOMPARE(reader.cboPort->currentIndex(), 11);
  }

  // Shown centred every time over the disabled main window; Escape does not close it.
  void showsCentredOverTheDisabledWindow() {
    QCOMPARE(form_->windowTitle(), QStringLiteral("Tavelin General Options"));
    // The stated size, wider where the desktop's font needs it for whole captions.
    QVERIFY(form_->width() >= 406 && form_->height() == 274);
    for (QWidget* w : form_->findChildren<QWidget*>()) {
      if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w) || qobject_cast<QLabel*>(w))
        QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(w->objectName()));
    }
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    for (int round = 0; round < 2; ++round) {
      QVERIFY(!whileShown([&] {
        QVERIFY(form_->isVisible() && !mainWindow_->isEnabled());
        const QSize size = form_->frameGeometry().size();
        QCOMPARE(form_->pos(), QPoint((screen.width() - size.width()) / 2,
                                      (screen.height() - size.height()) / 2));
        QTest::keyClick(form_.get(), Qt::Key_Escape);
        QVERIFY(form_->isVisible());
        form_->move(3, 5);
        QTest::mouseClick(form_->Command2, Qt::LeftButton);
      }));
      QVERIFY(!form_->isVisible() && mainWindow_->isEnabled());
      QCOMPARE(view_.listFocused, round + 1);
    }
    QCOMPARE(platform_->fakeDialogs.shown.size(), size_t(0));
  }

  // Nothing lies on a frame's border: whatever a frame holds, a frame too, lies where the
  // style puts a frame's contents, below its caption and border ("Dialing" once sat on the
  // modem frame's border, its caption crossed by the line).
  void framesHoldTheirControlsWithin() {
    const QList<QGroupBox*> frames = form_->findChildren<QGroupBox*>();
    QCOMPARE(frames.size(), 3);
    int held = 0;
    for (const QGroupBox* frame : frames) {
      const QRect room = framePart(frame, QStyle::SC_GroupBoxContents).translated(-frame->pos());
      for (const QWidget* control : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QVERIFY2(room.contains(control->geometry()), qPrintable(control->objectName()));
        ++held;
      }
    }
    QCOMPARE(held, 8 + 5 + 2);
  }

  // OK (the button or Enter) stores the eleven lines; the dialog's volume has no blanks.
  void okWritesTheFile() {
    const QByteArray flags = " 1 \r\n" + QByteArray(" 0 \r\n").repeated(7);
    const std::tuple<bool, QString, bool, QString, QByteArray> cases[] = {
        {false, "Com1", false, "0", flags + "Com1\r\nP\r\n0\r\n"},
        {true, "Com2", true, "2", flags + "Com2\r\nT\r\n2\r\n"},
    };
    for (const auto& [byEnter, port, tone, volume, expected] : cases) {
      QVERIFY(!whileShown([&] {
        for (QCheckBox* box : form_->findChildren<QCheckBox*>()) box->setChecked(false);
        form_->Check1->setChecked(true);
        form_->cboPort->setCurrentText(port);
        (tone ? form_->Option1 : form_->Option2)->setChecked(true);
        form_->cboVol->setCurrentText(volume);
        if (byEnter)
          QTest::keyClick(form_.get(), Qt::Key_Return);
        else
          QTest::mouseClick(form_->Command1, Qt::LeftButton);
      }));
      QCOMPARE(readFile(path_), expected);
    }
  }

  // Cancel keeps the change in the controls for this run; the file keeps the old value.
  void cancelKeepsChangesForThisRun() {
    form_->chkTool->setChecked(true);
    QVERIFY(!WriteOptions(*form_, path_));
    const QByteArray before = readFile(path_);
    QVERIFY(!whileShown([&] {
      form_->chkTool->setChecked(false);
      QTest::mouseClick(form_->Command2, Qt::LeftButton);
    }));
    QVERIFY(!form_->isSet(form_->chkTool));
    QCOMPARE(readFile(path_), before);
    StartedForm nextStart;
    ReadOptions(nextStart, path_);
    QVERIFY(nextStart.isSet(nextStart.chkTool));
  }

  // Choosing a port reconfigures MSComm1 at once: the same port does nothing, a port that
  // cannot be opened is reported and the old number put back, a good one stays open.
  void choosingAPort() {
    ModemEmulator modemA, modemB;
    QVERIFY(modemA.isValid() && modemB.isValid());
    auto& settings = platform_->fakeSettings.values;
    settings["Platform/Com3"] = modemA.device();
    settings["Platform/Com4"] = modemB.device();
    settings["Platform/Com5"] = env_->workPath("no-such-tty");
    auto& shown = platform_->fakeDialogs.shown;

    dialog_->cboPort_Click(0);  // Com1, the port already set
    QVERIFY(comm_->commPort() == 1 && !comm_->portOpen() && shown.empty());

    form_->cboPort->setCurrentIndex(2);
    Q_EMIT form_->cboPort->activated(2);  // as a choice in the list does
    QVERIFY(comm_->commPort() == 3 && comm_->portOpen() && shown.empty());
    QVERIFY(!comm_->setOutput("AT\r"));
    QTRY_COMPARE(modemA.received(), QByteArray("AT\r"));

    dialog_->cboPort_Click(4);  // Com5 does not exist
    QCOMPARE(comm_->commPort(), 3);
    QVERIFY(!comm_->portOpen());
    QCOMPARE(shown.size(), size_t(1));
    QVERIFY(!shown[0].text.isEmpty() && shown[0].title == platform::kAppTitle);
    QCOMPARE(shown[0].icon, platform::Icon::Exclamation);

    dialog_->cboPort_Click(3);
    QVERIFY(comm_->commPort() == 4 && comm_->portOpen());
    dialog_->cboPort_Click(2);  // from one open port to another
    QVERIFY(comm_->commPort() == 3 && comm_->portOpen() && shown.size() == 1);
  }
};

QTEST_MAIN(TestOptions)
#include "test_options.moc"
