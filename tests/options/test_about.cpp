#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include "options/frm_about.h"
#include "options/sys_info.h"
#include "platform/fake/fake_platform.h"
#include "platform/qt/linux_registry.h"
#include "support/fake_record_view.h"
#include "support/test_env.h"

using namespace tavelin;
using namespace tavelin::options;
using platform::kHKeyLocalMachine;
using platform::RegistryValue;

namespace {

const QString kPathKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kFolderKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

}  // namespace

class TestAbout : public QObject {
  Q_OBJECT
  test::TestEnvironment env_;

 private Q_SLOTS:
  // The About box shows the program's icon on a system without any image plugin (once it
  // stayed blank where the one for its format was not installed). First, before anything
  // loads a plugin.
  void iconWithoutPlugins() {
    const QStringList paths = QCoreApplication::libraryPaths();
    QCoreApplication::setLibraryPaths({});
    const auto restore = qScopeGuard([&] {
      QCoreApplication::setLibraryPaths(paths);
      QApplication::setWindowIcon(QIcon());
    });
    QApplication::setWindowIcon(programIcon());
    platform::FakePlatform p(env_.configRoot());
    const FrmAbout about(p);
    const QImage shown = about.picIcon->pixmap().toImage();
    QVERIFY(!shown.isNull());
    QVERIFY(shown.width() >= about.picIcon->width() * 3 / 4);
    QCOMPARE(shown.pixelColor(shown.rect().center()).alpha(), 255);  // drawn, not transparent
  }

  void getKeyValue_data() {
    QTest::addColumn<quint32>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("value");
    QTest::newRow("string with NUL") << 1u << QByteArray("C:\\x.exe", 9) << true << "C:\\x.exe";
    QTest::newRow("string without NUL") << 1u << QByteArray("C:\\x.exe") << true << "C:\\x.exe";
    QTest::newRow("empty string") << 1u << QByteArray() << true << "";
    QTest::newRow("number") << 4u << QByteArray("\xCD\xAB\x34\x12", 4) << true << "&h1234ABCD";
    // Each byte without its leading zero, a last NUL byte dropped first.
    QTest::newRow("small bytes") << 4u << QByteArray("\x10\x0B\x0A\x00", 4) << true << "&hAB10";
    QTest::newRow("other type") << 3u << QByteArray("\x01\x02", 2) << true << "as passed";
    QTest::newRow("too long") << 1u << QByteArray(1025, 'x') << false << "";
  }
  void getKeyValue() {
    QFETCH(quint32, type);
    QFETCH(QByteArray, bytes);
    platform::FakeRegistry registry;
    registry.setValue(kHKeyLocalMachine, kPathKey, "PATH", RegistryValue{type, bytes});
    QString value = QStringLiteral("as passed");
    QTEST(GetKeyValue(registry, kHKeyLocalMachine, kPathKey.toLower(), "path", value), "result");
    QTEST(value, "value");
    QCOMPARE(registry.accessMasks, std::vector<quint32>{0x2003F});
    QCOMPARE(registry.openCount(), 0);

    // No key, or a key without the value: false and empty.
    for (const QString& key : {kFolderKey, kPathKey}) {
      value = QStringLiteral("as passed");
      QVERIFY(!GetKeyValue(registry, kHKeyLocalMachine, key, "MSINFO", value));
      QCOMPARE(value, QString());
    }
    QCOMPARE(registry.openCount(), 0);
  }

  // The first value is used as it stands; the folder of the second only when the program is
  // in it; otherwise, or when it does not start, the message.
  void startSysInfo() {
    platform::FakePlatform p(env_.configRoot());
    auto& started = p.fakeLauncher.started;
    StartSysInfo(p);
    QCOMPARE(p.fakeDialogs.texts(), QStringList{kUnavailable});
    QCOMPARE(p.fakeDialogs.shown[0].icon, platform::Icon::None);
    QCOMPARE(p.fakeDialogs.shown[0].buttons, platform::Buttons::Ok);

    p.fakeRegistry.setValue(kHKeyLocalMachine, kFolderKey, "MSINFO",
                            RegistryValue{1, env_.workDir().toLocal8Bit() + '\0'});
    StartSysInfo(p);
    QVERIFY(started.empty() && p.fakeDialogs.shown.size() == 2);
    test::writeFile(env_.workPath("MSINFO32.EXE"), "");
    StartSysInfo(p);
    QCOMPARE(started.size(), size_t(1));
    QCOMPARE(started[0].program, env_.workPath("MSINFO32.EXE"));

    p.fakeRegistry.setValue(kHKeyLocalMachine, kPathKey, "PATH",
                            RegistryValue{1, QByteArray("/nowhere/msinfo")});
    StartSysInfo(p);
    QCOMPARE(started.size(), size_t(2));
    QCOMPARE(started[1].program, QStringLiteral("/nowhere/msinfo"));
    QVERIFY(started[1].arguments.isEmpty());
    p.fakeLauncher.failing << "/nowhere/msinfo";
    StartSysInfo(p);
    QCOMPARE(p.fakeDialogs.texts(), QStringList({kUnavailable, kUnavailable, kUnavailable}));
  }

  // Linux answers the path key with the first system-information program on PATH.
  void linuxRegistry() {
    platform::FakeLauncher launcher;
    platform::LinuxRegistry registry(launcher);
    QString value;
    QVERIFY(!GetKeyValue(registry, kHKeyLocalMachine, kPathKey, "PATH", value));
    QVERIFY(!GetKeyValue(registry, kHKeyLocalMachine, kFolderKey, "MSINFO", value));
    launcher.onPath["xfce4-taskmanager"] = "/usr/bin/xfce4-taskmanager";
    launcher.onPath["gnome-system-monitor"] = "/usr/bin/gnome-system-monitor";
    QVERIFY(GetKeyValue(registry, kHKeyLocalMachine, kPathKey, "PATH", value));
    QCOMPARE(value, QStringLiteral("/usr/bin/gnome-system-monitor"));
    launcher.onPath["hardinfo2"] = "/opt/bin/hardinfo2";
    QVERIFY(GetKeyValue(registry, kHKeyLocalMachine, kPathKey, "PATH", value));
    QCOMPARE(value, QStringLiteral("/opt/bin/hardinfo2"));
    QVERIFY(!GetKeyValue(registry, kHKeyLocalMachine, kFolderKey, "MSINFO", value));
    QVERIFY(!GetKeyValue(registry, 0x80000001, kPathKey, "PATH", value));
  }

  // The box over the disabled main window; System Info, then OK unloads it.
  void aboutBox() {
    QCOMPARE(versionText(2, 10, 0), QStringLiteral("Version 2.10.0"));  // 1.1.5 on the box

    platform::FakePlatform p(env_.configRoot());
    QWidget mainWindow;
    mainWindow.show();
    test::FakeRecordView view;
    QPointer<FrmAbout> shown;
    bool closedByEscape = false;
    QTimer::singleShot(0, &mainWindow, [&] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == "frmAbout") shown = qobject_cast<FrmAbout*>(w);
      // Closed in any case, so that a failed check cannot leave the test waiting.
      const auto close = qScopeGuard([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
          if (w->objectName() == "frmAbout") w->hide();
      });
      QVERIFY(shown);
      QVERIFY(!mainWindow.isEnabled());
      QCOMPARE(shown->windowTitle(), QStringLiteral("About Malvek Tavelin"));
      QCOMPARE(shown->lblVersion->text(), QStringLiteral("Version 1.1.5"));
      QCOMPARE(shown->size(), QSize(382, 165));
      QVERIFY(shown->cmdOK->isDefault());
      QTest::mouseClick(shown->cmdSysInfo, Qt::LeftButton);
      QVERIFY(shown->isVisible());
      QTest::keyClick(shown, Qt::Key_Escape);
      closedByEscape = !shown->isVisible();
    });
    mnuAbout_Click(p, mainWindow, view);
    QVERIFY(closedByEscape);
    QVERIFY(shown.isNull());  // unloaded
    QVERIFY(mainWindow.isEnabled() && view.listFocused == 1);
    QCOMPARE(p.fakeDialogs.texts(), QStringList{kUnavailable});  // the fake registry is empty
  }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
