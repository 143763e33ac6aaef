#include <QRandomGenerator>
#include <QTest>

#include "main_window/search_text.h"
#include "main_window/title_text.h"

using namespace tavelin;
using Fields = std::array<QString, kFieldCount>;

namespace {

bool matches(const QString& searchString, const Fields& fields) {
  std::array<QStringView, kFieldCount> views;
  for (int k = 0; k < kFieldCount; ++k) views[k] = fields[k];
  return main_window::SearchMatcher(searchString).matches(views);
}

QString upper(QString s) {
  for (QChar& c : s) c = c.toUpper();
  return s;
}

}  // namespace

class SearchTextTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void properCase();
  void matching();
  void title();
};

void SearchTextTest::properCase() {
  using main_window::properCase;
  QCOMPARE(properCase(u"sMITH van DER"), QStringLiteral("Smith Van Der"));
  // Only blanks and control separators start a word; one character stays one (ß).
  const QChar nul(0);
  QCOMPARE(
      properCase(QString(QStringLiteral("o'neil-x.y\tb\rc") + nul + QStringLiteral("d  straße é"))),
      QStringLiteral("O'neil-x.y\tB\rC") + nul + QStringLiteral("D  Straße É"));
}

void SearchTextTest::matching() {
  Fields r;
  r[0] = QStringLiteral("Ann Example");
  r[1] = QStringLiteral("Road");
  r[8] = QStringLiteral("ann@example.org");
  QVERIFY(matches("EXAMPLE.org", r) && !matches("Bob", r));
  // Fields are kept apart by their padding to 80 characters.
  const QString gap(80 - 11, QLatin1Char(' '));
  QVERIFY(!matches("ExampleRoad", r));
  QVERIFY(matches("example" + gap + "road", r) && !matches("example" + gap.chopped(1) + "road", r));
  // A full field runs straight into the next; a dotless i has the capital I.
  Fields full;
  full[0] = QString(79, QLatin1Char('a')) + QStringLiteral("Z");
  full[1] = QStringLiteral("ıx");
  QVERIFY(matches("zIX", full));

  // Random records and needles against a plain substring test on the padded, upper-cased text.
  QRandomGenerator random(7);
  const QString alphabet = QStringLiteral("abAB ıI-é");
  auto text = [&](int maxLength) {
    QString s;
    for (int i = random.bounded(maxLength + 1); i > 0; --i) s += alphabet[random.bounded(9)];
    while (s.endsWith(QLatin1Char(' '))) s.chop(1);  // as the table stores it
    return s;
  };
  int hits = 0;
  for (int round = 0; round < 400; ++round) {
    Fields record;
    QString padded;
    for (QString& f : record) {
      f = random.bounded(3) ? text(random.bounded(2) ? 6 : 80) : QString();
      padded += f.leftJustified(kFieldWidth, QLatin1Char(' '));
    }
    const int at = random.bounded(padded.size());
    const QString needle =
        random.bounded(2) ? text(4) : padded.mid(at, 1 + random.bounded(100)).toLower();
    const bool expected = upper(padded).contains(upper(needle));
    hits += expected;
    QCOMPARE(matches(needle, record), expected);
  }
  QVERIFY(hits > 100 && hits < 400);  // both outcomes were exercised
}

void SearchTextTest::title() {
  using main_window::titleText;
  QCOMPARE(titleText({}, QTime(9, 5), "1-2", "x"), QStringLiteral("Malvek Tavelin"));
  QCOMPARE(
      titleText({true, true, true}, QTime(9, 5), "1-2", "a very long search string indeed"),
      QStringLiteral("Malvek Tavelin [09:05]  [1-2]  [Search String: A Very Long Search String]"));
  QCOMPARE(titleText({true, false, true}, QTime(23, 0), "1-2", "   "),
           QStringLiteral("Malvek Tavelin [23:00]"));
}

QTEST_MAIN(SearchTextTest)
#include "test_search_text.moc"
