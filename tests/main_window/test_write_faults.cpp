// Every save the program makes, with each step of its write failing in turn (open, write,
// flush, sync, rename), as a broken or full disk would: the old file stays byte for byte, one
// message names the file, what the window shows stays, and no temporary file is left.
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
using platform::Button;

namespace {

// Fails the failAt-th step of all writes (counting from 1), and counts the steps.
class CountedFaults final : public FileSystemFaults {
 public:
  explicit CountedFaults(int failAt) : failAt_(failAt) { install(this); }
  ~CountedFaults() override { install(nullptr); }
  std::optional<QString> fault(WriteStep step, const QString&) override {
    kinds.insert(int(step));
    if (++steps == failAt_) return QStringLiteral("Input/output error");
    return std::nullopt;
  }
  int steps = 0;
  QSet<int> kinds;

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

const QStringList kNames = {"Ann", "Bob", "Cleo"};

QString nativePath(const QString& path) {
  return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QStringList folderEntries(const QString& file) {
  return QFileInfo(file).absoluteDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                 QDir::Hidden);
}

// A main window on a data file of three records, as the store writes them.
main_window::Mainform& startWindow(World& world) {
  world.main = std::make_unique<test::MainformFixture>();
  test::MainformFixture& f = *world.main;
  QStringList lines;
  for (const QString& name : kNames) lines << test::recordLine(name, "555-" + name);
  f.writeDataFile(lines);
  f.platform.fakeSettings.values["Platform/FloppyPath"] = world.drive.path();
  return f.start();
}

Attempt windowAttempt(World& world, const QString& target, std::function<void()> save) {
  test::MainformFixture& f = *world.main;
  main_window::Mainform& w = *f.window;
  return {target, nativePath(target), std::move(save),
          [&f, &w] {
            return f.listNames() + f.fieldTexts() +
                   QStringList{w.Command2->text(), w.Command3->text(), w.Command4->text()};
          },
          &f.platform.fakeDialogs};
}

const QString kDiskError = QStringLiteral("Disk error. Please check the disk in drive A:");

const std::vector<std::pair<const char*, Setup>>& savePaths() {
  static const std::vector<std::pair<const char*, Setup>> paths = {
      {"add",
       [](World& world) {
         main_window::Mainform& w = startWindow(world);
         w.AddRecord();
         w.Text[0]->setText("Dirk");
         world.main->platform.fakeDialogs.clear();
         return windowAttempt(world, kDataFileName, [&w] { w.AddRecord(); });
       }},
      {"edit",
       [](World& world) {
         main_window::Mainform& w = startWindow(world);
         w.List1->setListIndex(1);
         w.EditRecord();
         w.Text[4]->setText("555-0000");
         return windowAttempt(world, kDataFileName, [&w] { w.EditRecord(); });
       }},
      {"delete",
       [](World& world) {
         main_window::Mainform& w = startWindow(world);
         w.List1->setListIndex(2);
         world.main->platform.fakeDialogs.answers = {Button::Yes};
         return windowAttempt(world, kDataFileName, [&w] { w.DeleteRecord(); });
       }},
      {"backup",
       [](World& world) {
         main_window::Mainform& w = startWindow(world);
         test::writeFile(kBackupFileName, "an older backup\r\n");
         world.main->platform.fakeDialogs.answers = {Button::Yes};
         return windowAttempt(world, kBackupFileName, [&w] { w.BackupFile(); });
       }},
      {"restore",
       [](World& world) {
         main_window::Mainform& w = startWindow(world);
         test::writeFile(kBackupFileName, test::recordLine("Zoe").toUtf8() + "\r\n");
         world.main->platform.fakeDialogs.answers = {Button::Yes};
         return windowAttempt(world, kDataFileName, [&w] { w.RestoreFile(); });
       }},
      {"floppy backup",
       [](World& world) {
         main_window::Mainform& w = startWindow(world);
         const QString copy = world.drive.filePath(backup::kFloppyCopyName);
         test::writeFile(copy, "an older copy\r\n");
         world.main->platform.fakeDialogs.answers = {Button::Ok};
         Attempt attempt = windowAttempt(world, copy, [&w] { w.mnuBA_Click(); });
         attempt.named = kDiskError;
         return attempt;
       }},
      {"floppy restore",
       [](World& world) {
         main_window::Mainform& w = startWindow(world);
         test::writeFile(world.drive.filePath(backup::kFloppyCopyName),
                         test::recordLine("Zoe").toUtf8() + "\r\n");
         world.main->platform.fakeDialogs.answers = {Button::Ok};
         Attempt attempt = windowAttempt(world, kDataFileName, [&w] { w.mnuRA_Click(); });
         attempt.named = kDiskError;
         return attempt;
       }},
      {"options",
       [](World& world) {
         main_window::Mainform& w = startWindow(world);
         options::FrmOptions& form = w.frmOptions();
         form.Check1->setChecked(!form.Check1->isChecked());
         Attempt attempt = windowAttempt(world, optionsFilePath(world.main->env.configRoot()),
                                         [&w] { w.optionsDialog().Command1_Click(); });
         attempt.shown = [&form] { return QStringList{QString::number(form.Check1->isChecked())}; };
         return attempt;
       }},
      {"sign-off",
       [](World& world) {
         world.mail = std::make_unique<test::MailerFixture>();
         test::MailerFixture& f = *world.mail;
         const QString sig = mail::signOffFilePath(f.env.configRoot());
         test::writeFile(sig, "|Regards|Ann\r\n");
         f.w().EditBox->setText("Dear Bob");
         f.dialogs().inputAnswers = {"|Ciao|Ann"};
         return Attempt{sig, nativePath(sig), [&f] { f.w().ConfigureSignOff(); },
                        [&f] { return QStringList{f.w().EditBox->text()}; }, &f.dialogs()};
       }},
      {"font file",
       [](World& world) {
         world.mail = std::make_unique<test::MailerFixture>();
         test::MailerFixture& f = *world.mail;
         const QString cf1 = mail::fontFilePath(f.env.configRoot());
         test::writeFile(cf1, "Courier New\r\n 9 \r\nFalse\r\nFalse\r\n");
         f.w().EditBox->setText("Dear Bob");
         f.dialogs().fontAnswers = {platform::FontChoice{"DejaVu Sans Mono", 11, true, false}};
         return Attempt{cf1, nativePath(cf1), [&f] { f.w().SelectFont(); },
                        [&f] { return QStringList{f.w().EditBox->text()}; }, &f.dialogs()};
       }},
  };
  return paths;
}

}  // namespace

class WriteFaultsTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void everyStepOfEverySave();
};

void WriteFaultsTest::everyStepOfEverySave() {
  QStringList figures;
  int injected = 0;
  for (const auto& [name, setup] : savePaths()) {
    // Without a fault, to count the steps the save takes; it changes its file.
    int steps = 0;
    {
      World world;
      Attempt attempt = setup(world);
      const QByteArray before = test::readFile(attempt.target);
      CountedFaults counted(0);
      attempt.save();
      steps = counted.steps;
      QVERIFY2(test::readFile(attempt.target) != before, name);
      QVERIFY2(counted.kinds.size() == 5, name);  // every kind of step was offered to fail
    }
    for (int failAt = 1; failAt <= steps; ++failAt) {
      World world;
      Attempt attempt = setup(world);
      const QByteArray before = test::readFile(attempt.target);
      const QStringList shownBefore = attempt.shown();
      const QStringList entriesBefore = folderEntries(attempt.target);
      const std::size_t boxesBefore = attempt.dialogs->shown.size();
      {
        CountedFaults faults(failAt);
        attempt.save();
      }
      const QString where = QStringLiteral("%1, step %2 of %3").arg(name).arg(failAt).arg(steps);
      QVERIFY2(test::readFile(attempt.target) == before, qPrintable(where));
      QVERIFY2(attempt.shown() == shownBefore, qPrintable(where));
      QVERIFY2(folderEntries(attempt.target) == entriesBefore, qPrintable(where));
      int naming = 0;
      for (std::size_t i = boxesBefore; i < attempt.dialogs->shown.size(); ++i) {
        const QString& text = attempt.dialogs->shown[i].text;
        naming += text.contains(attempt.named);
        QVERIFY2(!text.contains("successful"), qPrintable(where + ": " + text));
      }
      QVERIFY2(naming == 1, qPrintable(where + QStringLiteral(": %1 messages").arg(naming)));
      ++injected;
    }
    figures << QStringLiteral("%1 %2").arg(name).arg(steps);
  }
  qInfo("%d faults injected: %s", injected, qPrintable(figures.join(", ")));
}

QTEST_MAIN(WriteFaultsTest)
#include "test_write_faults.moc"
