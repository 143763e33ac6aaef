#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <functional>

#include "dialer/comm_control.h"
#include "mainform_fixture.h"
#include "options/frm_options.h"
#include "record_store/options_file.h"
#include "record_store/paths.h"

using namespace tavelin;
using platform::Icon;

class StartupTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  // First start: folders and the default options file appear, one blank row, no messages; a
  // stored "Settings" value reaches the serial line (the other stored values: test_comm_control).
  void cleanMachine() {
    test::MainformFixture f;
    f.platform.fakeSettings.values["Properties/Settings"] = "2400,n,8,1";
    auto& w = f.start();
    QCOMPARE(w.MSComm1().settings(), QStringLiteral("2400,n,8,1"));
    QVERIFY(QDir(fixedFolder(f.env.configRoot())).exists());
    QCOMPARE(test::readFile(optionsFilePath(f.env.configRoot())), defaultOptionsFile());
    QVERIFY(!QFile::exists(f.env.workPath(kDataFileName)));  // not created by loading
    QCOMPARE(f.listNames(), QStringList{QString()});
    QCOMPARE(w.Frame2->title(), QStringLiteral("Record 1/1"));
    QVERIFY(w.isVisible() && !w.frmOptions().isVisible());
    QVERIFY(f.platform.fakeDialogs.shown.empty());

    // A configuration folder that does not exist yet is made.
    platform::FakePlatform fresh(f.env.configRoot() + QStringLiteral("/new/config"));
    main_window::Mainform(fresh).Form_Load();
    QCOMPARE(test::readFile(optionsFilePath(fresh.configRoot())), defaultOptionsFile());

    // A second start on the same folders reports nothing either.
    w.close();
    f.start();
    QVERIFY(f.platform.fakeDialogs.shown.empty());
    QCOMPARE(f.window->Frame2->title(), QStringLiteral("Record 1/1"));
  }

  // The list sorted, the auto-backup made; a save killed between naming its temporary file and
  // renaming it left that file, which the start removes (which files are such: test_crash_safety).
  void loadsSortedFileAndAutoBackup() {
    // Auto-backup on: the options file with Check3 set.
    const auto autoBackup = [](const test::MainformFixture& f) {
      OptionValues options = defaultOptions();
      options.flags[2] = 1;
      QDir().mkpath(fixedFolder(f.env.configRoot()));
      test::writeFile(optionsFilePath(f.env.configRoot()), formatOptions(options));
    };
    test::MainformFixture f;
    f.writeDataFile(
        {test::recordLine("Carla"), test::recordLine("anna"), test::recordLine("Bram")});
    autoBackup(f);
    test::writeFile(f.env.workPath("TAVELIN.FIL.aB3xYz"), "half a save");

    bool visibleWhenAsked = false;
    f.platform.fakeDialogs.whileOpen = [&](const platform::Message&) {
      visibleWhenAsked = f.window->isVisible();
    };
    auto& w = f.start();
    QCOMPARE(f.listNames(), (QStringList{"anna", "Bram", "Carla"}));
    QCOMPARE(w.Frame2->title(), QStringLiteral("Record 1/3"));
    QCOMPARE(test::readFile(f.env.workPath(kBackupFileName)), f.dataFile());
    QCOMPARE(f.platform.fakeDialogs.shown.size(), size_t(1));
    const platform::Message& m = f.platform.fakeDialogs.shown.front();
    QCOMPARE(m.text + " | " + m.title,
             QStringLiteral("Auto-backup successful. | Tavelin auto-backup"));
    QCOMPARE(m.icon, Icon::Information);
    QVERIFY(visibleWhenAsked);
    QVERIFY(!QFile::exists(f.env.workPath("TAVELIN.FIL.aB3xYz")));

    // Without a data file there is nothing to copy, and nothing is said.
    test::MainformFixture empty;
    autoBackup(empty);
    empty.start();
    QVERIFY(empty.platform.fakeDialogs.shown.empty());
    QVERIFY(!QFile::exists(empty.env.workPath(kBackupFileName)));
  }

  // Names, captions, places and shortcut keys of the window's controls and menu.
  void windowModel() {
    test::MainformFixture f;
    auto& w = f.start();
    QCOMPARE(w.centralWidget()->size(), QSize(538, 345));
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(w.Frame1->title(), QStringLiteral("Record Fields"));
    QCOMPARE(w.Frame1->geometry(), QRect(8, 0, 257, 289));
    QCOMPARE(w.Text[13]->geometry().top(), 260);  // 3907 twips
    QCOMPARE(w.Text[0]->maxLength(), 80);
    QCOMPARE(w.Label12->accessibleName(), QStringLiteral("Dial phone 4"));
    QCOMPARE(w.Label12->toolTip(), QStringLiteral("Click to dial"));
    QStringList captions;
    for (QPushButton* b : {w.Command1, w.Command2, w.Command3, w.Command4, w.Command5, w.Command6,
                           w.Command7, w.Command8, w.Command9}) {
      captions << b->text();
      QCOMPARE(b->focusPolicy(), Qt::ClickFocus);
    }
    QCOMPARE(captions, (QStringList{"Next", "Edit", "Delete", "Add", "Quit", "Backup", "Restore",
                                    "Search", "Info"}));
    QCOMPARE(QApplication::focusWidget(), w.List1);

    // Menu bar: menus in order with their items; "-" marks a separator. No two share a key.
    QStringList menus;
    QSet<QKeySequence> keys;
    for (QAction* a : w.menuBar()->actions()) {
      QStringList items;
      for (QAction* item : a->menu()->actions()) {
        items << (item->isSeparator() ? QStringLiteral("-") : item->text()) + QLatin1Char('|') +
                     item->shortcut().toString();
        QVERIFY2(item->shortcut().isEmpty() || !keys.contains(item->shortcut()),
                 qPrintable(items.last()));
        keys << item->shortcut();
      }
      menus << a->text() + QLatin1Char(':') + items.join(QLatin1Char(';'));
    }
    QCOMPARE(menus.size(), 9);
    QCOMPARE(menus[0],
             QStringLiteral("&File:&Backup|F5;&Restore|F6;-|;Backup to floppy|Ctrl+F5;"
                            "Restore from floppy|Ctrl+F6;&Import contacts...|Ctrl+Shift+I;"
                            "&Export contacts...|Ctrl+Shift+E;-|;&Quit|Ctrl+Q"));
    QCOMPARE(menus[3],
             QStringLiteral("&Print:Print &current record|Ctrl+C;Print &all records|"
                            "Ctrl+A;-|;&Font && style|Ctrl+F;Set default &printer|Ctrl+P"));
    QCOMPARE(menus[7],
             QStringLiteral("&Extra:&Open attached text file|Ctrl+T;-|;&Kill the attached "
                            "text file|Ctrl+K;Kill AL&L attached text files|Ctrl+L;-|;"
                            "Synchronise with &server|Ctrl+Shift+S;Server &account...|;-|;"
                            "&Options|Ctrl+O"));
    QCOMPARE(menus[8], QStringLiteral("&Help:&Shortcuts help|F1;&File information|Shift+F1;-|;"
                                      "&Htm manual|Ctrl+Shift+F1;-|;&About the program|"));
    QVERIFY(w.menuItem("mnuKillAll") && w.menuItem("mnuStreep")->isSeparator());

    // With the desktop's font every row caption shows whole, left of its glyph, and every glyph
    // left of the fields.
    const std::pair<QLabel*, QLabel*> rows[] = {{w.Label1, w.Label5},   {w.Label4, w.Label3},
                                                {w.Label9, w.Label6},   {w.Label7, w.Label8},
                                                {w.Label14, w.Label13}, {w.Label2, nullptr}};
    for (const auto& [caption, glyph] : rows) {
      const int textRight = caption->x() + caption->sizeHint().width();
      QVERIFY2(caption->width() >= caption->sizeHint().width(), qPrintable(caption->text()));
      if (glyph) QVERIFY2(glyph->x() > textRight, qPrintable(caption->text()));
      QVERIFY2(w.Text[0]->x() > (glyph ? glyph->geometry().right() : textRight),
               qPrintable(caption->text()));
    }
    for (QLineEdit* field : w.Text)
      QCOMPARE(field->geometry().right(), w.Text[0]->geometry().right());
  }

  void ways_to_end() {
    // Quit in the menu, the Quit button and Esc in the list end at once, asking nothing.
    const std::function<void(main_window::Mainform&)> ways[] = {
        [](main_window::Mainform& w) { w.menuItem("mnuQuit")->trigger(); },
        [](main_window::Mainform& w) { QTest::mouseClick(w.Command5, Qt::LeftButton); },
        [](main_window::Mainform& w) { QTest::keyClick(w.List1, Qt::Key_Escape); },
    };
    for (const auto& end : ways) {
      test::MainformFixture f;
      auto& w = f.start();
      QSignalSpy ended(&w, &main_window::Mainform::programEnded);
      end(w);
      QCOMPARE(ended.count(), 1);
      QVERIFY(f.platform.fakeDialogs.shown.empty());
    }
  }

  // A data file that cannot be read is named at start, and neither a save nor a backup
  // replaces it.
  void unreadableDataFile() {
    test::MainformFixture f;
    QVERIFY(QDir().mkdir(f.env.workPath(kDataFileName)));
    auto& w = f.start();
    QCOMPARE(f.platform.fakeDialogs.shown.size(), size_t(1));
    const platform::Message& shown = f.platform.fakeDialogs.shown.front();
    QCOMPARE(shown.icon, Icon::Critical);
    QCOMPARE(shown.text, QStringLiteral("The address book \"%1\" could not be read (it is a "
                                        "folder). Its records are not shown, and nothing will be "
                                        "written over it.")
                             .arg(QDir::toNativeSeparators(f.env.workPath(kDataFileName))));
    QCOMPARE(f.listNames(), QStringList{QString()});

    f.platform.fakeDialogs.clear();
    f.platform.fakeDialogs.answers = {platform::Button::Yes};
    w.BackupFile();
    QCOMPARE(f.platform.fakeDialogs.shown.size(), size_t(2));
    QVERIFY(f.platform.fakeDialogs.shown.back().text.contains(
        u"(TAVELIN.FIL could not be read: it is a folder). Nothing was changed."));
    QVERIFY(!QFile::exists(f.env.workPath(kBackupFileName)));
    QVERIFY(QFileInfo(f.env.workPath(kDataFileName)).isDir());
  }
};

QTEST_MAIN(StartupTest)
#include "test_startup.moc"
