#include <QRandomGenerator>
#include <QTest>

#include "search/search_text.h"

using namespace tavelin;

class SearchTextTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void properCaseAndMatching();
};

void SearchTextTest::properCaseAndMatching() {
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

QTEST_MAIN(SearchTextTest)
#include "test_search_text.moc"
