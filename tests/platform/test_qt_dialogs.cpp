#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "attachments/shortcut_help.h"
#include "platform/qt/qt_dialogs.h"
#include "support/test_env.h"

using namespace tavelin;

class QtDialogsTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  // The help: fifteen lines, each ended by a CR alone, a tab between a key and what it does. A box
  // shows a line for each CR, alone or before a line feed.
  void shortcutHelpInABox() {
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

  // Yes, No and Cancel; closing the box is Cancel.
  void sendQuestion() {
    platform::QtDialogs dialogs;
    platform::Message ask;
    ask.text = QStringLiteral("Send it?");
    ask.buttons = platform::Buttons::YesNoCancel;
    ask.defaultButton = platform::Button::Yes;
    int buttons = 0;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box &&
              static_cast<QAbstractButton*>(box->defaultButton()) == box->button(QMessageBox::Yes));
      buttons = static_cast<int>(box->buttons().size());
      box->button(QMessageBox::No)->click();
    });
    QCOMPARE(dialogs.message(ask), platform::Button::No);
    QCOMPARE(buttons, 3);
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    QCOMPARE(dialogs.message(ask), platform::Button::Cancel);
  }

  // The chosen file or font comes back; Cancel comes back as nothing.
  void fileAndFontDialogs() {
    test::TestEnvironment env;
    platform::QtDialogs dialogs;
    const platform::FileRequest request{{QStringLiteral("Text (*.txt)")}, QStringLiteral("txt")};
    QStringList filters;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      filters = dialog->nameFilters();
      dialog->reject();
    });
    QVERIFY(!dialogs.saveFileName(request));
    QCOMPARE(filters, request.filters);
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      dialog->selectFile(env.workPath(QStringLiteral("letter")));
      static_cast<QDialog*>(dialog)->accept();
    });
    QCOMPARE(dialogs.saveFileName(request), env.workPath(QStringLiteral("letter.txt")));

    const platform::FontChoice preset{QStringLiteral("DejaVu Sans Mono"), 11, true, false};
    QFont shown;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      shown = dialog->currentFont();
      dialog->reject();
    });
    QVERIFY(!dialogs.chooseFont(preset));
    QVERIFY(shown.family() == preset.name && shown.bold() && !shown.italic());
    QTimer::singleShot(0,
                       [] { qobject_cast<QDialog*>(QApplication::activeModalWidget())->accept(); });
    const std::optional<platform::FontChoice> chosen = dialogs.chooseFont(preset);
    QVERIFY(chosen && chosen->name == preset.name && chosen->size == 11 && chosen->bold);
  }
};

QTEST_MAIN(QtDialogsTest)
#include "test_qt_dialogs.moc"
