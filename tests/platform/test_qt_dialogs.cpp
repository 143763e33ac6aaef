#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "attachments/shortcut_help.h"
#include "platform/qt/qt_dialogs.h"

using namespace tavelin;

class QtDialogsTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void linesEndedByCrAloneAreShownAsLines();
};

// The box as the user sees it: read once it is open, then answered with its default button.
void QtDialogsTest::linesEndedByCrAloneAreShownAsLines() {
  QString shownText, shownTitle;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box);
    shownText = box->text();
    shownTitle = box->windowTitle();
    box->defaultButton()->click();
  });
  platform::QtDialogs dialogs;
  attachments::ShowShortcutHelp(dialogs);
  QCOMPARE(shownTitle, QStringLiteral("TAVELIN keyboard shortcuts"));
  QVERIFY(!shownText.contains(QLatin1Char('\r')));
  QCOMPARE(shownText.split(QLatin1Char('\n')).size(), 16);  // fifteen lines and the last end
  QVERIFY(shownText.contains(QStringLiteral("\nF2\tSearch for string match\n")));
}

QTEST_MAIN(QtDialogsTest)
#include "test_qt_dialogs.moc"
