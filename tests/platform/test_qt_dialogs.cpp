#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "attachments/shortcut_help.h"
#include "platform/qt/qt_dialogs.h"

using namespace tavelin;

class QtDialogsTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void shortcutHelpInABox();
};

// The help: fifteen lines, each ended by a CR alone, a tab between a key and what it does. A box
// shows a line for each CR, alone or before a line feed.
void QtDialogsTest::shortcutHelpInABox() {
  const QString help = QStringLiteral(
      "Most common shortcut keys:\r\r"
      "F2\tSearch for string match\rF3\tSearch for next match\rF4\tEdit the current record\r"
      "F5\tBackup the file\rF6\tRestore the backup\rF9\tSend E-Mail via OUTLOOK\r"
      "ENTER\tDial first telephone number\rESC\tQuit, Clear, End, Abort\r"
      "INS\tAdd a new record\rDEL\tDelete the current record\rA-Z\tQuick jump to record\r"
      "\rOther Shortcut Keys: see the menu system.\r");
  QCOMPARE(attachments::shortcutHelpText(), help);
  QStringList shown;  // each box's title and text, read once it is open
  QList<QMessageBox::Icon> icons;
  const auto readAndClose = [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box);
    shown << box->windowTitle() << box->text();
    icons << box->icon();
    box->close();
  };
  platform::QtDialogs dialogs;
  QTimer::singleShot(0, readAndClose);
  attachments::ShowShortcutHelp(dialogs);
  QTimer::singleShot(0, readAndClose);
  platform::showMessage(dialogs, "one\r\ntwo");
  QCOMPARE(shown, QStringList({"TAVELIN keyboard shortcuts", QString(help).replace('\r', '\n'),
                               "Tavelin", "one\ntwo"}));
  QCOMPARE(icons, QList({QMessageBox::Information, QMessageBox::NoIcon}));
}

QTEST_MAIN(QtDialogsTest)
#include "test_qt_dialogs.moc"
