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

// A stand-in editor: writes each argument it gets on a line of its own, then "end".
QString writeStubEditor(const QString& path, const QString& record) {
  test::writeFile(
      path, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" end > '%1'\n").arg(record).toUtf8());
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return path;
}

struct Rig {
  platform::FakeDialogs dialogs;
  platform::FakeSettingsStore settings;
  platform::QtLauncher launcher;
  test::FakeRecordView view;
  attachments::Attachments notes{dialogs, launcher, settings, view};
};

QStringList filesHere() {
  return QDir::current().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                   QDir::Name);
}

}  // namespace

class AttachmentsTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void editorChoice();
  void openCreatesOnlyOnYes();
  void openExistingAndFailedStart();
  void nothingWithoutNameOrWhileEditing();
  void hostileNamesTouchNoFile_data();
  void hostileNamesTouchNoFile();
  void killOne();
  void killAllOnlyOrdinaryAtaFiles();
};

void AttachmentsTest::editorChoice() {
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

// The probe creates an empty file; No removes it again, Yes keeps it and opens the editor on
// it, the whole name one argument, and shows the record again.
void AttachmentsTest::openCreatesOnlyOnYes() {
  test::TestEnvironment env;
  Rig rig;
  const QString record = env.workPath("args.txt");
  rig.settings.values["Platform/Editor"] =
      writeStubEditor(env.configRoot() + "/editor.sh", record) + " --new-window";
  rig.view.fields[0] = "John  Smith";
  rig.dialogs.answers = {Button::No, Button::Yes};

  rig.notes.Label13_Click();
  QCOMPARE(rig.dialogs.texts(), QStringList{"File not found. Create new?"});
  QCOMPARE(rig.dialogs.shown[0].title, "No textfile attached yet");
  QCOMPARE(rig.dialogs.shown[0].icon, Icon::Information);
  QCOMPARE(rig.dialogs.shown[0].buttons, platform::Buttons::YesNo);
  QCOMPARE(filesHere(), QStringList());
  QCOMPARE(rig.view.recordShown, 0);

  rig.notes.Label13_Click();
  QCOMPARE(rig.dialogs.shown.size(), 2u);
  QVERIFY(QFileInfo(env.workPath("John  Smith.ATA")).isFile());
  QCOMPARE(QFileInfo(env.workPath("John  Smith.ATA")).size(), 0);
  QTRY_VERIFY(test::readFile(record).endsWith("end\n"));
  QCOMPARE(QString::fromUtf8(test::readFile(record)).split('\n'),
           QStringList({"--new-window", env.workPath("John  Smith.ATA"), "end", ""}));
  QCOMPARE(rig.view.recordShown, 1);
}

// A file with content opens without a question; an empty one is asked about like a missing
// one. An editor that does not start is said so.
void AttachmentsTest::openExistingAndFailedStart() {
  test::TestEnvironment env;
  Rig rig;
  const QString record = env.workPath("args.txt");
  rig.settings.values["Platform/Editor"] = writeStubEditor(env.configRoot() + "/e.sh", record);
  test::writeFile(env.workPath("-n Ann.ATA"), "call back\r\n");
  rig.view.fields[0] = "-n Ann";
  rig.notes.Label13_Click();
  QVERIFY(rig.dialogs.shown.empty());
  QTRY_VERIFY(test::readFile(record).endsWith("end\n"));
  QCOMPARE(test::readFile(record), env.workPath("-n Ann.ATA").toUtf8() + "\nend\n");
  QCOMPARE(test::readFile(env.workPath("-n Ann.ATA")), "call back\r\n");

  test::writeFile(env.workPath("Bo.ATA"), "");
  rig.view.fields[0] = "Bo";
  rig.dialogs.answers = {Button::No};
  rig.notes.Label13_Click();
  QCOMPARE(rig.dialogs.texts(), QStringList{"File not found. Create new?"});
  QVERIFY(!QFile::exists(env.workPath("Bo.ATA")));

  rig.settings.values["Platform/Editor"] = env.workPath("no-such-editor");
  rig.dialogs.clear();
  rig.notes.Label13_Click();  // default answer Yes
  QCOMPARE(rig.dialogs.texts(), QStringList({"File not found. Create new?",
                                             "Could not start the text editor \"" +
                                                 env.workPath("no-such-editor") + "\"."}));
  QCOMPARE(rig.dialogs.shown.back().icon, Icon::Critical);

  // A name taken by a folder cannot be opened: said so, and nothing else happens.
  QVERIFY(QDir::current().mkdir("Cy.ATA"));
  rig.view.fields[0] = "Cy";
  rig.dialogs.clear();
  rig.notes.Label13_Click();
  QCOMPARE(rig.dialogs.shown.size(), 1u);
  QVERIFY2(
      rig.dialogs.shown[0].text.startsWith("Could not open the file \"" + env.workPath("Cy.ATA")),
      qPrintable(rig.dialogs.shown[0].text));
  QVERIFY(QFileInfo(env.workPath("Cy.ATA")).isDir());
}

void AttachmentsTest::nothingWithoutNameOrWhileEditing() {
  test::TestEnvironment env;
  Rig rig;
  test::writeFile(env.workPath("Other.ATA"), "x");
  rig.view.fields[0] = "";
  rig.notes.Label13_Click();
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

void AttachmentsTest::hostileNamesTouchNoFile_data() {
  QTest::addColumn<QString>("fullName");
  QTest::newRow("parent folder") << "../victim";
  QTest::newRow("absolute") << "/tmp/victim";
  QTest::newRow("dot") << ".";
  QTest::newRow("dot dot") << "..";
  QTest::newRow("NUL") << QString("a") + QChar(0) + "b";
}

// One message each, no question, no file made or removed, no editor.
void AttachmentsTest::hostileNamesTouchNoFile() {
  QFETCH(QString, fullName);
  test::TestEnvironment env;
  QDir::current().mkdir("inner");
  QDir::setCurrent(env.workPath("inner"));
  test::writeFile(env.workPath("victim.ATA"), "keep");
  Rig rig;
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
  QCOMPARE(test::readFile(env.workPath("victim.ATA")), "keep");
}

void AttachmentsTest::killOne() {
  test::TestEnvironment env;
  Rig rig;
  test::writeFile(env.workPath("Ann.ATA"), "note");
  test::writeFile(env.workPath("Anna.ATA"), "note");
  rig.view.fields[0] = "Ann";
  rig.dialogs.answers = {Button::No, Button::Yes, Button::Yes};
  rig.notes.mnuKill_Click();
  QCOMPARE(filesHere(), QStringList({"Ann.ATA", "Anna.ATA"}));
  rig.notes.mnuKill_Click();
  QCOMPARE(filesHere(), QStringList{"Anna.ATA"});
  rig.notes.mnuKill_Click();  // already gone: nothing said
  QCOMPARE(rig.dialogs.texts(), QStringList(3, "Are you sure?"));
  QCOMPARE(rig.dialogs.shown[0].title, "Kill attached Notepad file");
  QCOMPARE(rig.dialogs.shown[0].icon, Icon::Question);
}

// Only ordinary files named "*.ATA" directly in the working folder go; folders, links and
// what they point to, other names and other cases stay.
void AttachmentsTest::killAllOnlyOrdinaryAtaFiles() {
  test::TestEnvironment env;
  const QString outside = env.configRoot() + "/outside.ATA";
  test::writeFile(outside, "elsewhere");
  QDir here = QDir::current();
  for (const char* name :
       {"Ann.ATA", "Bo Brown.ATA", ".ATA", "low.ata", "notes.txt", "A.ATA.bak"}) {
    test::writeFile(env.workPath(name), "x");
  }
  here.mkpath("folder.ATA/inner.ATA");
  test::writeFile(env.workPath("folder.ATA/deep.ATA"), "x");
  QVERIFY(QFile::link(outside, env.workPath("link.ATA")));
  Rig rig;
  rig.view.fields[0] = "Ann";
  rig.dialogs.answers = {Button::No, Button::Yes};
  rig.notes.mnuKillAll_Click();
  QCOMPARE(filesHere().size(), 8);
  rig.notes.mnuKillAll_Click();
  QCOMPARE(rig.dialogs.shown[1].title, "Kill ALL Notepad files");
  QCOMPARE(filesHere(),
           QStringList({"A.ATA.bak", "folder.ATA", "link.ATA", "low.ata", "notes.txt"}));
  QVERIFY(QFile::exists(env.workPath("folder.ATA/deep.ATA")));
  QCOMPARE(test::readFile(outside), "elsewhere");
}

QTEST_GUILESS_MAIN(AttachmentsTest)
#include "test_attachments.moc"
