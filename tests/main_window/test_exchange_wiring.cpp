// The window's part of the contact exchange: the File menu's two items and their browse-mode
// policy, the import shown in the list, and a file dropped on the window. What the import and
// export do is the exchange tests'.
#include <QAction>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "mainform_fixture.h"
#include "record_store/paths.h"

using namespace tavelin;

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

}  // namespace

class ExchangeWiringTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void menuItems() {
    test::MainformFixture f;
    auto& w = f.start();
    QAction* import = w.menuItem("mnuImport");
    QAction* exportItem = w.menuItem("mnuExport");
    QVERIFY(import && exportItem);
    QCOMPARE(import->text(), QStringLiteral("&Import contacts..."));
    QCOMPARE(exportItem->text(), QStringLiteral("&Export contacts..."));
    // After "Restore from floppy", before the separator above "Quit".
    const QList<QAction*> file =
        w.menuItem("mnuRA")->associatedObjects().isEmpty()
            ? QList<QAction*>()
            : qobject_cast<QMenu*>(w.menuItem("mnuRA")->associatedObjects().first())->actions();
    const qsizetype at = file.indexOf(w.menuItem("mnuRA"));
    QVERIFY(at >= 0);
    QCOMPARE(file.value(at + 1), import);
    QCOMPARE(file.value(at + 2), exportItem);
    QVERIFY(file.value(at + 3)->isSeparator());
    QCOMPARE(file.value(at + 4), w.menuItem("mnuQuit"));
    // No key of the window's own.
    QList<QKeySequence> others;
    for (QAction* action : w.findChildren<QAction*>()) {
      if (action != import && action != exportItem && !action->shortcut().isEmpty()) {
        others.append(action->shortcut());
      }
    }
    QVERIFY(!import->shortcut().isEmpty() && !others.contains(import->shortcut()));
    QVERIFY(!exportItem->shortcut().isEmpty() && !others.contains(exportItem->shortcut()));

    // Enabled in browse mode only, as the refresher decides.
    w.Timer1_Timer();
    QVERIFY(import->isEnabled() && exportItem->isEnabled());
    w.AddRecord();
    w.Timer1_Timer();
    QVERIFY(!import->isEnabled() && !exportItem->isEnabled());
  }

  void importShowsTheFirstContact() {
    test::MainformFixture f;
    f.writeDataFile({test::recordLine("Ann"), test::recordLine("Zed")});
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
  }

  void drop() {
    test::MainformFixture f;
    f.writeDataFile({test::recordLine("Ann")});
    auto& w = f.start();
    test::writeFile(f.env.workPath("in.vcf"), cards({"Bob"}));
    test::writeFile(f.env.workPath("in.txt"), cards({"Cleo"}));
    QVERIFY(!dropFile(w, f.env.workPath("in.txt")));  // not a contacts file by its name
    w.AddRecord();
    QVERIFY(!dropFile(w, f.env.workPath("in.vcf")));  // not while adding
    w.DeleteOrCancel();
    QVERIFY(dropFile(w, f.env.workPath("in.vcf")));
    QCOMPARE(f.listNames(), (QStringList{"Ann", "Bob"}));
    QCOMPARE(f.fieldTexts().first(), QStringLiteral("Bob"));
  }
};

QTEST_MAIN(ExchangeWiringTest)
#include "test_exchange_wiring.moc"
