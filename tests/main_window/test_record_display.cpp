#include <QCheckBox>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "mainform_fixture.h"
#include "options/frm_options.h"
#include "search/search_text.h"

using namespace tavelin;

namespace {

bool bold(const QLineEdit* box) {
  return box->font().bold();
}

}  // namespace

class RecordDisplayTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void showsSelectedRecord() {
    test::MainformFixture f;
    QStringList lines;
    for (int i = 0; i < 120; ++i) {
      lines << test::recordLine(QStringLiteral("Name %1").arg(i, 3, 10, QLatin1Char('0')),
                                QStringLiteral("555 %1").arg(i));
    }
    // Leading blanks of a stored value are kept in the list, dropped in the field.
    lines << "\"   Zed   \",\"street   \"" + QString(",\"\"").repeated(12);
    f.writeDataFile(lines);
    auto& w = f.start();
    QCOMPARE(w.Frame2->title(), QStringLiteral("Record 1/121"));
    // "   Zed" sorts first (the blank orders before letters).
    QCOMPARE(f.listNames().front(), QStringLiteral("   Zed"));
    QCOMPARE(w.Text[0]->text(), QStringLiteral("Zed"));
    QCOMPARE(w.Text[1]->text(), QStringLiteral("street"));
    QCOMPARE(w.Text[4]->text(), QString());

    w.List1->setListIndex(120);
    QCOMPARE(w.Frame2->title(), QStringLiteral("Record 121/121"));
    QCOMPARE(w.Text[0]->text(), QStringLiteral("Name 119"));
    QCOMPARE(w.Text[4]->text(), QStringLiteral("555 119"));

    // A click on a name shows it, and returns an edited window to browse mode unasked.
    w.List1->setListIndex(5);
    w.Text[2]->setText(QStringLiteral("typed but not saved"));
    w.Command3->setText(QStringLiteral("Cancel"));
    w.Editing = true;
    const QRect row7 = w.List1->visualRect(w.List1->model()->index(7, 0));
    QTest::mouseClick(w.List1->viewport(), Qt::LeftButton, {}, row7.center());
    QCOMPARE(f.listIndex(), 7);
    QCOMPARE(w.Text[0]->text(), QStringLiteral("Name 006"));
    QCOMPARE(w.Text[2]->text(), QString());
    QCOMPARE(w.Command3->text(), QStringLiteral("Delete"));
    QVERIFY(!w.Editing);
  }

  // Keys move through the list; the page glyph is underlined while the shown record has a note.
  void keyboardNavigation() {
    test::MainformFixture f;
    f.writeDataFile({test::recordLine("anna"), test::recordLine("Bert"), test::recordLine("Bob"),
                     test::recordLine("carl"), test::recordLine("1st Street Club"),
                     test::recordLine("../etc/passwd")});
    test::writeFile(f.env.workPath("Bert.ATA"), "note\r\n");
    auto& w = f.start();
    QCOMPARE(f.listNames(),
             (QStringList{"../etc/passwd", "1st Street Club", "anna", "Bert", "Bob", "carl"}));
    w.List1->setFocus();
    QTest::keyClick(w.List1, Qt::Key_Down);
    QCOMPARE(w.Text[0]->text(), QStringLiteral("1st Street Club"));
    QTest::keyClick(w.List1, Qt::Key_End);
    QCOMPARE(w.Frame2->title(), QStringLiteral("Record 6/6"));
    QTest::keyClick(w.List1, Qt::Key_Home);
    QVERIFY(!w.Label13->font().underline());

    // The initial jumps to the next name after the selected one, wrapping, case ignored; no such
    // name: it stays.
    for (const auto& [initial, name, note] : {std::tuple{"b", "Bert", true},
                                              {"B", "Bob", false},
                                              {"b", "Bert", true},
                                              {"1", "1st Street Club", false},
                                              {"z", "1st Street Club", false}}) {
      QTest::keyClicks(w.List1, initial);
      QCOMPARE(w.Text[0]->text(), QString(name));
      QCOMPARE(w.Label13->font().underline(), note);
    }
  }

  // The search, the fields it marks in bold, and the ways to clear it.
  void searchMarksAndEsc() {
    // Row 35 is the extra "Name 35", sorting first for want of a phone.
    QStringList lines = {"\"Name 35\"" + QString(",\"\"").repeated(12) + ",\"it's 'quoted'\""};
    for (int i = 0; i < 60; ++i) {
      const QString n = QString("%1").arg(i, 2, 10, QLatin1Char('0'));
      lines << test::recordLine("Name " + n, i == 30 ? QString("call smith's office") : "555 " + n,
                                i == 12 ? "jo@SMITHY.org" : "");
    }
    test::MainformFixture f;
    f.writeDataFile(lines);
    auto& w = f.start();
    w.Timer1->stop();
    auto& dialogs = f.platform.fakeDialogs;
    const auto topRow = [&] { return w.List1->indexAt(QPoint(2, 2)).row(); };
    QVERIFY(!bold(w.Text[5]));  // no search string: even empty fields stay regular

    // From row 0, any case, kept in proper case, shown at the top; no wrap; Check2 (on) clears.
    w.List1->setListIndex(20);
    dialogs.inputAnswers = {"sMITH"};
    QTest::mouseClick(w.Command8, Qt::LeftButton);
    QVERIFY(w.SearchString == "Smith" && f.listIndex() == 12 && topRow() == 12);
    QVERIFY(bold(w.Text[8]) && !bold(w.Text[0]) && !bold(w.Text[4]));
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    QVERIFY(f.listIndex() == 30 && topRow() == 30);
    QVERIFY(bold(w.Text[4]) && !bold(w.Text[8]));
    w.menuItem("mnuNext")->trigger();
    QCOMPARE(dialogs.texts(), QStringList{"No (more) matching records found."});
    QVERIFY(f.listIndex() == 30 && w.SearchString.isEmpty() && w.Command5->text() == "Quit");

    dialogs.inputAnswers = {"\"QUOTED\""};  // a double quote searches for an apostrophe
    w.menuItem("mnuFind")->trigger();
    QVERIFY(w.SearchString == "'quoted'" && f.listIndex() == 35);

    // The padding keeps a name and the next field apart. Without Check2 a failed search stays.
    w.frmOptions().Check2->setChecked(false);
    dialogs.inputAnswers = {"00555"};
    w.NewSearch();
    QVERIFY(dialogs.shown.size() == 2 && w.SearchString == "00555" &&
            w.Command5->text() == "Clear");

    // Cancel clears, as does Clear, which does not quit.
    QSignalSpy ended(&w, &main_window::Mainform::programEnded);
    for (const bool cancel : {true, false}) {
      dialogs.inputAnswers = {"smith"};
      w.NewSearch();
      cancel ? w.NewSearch() : QTest::mouseClick(w.Command5, Qt::LeftButton);
      QVERIFY(w.SearchString.isEmpty() && w.Command5->text() == "Quit" && ended.count() == 0);
    }

    // Esc with a search string clears it and the marks; the second Esc ends the program.
    dialogs.inputAnswers = {"smith"};
    w.NewSearch();
    QVERIFY(f.listIndex() == 12 && bold(w.Text[8]));
    QTest::keyClick(w.List1, Qt::Key_Escape);
    QVERIFY(w.SearchString.isEmpty() && w.Command5->text() == "Quit" && !bold(w.Text[8]));
    QCOMPARE(ended.count(), 0);
    QTest::keyClick(w.List1, Qt::Key_Escape);
    QCOMPARE(ended.count(), 1);
  }

  // The text work under the search: proper case and the match itself.
  void properCaseAndMatching() {
    // Only blanks and control separators start a word; one character stays one (ß).
    QCOMPARE(search::properCase(QString(u"sMITH o'neil-x.y\tb\rc" + QChar(0) + u"d  straße é")),
             QString(u"Smith O'neil-x.y\tB\rC" + QChar(0) + u"D  Straße É"));

    // Random cases against a plain search of the fields padded to 80 characters, in capitals.
    QRandomGenerator random(7);
    const auto text = [&](int maxLength) {
      QString s;
      for (int i = random.bounded(maxLength + 1); i > 0; --i) s += u"abAB ıI-é"[random.bounded(9)];
      while (s.endsWith(u' ')) s.chop(1);  // as the table stores it
      return s;
    };
    int hits = 0;
    for (int round = 0; round < 400; ++round) {
      std::array<QString, kFieldCount> record;
      std::array<QStringView, kFieldCount> views;
      QString padded;
      for (int k = 0; k < kFieldCount; ++k) {
        views[k] = record[k] = random.bounded(3) ? text(random.bounded(2) ? 6 : 80) : QString();
        padded += record[k].leftJustified(kFieldWidth);
      }
      const int at = random.bounded(padded.size());
      const QString needle = random.bounded(2) ? text(4) : padded.mid(at, 1 + random.bounded(100));
      const bool expected = padded.toUpper().contains(needle.toUpper());
      QCOMPARE(search::SearchMatcher(needle.toLower()).matches(views), expected);
      hits += expected;
    }
    QVERIFY(hits > 100 && hits < 400);  // both outcomes were exercised
  }
};

QTEST_MAIN(RecordDisplayTest)
#include "test_record_display.moc"
