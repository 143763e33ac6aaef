#include <QTest>

#include "attachments/shortcut_help.h"
#include "platform/fake/fake_platform.h"

using namespace tavelin;

class ShortcutHelpTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void textAndBox();
};

void ShortcutHelpTest::textAndBox() {
  // Fifteen lines, each ended by a CR alone; one tab between a key and its description.
  const QString expected = QStringLiteral(
      "Most common shortcut keys:\r\r"
      "F2\tSearch for string match\rF3\tSearch for next match\rF4\tEdit the current record\r"
      "F5\tBackup the file\rF6\tRestore the backup\rF9\tSend E-Mail via OUTLOOK\r"
      "ENTER\tDial first telephone number\rESC\tQuit, Clear, End, Abort\r"
      "INS\tAdd a new record\rDEL\tDelete the current record\rA-Z\tQuick jump to record\r"
      "\rOther Shortcut Keys: see the menu system.\r");
  QCOMPARE(attachments::shortcutHelpText(), expected);
  QCOMPARE(expected.count(QLatin1Char('\r')), 15);

  platform::FakeDialogs dialogs;
  attachments::ShowShortcutHelp(dialogs);
  QCOMPARE(dialogs.shown.size(), size_t(1));
  QCOMPARE(dialogs.shown[0].text, expected);
  QCOMPARE(dialogs.shown[0].title, QStringLiteral("TAVELIN keyboard shortcuts"));
  QCOMPARE(dialogs.shown[0].icon, platform::Icon::Information);
  QCOMPARE(dialogs.shown[0].buttons, platform::Buttons::Ok);
}

QTEST_MAIN(ShortcutHelpTest)
#include "test_shortcut_help.moc"
