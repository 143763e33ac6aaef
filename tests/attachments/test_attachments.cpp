#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "attachments/attachments.h"
#include "attachments/editor_command.h"
#include "platform/fake/fake_platform.h"
#include "platform/qt/qt_launcher.h"
#include "support/fake_record_view.h"
#include "support/test_env.h"

using namespace tavelin;
using platform::Button;
using platform::Icon;

namespace {

QStringList filesHere() {
  return QDir::current().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                   QDir::Name);
}

// The notes of one record in a working folder of their own, started with the real launcher.
struct Rig {
  test::TestEnvironment env;
  platform::FakeDialogs dialogs;
  platform::FakeSettingsStore settings;
  platform::QtLauncher launcher;
  test::FakeRecordView view;
  attachments::Attachments notes{dialogs, launcher, settings, view};
  const QString argsFile = env.workPath("args.txt");

  // A stand-in editor: writes each argument it gets on a line of its own, then "end".
  void useStubEditor(const QString& options = {}) {
    const QString path = env.configRoot() + "/editor.sh";
    test::writeFile(
        path, QString("#!/bin/sh\nprintf '%s\\n' \"$@\" end > '%1'\n").arg(argsFile).toUtf8());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    settings.values["Platform/Editor"] = path + options;
  }
  QString editorArgs() const { return QString::fromUtf8(test::readFile(argsFile)); }
  // A click on the page glyph of the record of that name, the boxes answered as given.
  void open(const QString& name, std::deque<Button> answers = {}) {
    view.fields[0] = name;
    dialogs.clear();
    dialogs.answers = std::move(answers);
    notes.Label13_Click();
  }
};

}  // namespace

class AttachmentsTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void editorChoice() {
    platform::FakeSettingsStore settings;
    platform::FakeLauncher launcher;
    QCOMPARE(attachments::editorCommand(settings, launcher), QStringList{"xdg-open"});
    launcher.onPath = {{"featherpad", "/usr/bin/featherpad"}, {"kate", "/usr/bin/kate"}};
    QCOMPARE(attachments::editorCommand(settings, launcher), QStringList{"/usr/bin/kate"});
    launcher.onPath["gnome-text-editor"] = "/usr/bin/gnome-text-editor";
    QCOMPARE(attachments::editorCommand(settings, launcher),
             QStringList{"/usr/bin/gnome-text-editor"});
    settings.values["Platform/Editor"] = "\"/opt/my editor/ed\" -n";
    QCOMPARE(attachments::editorCommand(settings, launcher),
             QStringList({"/opt/my editor/ed", "-n"}));
  }

  void openOrCreate() {
    Rig rig;
    rig.useStubEditor(" --new-window");
    const QString john = rig.env.workPath("John  Smith.ATA");
    // The probe creates an empty file; No removes it again, Yes keeps it and opens the editor on
    // it, the whole name one argument, and shows the record again.
    rig.open("John  Smith", {Button::No});
    QCOMPARE(rig.dialogs.texts(), QStringList{"File not found. Create new?"});
    QCOMPARE(rig.dialogs.shown[0].title, "No textfile attached yet");
    QCOMPARE(rig.dialogs.shown[0].icon, Icon::Information);
    QCOMPARE(rig.dialogs.shown[0].buttons, platform::Buttons::YesNo);
    QCOMPARE(filesHere(), QStringList());
    QCOMPARE(rig.view.recordShown, 0);
    rig.open("John  Smith", {Button::Yes});
    QCOMPARE(rig.dialogs.shown.size(), 1u);
    QVERIFY(QFileInfo(john).isFile());
    QCOMPARE(QFileInfo(john).size(), 0);
    QTRY_VERIFY(rig.editorArgs().endsWith("end\n"));
    QCOMPARE(rig.editorArgs(), "--new-window\n" + john + "\nend\n");
    QCOMPARE(rig.view.recordShown, 1);

    // A file with content opens without a question; an empty one is asked about like a missing one.
    rig.useStubEditor();
    QFile::remove(rig.argsFile);
    const QString ann = rig.env.workPath("-n Ann.ATA");
    test::writeFile(ann, "call back\r\n");
    rig.open("-n Ann");
    QVERIFY(rig.dialogs.shown.empty());
    QTRY_VERIFY(rig.editorArgs().endsWith("end\n"));
    QCOMPARE(rig.editorArgs(), ann + "\nend\n");
    QCOMPARE(test::readFile(ann), "call back\r\n");
    test::writeFile(rig.env.workPath("Bo.ATA"), "");
    rig.open("Bo", {Button::No});
    QCOMPARE(rig.dialogs.texts(), QStringList{"File not found. Create new?"});
    QVERIFY(!QFile::exists(rig.env.workPath("Bo.ATA")));

    // An editor that does not start is said so.
    const QString missing = rig.env.workPath("no-such-editor");
    rig.settings.values["Platform/Editor"] = missing;
    rig.open("Bo");  // default answer Yes
    QCOMPARE(rig.dialogs.texts(),
             QStringList({"File not found. Create new?",
                          "Could not start the text editor \"" + missing + "\"."}));
    QCOMPARE(rig.dialogs.shown.back().icon, Icon::Critical);

    // A name taken by a folder cannot be opened: said so, and nothing else happens.
    const QString cy = rig.env.workPath("Cy.ATA");
    QVERIFY(QDir().mkdir(cy));
    rig.open("Cy");
    QCOMPARE(rig.dialogs.shown.size(), 1u);
    QVERIFY2(rig.dialogs.shown[0].text.startsWith("Could not open the file \"" + cy),
             qPrintable(rig.dialogs.shown[0].text));
    QVERIFY(QFileInfo(cy).isDir());
  }

  void nothingWithoutNameOrWhileEditing() {
    Rig rig;
    test::writeFile(rig.env.workPath("Other.ATA"), "x");
    rig.notes.Label13_Click();  // no name
    rig.notes.mnuKill_Click();
    rig.notes.mnuKillAll_Click();
    rig.view.fields[0] = "Cy";
    rig.view.editing = true;
    rig.notes.Label13_Click();
    rig.view.editing = false;
    rig.view.adding = true;
    rig.notes.Label13_Click();
    QVERIFY(rig.dialogs.shown.empty());
    QCOMPARE(filesHere(), QStringList{"Other.ATA"});
  }

  void hostileNamesTouchNoFile_data() {
    QTest::addColumn<QString>("fullName");
    for (const QString name : {"../victim", "/tmp/victim", ".", ".."})
      QTest::newRow(qPrintable(name)) << name;
    QTest::newRow("NUL") << QString("a") + QChar(0) + "b";
  }

  // One message each, no question, no file made or removed, no editor.
  void hostileNamesTouchNoFile() {
    QFETCH(QString, fullName);
    Rig rig;
    QDir::current().mkdir("inner");
    QDir::setCurrent(rig.env.workPath("inner"));
    test::writeFile(rig.env.workPath("victim.ATA"), "keep");
    rig.settings.values["Platform/Editor"] = "/bin/true";
    rig.view.fields[0] = fullName;
    rig.notes.Label13_Click();
    rig.notes.mnuKill_Click();
    QCOMPARE(rig.dialogs.shown.size(), 2u);
    for (const platform::Message& m : rig.dialogs.shown) {
      QVERIFY2(m.text.contains("cannot be the name of a file"), qPrintable(m.text));
      QCOMPARE(m.buttons, platform::Buttons::Ok);
    }
    QCOMPARE(filesHere(), QStringList());
    QCOMPARE(test::readFile(rig.env.workPath("victim.ATA")), "keep");
  }

  // Kill removes the record's file after Yes, and says nothing once it has gone. Kill all
  // removes only ordinary files named "*.ATA" directly in the working folder: folders, links and
  // what they point to, other names and other cases stay.
  void killOneAndAll() {
    Rig rig;
    const QString outside = rig.env.configRoot() + "/outside.ATA";
    test::writeFile(outside, "elsewhere");
    for (const char* name :
         {"Ann.ATA", "Anna.ATA", "Bo Brown.ATA", ".ATA", "low.ata", "notes.txt", "A.ATA.bak"}) {
      test::writeFile(rig.env.workPath(name), "x");
    }
    QDir().mkpath("folder.ATA/inner.ATA");
    test::writeFile(rig.env.workPath("folder.ATA/deep.ATA"), "x");
    QVERIFY(QFile::link(outside, rig.env.workPath("link.ATA")));
    rig.view.fields[0] = "Ann";
    rig.dialogs.answers = {Button::No, Button::Yes, Button::Yes};
    QStringList rest = filesHere();
    rig.notes.mnuKill_Click();
    QCOMPARE(filesHere(), rest);
    rig.notes.mnuKill_Click();
    rest.removeOne("Ann.ATA");
    QCOMPARE(filesHere(), rest);
    rig.notes.mnuKill_Click();  // already gone: nothing said
    QCOMPARE(rig.dialogs.texts(), QStringList(3, "Are you sure?"));
    QCOMPARE(rig.dialogs.shown[0].title, "Kill attached Notepad file");
    QCOMPARE(rig.dialogs.shown[0].icon, Icon::Question);

    rig.dialogs.clear();
    rig.dialogs.answers = {Button::No, Button::Yes};
    rig.notes.mnuKillAll_Click();
    QCOMPARE(filesHere(), rest);
    rig.notes.mnuKillAll_Click();
    QCOMPARE(rig.dialogs.shown[1].title, "Kill ALL Notepad files");
    QCOMPARE(filesHere(),
             QStringList({"A.ATA.bak", "folder.ATA", "link.ATA", "low.ata", "notes.txt"}));
    QVERIFY(QFile::exists(rig.env.workPath("folder.ATA/deep.ATA")));
    QCOMPARE(test::readFile(outside), "elsewhere");
  }
};

QTEST_GUILESS_MAIN(AttachmentsTest)
#include "test_attachments.moc"
