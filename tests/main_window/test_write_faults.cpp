// Every save the program makes, with each step of its write failing in turn (open, write,
// flush, sync, rename, the folder's sync), as a broken or full disk would: the old file stays
// byte for byte (or, once renamed, the new one whole), one error names the file, what the
// window shows stays, and no file in its folder comes or goes.
#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "backup/backup_files.h"
#include "mail/mail_files.h"
#include "mail/mailer_fixture.h"
#include "mainform_fixture.h"
#include "options/frm_options.h"
#include "options/options_dialog.h"
#include "record_store/atomic_file.h"
#include "record_store/paths.h"

using namespace tavelin;
using main_window::Mainform;
using platform::Button;

namespace {

// Fails the failAt-th step of all writes (counting from 1), and counts the steps.
class CountedFaults final : public FileSystemFaults {
 public:
  explicit CountedFaults(int failAt) : failAt_(failAt) { install(this); }
  ~CountedFaults() override { install(nullptr); }
  std::optional<QString> fault(WriteStep step, const QString&) override {
    kinds.insert(int(step));
    if (++steps != failAt_) return std::nullopt;
    failed = step;
    return QStringLiteral("Input/output error");
  }
  int steps = 0;
  QSet<int> kinds;
  std::optional<WriteStep> failed;

 private:
  int failAt_;
};

// One save as the user makes it, set up in a fresh world.
struct Attempt {
  QString target;  // the file the save replaces
  QString named;   // what its failure message must say: the file, or the drive
  std::function<void()> save;
  std::function<QStringList()> shown;  // what the window shows that the save may change
  platform::FakeDialogs* dialogs = nullptr;
};

struct World {
  std::unique_ptr<test::MainformFixture> main;
  std::unique_ptr<test::MailerFixture> mail;
  QTemporaryDir drive;
};

using Setup = std::function<Attempt(World&)>;

QString nativePath(const QString& path) {
  return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QStringList folderEntries(const QString& file) {
  return QFileInfo(file).absoluteDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                 QDir::Hidden);
}

const QString kDiskError = QStringLiteral("Disk error. Please check the disk in drive A:");

const QByteArray kZoe = test::recordLine("Zoe").toUtf8() + "\r\n";

enum class Target { Data, Backup, Floppy, Options };

// A save from the main window, on Ann, Bob, Cleo with a row selected, a backup and a floppy
// copy of Zoe, and a note file for Cleo that a failed delete must leave.
struct WindowSave {
  const char* name;
  int row;
  Button answer;
  std::function<void(Mainform&)> prepare;
  Target target;
  std::function<void(Mainform&)> save;
};

const WindowSave kWindowSaves[] = {
    {"add", 0, Button::Yes, [](Mainform& w) { w.AddRecord(), w.Text[0]->setText("Dirk"); },
     Target::Data, &Mainform::AddRecord},
    {"edit", 1, Button::Yes, [](Mainform& w) { w.EditRecord(), w.Text[4]->setText("555-0"); },
     Target::Data, &Mainform::EditRecord},
    {"delete", 2, Button::Yes, {}, Target::Data, &Mainform::DeleteRecord},
    {"backup", 0, Button::Yes, {}, Target::Backup, &Mainform::BackupFile},
    {"restore", 0, Button::Yes, {}, Target::Data, &Mainform::RestoreFile},
    {"floppy backup", 0, Button::Ok, {}, Target::Floppy, &Mainform::mnuBA_Click},
    {"floppy restore", 0, Button::Ok, {}, Target::Data, &Mainform::mnuRA_Click},
    {"options", 0, Button::Yes, [](Mainform& w) { w.frmOptions().Check1->toggle(); },
     Target::Options, [](Mainform& w) { w.optionsDialog().Command1_Click(); }},
};

Attempt onWindow(World& world, const WindowSave& s) {
  world.main = std::make_unique<test::MainformFixture>();
  test::MainformFixture& f = *world.main;
  f.writeDataFile({test::recordLine("Ann", "555-1"), test::recordLine("Bob", "555-2"),
                   test::recordLine("Cleo", "555-3")});
  const QString floppy = world.drive.filePath(backup::kFloppyCopyName);
  for (const QString& file : {kBackupFileName, floppy}) test::writeFile(file, kZoe);
  test::writeFile("Cleo.ATA", "note\r\n");
  f.platform.fakeSettings.values["Platform/FloppyPath"] = world.drive.path();
  Mainform& w = f.start();
  w.List1->setListIndex(s.row);
  if (s.prepare) s.prepare(w);
  f.platform.fakeDialogs.clear();
  f.platform.fakeDialogs.answers = {s.answer};
  const QString target = s.target == Target::Data     ? kDataFileName
                         : s.target == Target::Backup ? kBackupFileName
                         : s.target == Target::Floppy ? floppy
                                                      : optionsFilePath(f.env.configRoot());
  const bool onDisk = QString(s.name).startsWith("floppy");
  // Shown includes the file the store writes next and the options as they stand.
  const auto shown = [&f, &w] {
    return f.listNames() + f.fieldTexts() +
           QStringList{w.Command2->text(), w.Command3->text(), w.Command4->text(),
                       w.store().dataFile(), QString::number(w.frmOptions().Check1->isChecked())};
  };
  return {target, onDisk ? kDiskError : nativePath(target), [&w, s] { s.save(w); }, shown,
          &f.platform.fakeDialogs};
}

// The mail editor's own files: the window shows the message being written.
Attempt onMailer(World& world, QString (*file)(const QString&), const QByteArray& old,
                 void (mail::Mailer::*save)()) {
  world.mail = std::make_unique<test::MailerFixture>();
  test::MailerFixture& f = *world.mail;
  const QString path = file(f.env.configRoot());
  test::writeFile(path, old);
  f.w().EditBox->setText("Dear Bob");
  f.dialogs().inputAnswers = {"|Ciao|Ann"};
  f.dialogs().fontAnswers = {platform::FontChoice{"DejaVu Sans Mono", 11, true, false}};
  return {path, nativePath(path), [&f, save] { (f.w().*save)(); },
          [&f] { return QStringList{f.w().EditBox->text()}; }, &f.dialogs()};
}

std::vector<std::pair<QString, Setup>> allSaves() {
  std::vector<std::pair<QString, Setup>> saves;
  for (const WindowSave& s : kWindowSaves)
    saves.emplace_back(s.name, [&s](World& world) { return onWindow(world, s); });
  saves.emplace_back("sign-off", [](World& world) {
    return onMailer(world, mail::signOffFilePath, "|Regards|Ann\r\n",
                    &mail::Mailer::ConfigureSignOff);
  });
  saves.emplace_back("font file", [](World& world) {
    return onMailer(world, mail::fontFilePath, "Courier New\r\n 9 \r\nFalse\r\nFalse\r\n",
                    &mail::Mailer::SelectFont);
  });
  return saves;
}

}  // namespace

class WriteFaultsTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void everyStepOfEverySave() {
    QStringList figures;
    int injected = 0;
    for (const auto& [name, setup] : allSaves()) {
      int steps = 0;     // counted by the first run, which fails nothing
      QByteArray saved;  // what that run wrote, and what the window then showed
      QStringList shownSaved;
      for (int failAt = 0; failAt == 0 || failAt <= steps; ++failAt) {
        World world;
        Attempt attempt = setup(world);
        const QByteArray before = test::readFile(attempt.target);
        const QStringList shownBefore = attempt.shown(),
                          entriesBefore = folderEntries(attempt.target);
        const std::size_t boxesBefore = attempt.dialogs->shown.size();
        CountedFaults faults(failAt);
        attempt.save();
        const QString where = QStringLiteral("%1, step %2 of %3").arg(name).arg(failAt).arg(steps);
        if (failAt == 0) {
          steps = faults.steps;
          saved = test::readFile(attempt.target);
          shownSaved = attempt.shown();
          // The save changes its file, and every kind of step was offered to fail.
          QVERIFY2(saved != before && faults.kinds.size() == 6, qPrintable(where));
          continue;
        }
        // The folder's sync comes after the rename: the new file is there, but may not last, and
        // a window that shows the file again shows the new one.
        const bool renamed = faults.failed == WriteStep::FolderSync;
        const QByteArray after = test::readFile(attempt.target);
        QVERIFY2(after == before || (renamed && after == saved), qPrintable(where));
        const QStringList shown = attempt.shown();
        QVERIFY2(shown == shownBefore || (renamed && shown == shownSaved), qPrintable(where));
        QVERIFY2(folderEntries(attempt.target) == entriesBefore, qPrintable(where));
        int naming = 0;
        for (std::size_t i = boxesBefore; i < attempt.dialogs->shown.size(); ++i) {
          const platform::Message& m = attempt.dialogs->shown[i];
          QVERIFY2(!m.text.contains("successful"), qPrintable(where + ": " + m.text));
          if (!m.text.contains(attempt.named)) continue;
          ++naming;
          QVERIFY2(m.icon == platform::Icon::Critical, qPrintable(where + ": " + m.text));
        }
        QVERIFY2(naming == 1, qPrintable(where + QStringLiteral(": %1 messages").arg(naming)));
        ++injected;
      }
      figures << QStringLiteral("%1 %2").arg(name).arg(steps);
    }
    qInfo("%d faults injected: %s", injected, qPrintable(figures.join(", ")));
  }
};

QTEST_MAIN(WriteFaultsTest)
#include "test_write_faults.moc"
