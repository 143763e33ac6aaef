// The window's part of the contact exchange and of the sync: what an import, a dropped file or a
// sync brought shown at once (a sync's without the change watcher's report), the title during a
// sync, a save calling for one. The menu items: test_startup (place, key), test_output_wiring (mode
// policy). What the import, the export and the sync do is their own tests'.
#include <QAction>
#include <QCheckBox>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "fake_sync_runner.h"
#include "mainform_fixture.h"
#include "options/frm_options.h"
#include "record_store/paths.h"
#include "sync/sync_settings.h"
#include "sync_ui/sync_controller.h"

using namespace tavelin;
using test::recordLine;

namespace {

QByteArray cards(const QStringList& names) {
  QByteArray out;
  for (const QString& n : names) out += "BEGIN:VCARD\r\nFN:" + n.toUtf8() + "\r\nEND:VCARD\r\n";
  return out;
}

// Drags the file over the window and drops it; whether the window took the drag.
bool dropFile(QWidget& window, const QString& path) {
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &drop);
  return drop.isAccepted();
}

// An account with its password, Ann and Cleo in the file, and the fake sync plugged in before
// start-up.
main_window::Mainform& startSyncing(test::MainformFixture& f, test::FakeRunners& runners) {
  sync::SyncSettings account;
  account.url = QStringLiteral("https://dav.example.org/ann/book/");
  account.user = QStringLiteral("ann");
  sync::writeSyncSettings(f.platform.fakeSettings, account);
  f.platform.fakeSecrets.secrets.insert(
      platform::FakeSecretStore::key(sync::kSecretService, account.secretAccount()),
      QStringLiteral("secret"));
  f.syncRunners = runners.factory();
  f.writeDataFile({recordLine("Ann"), recordLine("Cleo")});
  return f.start();
}

void after(test::MainformFixture& f, int seconds) {
  f.platform.fakeClock.time = f.platform.fakeClock.time.addSecs(seconds);
  f.window->syncController().tick();
}

// The sync brings Bob, saving the file as another copy would.
void bringBob(test::MainformFixture& f, test::FakeRunners& runners) {
  f.writeDataFile({recordLine("Ann"), recordLine("Bob"), recordLine("Cleo")});
  sync::SyncSummary summary;
  summary.addedHere = 1;
  runners.last()->end(test::succeeded(summary));
}

}  // namespace

class ExchangeSyncWiringTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // By the menu or dropped on the window (a contacts file by its name, and not while adding),
  // the import shows the first contact it brought.
  void importShowsTheFirstContact() {
    test::MainformFixture f;
    f.writeDataFile({recordLine("Ann"), recordLine("Zed")});
    auto& w = f.start();
    test::writeFile(f.env.workPath("in.vcf"), cards({"Mia", "Bob", "Ann"}));
    f.platform.fakeDialogs.fileAnswers.push_back(f.env.workPath("in.vcf"));
    w.menuItem("mnuImport")->trigger();
    QCOMPARE(f.listNames(), (QStringList{"Ann", "Bob", "Mia", "Zed"}));
    QCOMPARE(f.fieldTexts().first(), QStringLiteral("Mia"));  // the first one imported
    QCOMPARE(f.listIndex(), 2);
    QCOMPARE(f.platform.fakeDialogs.texts(),
             QStringList{"2 contacts imported; 1 were already in the address book; 0 could not "
                         "be read."});

    test::writeFile(f.env.workPath("in.vcf"), cards({"Cleo"}));
    test::writeFile(f.env.workPath("in.txt"), cards({"Dora"}));
    QVERIFY(!dropFile(w, f.env.workPath("in.txt")));
    w.AddRecord();
    QVERIFY(!dropFile(w, f.env.workPath("in.vcf")));
    w.DeleteOrCancel();
    QVERIFY(dropFile(w, f.env.workPath("in.vcf")));
    QCOMPARE(f.listNames(), (QStringList{"Ann", "Bob", "Cleo", "Mia", "Zed"}));
    QCOMPARE(f.fieldTexts().first(), QStringLiteral("Cleo"));
  }

  // The title shows the progress. What the sync brought, the list shows at once, the same
  // contact stays selected, and the change watcher has nothing to report.
  void whatTheSyncBroughtIsShownAtOnce() {
    test::MainformFixture f;
    test::FakeRunners runners;
    auto& w = startSyncing(f, runners);
    w.frmOptions().chkMulti->setChecked(true);
    w.List1->setListIndex(1);  // Cleo
    after(f, 1);
    QCOMPARE(runners.dataFiles.last(), kDataFileName);
    runners.last()->report(1200, 15000);
    w.Timer1_Timer();
    QVERIFY2(w.windowTitle().endsWith(QLatin1String(" - Synchronising 1200/15000")),
             qPrintable(w.windowTitle()));
    bringBob(f, runners);
    QCOMPARE(f.listNames(), (QStringList{"Ann", "Bob", "Cleo"}));
    QCOMPARE(f.fieldTexts().first(), QStringLiteral("Cleo"));
    w.Timer1_Timer();
    QVERIFY(!w.windowTitle().contains(QLatin1String("Synchronising")));
    w.Timer2_Timer();
    w.Timer2_Timer();
    QVERIFY(f.platform.fakeDialogs.shown.empty());
  }

  // An edit in progress keeps what is typed; the list follows once it is saved.
  void anEditInProgressIsLeftAlone() {
    test::MainformFixture f;
    test::FakeRunners runners;
    auto& w = startSyncing(f, runners);
    after(f, 1);
    w.List1->setListIndex(0);
    QTest::mouseClick(w.Command2, Qt::LeftButton);  // edit Ann
    w.Text[0]->setText("Anna");
    bringBob(f, runners);
    after(f, 1);
    QCOMPARE(w.Text[0]->text(), QStringLiteral("Anna"));
    QVERIFY(w.Editing);
    QTest::mouseClick(w.Command2, Qt::LeftButton);  // save
    QCOMPARE(f.listNames(), (QStringList{"Anna", "Bob", "Cleo"}));
    // The save calls for the next sync a few seconds later.
    QCOMPARE(w.syncController().nextSync(),
             f.platform.fakeClock.time.addSecs(sync_ui::SyncController::kAfterSaveSeconds));
  }
};

QTEST_MAIN(ExchangeSyncWiringTest)
#include "test_exchange_sync_wiring.moc"
