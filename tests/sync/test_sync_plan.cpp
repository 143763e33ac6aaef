// What a sync decides from both sides: each case of a contact changed, added or deleted here,
// there or on both sides, with the journal of saves or without it.
#include <QTest>

#include "sync/card_merge.h"
#include "sync/sync_plan.h"

using namespace tavelin;
using namespace tavelin::sync;

using Cards = QList<FetchedCard>;
using Journal = QList<ChangeSet>;
using Counts = QList<int>;  // added, changed, removed here; conflicts
Q_DECLARE_METATYPE(Cards)
Q_DECLARE_METATYPE(Journal)
Q_DECLARE_METATYPE(Counts)
Q_DECLARE_METATYPE(tavelin::ChangeSet)

namespace {

FieldTexts person(const QString& name, const QString& phone = {}, const QString& mail = {}) {
  FieldTexts f;
  f[0] = name;
  f[4] = phone;
  f[8] = mail;
  return f;
}

QString line(const FieldTexts& f) {
  return fieldsLine(f);
}

const QString kHrefA = u"/b/a.vcf"_qs;
const FieldTexts kA = person(u"Ann Lee"_qs, u"111"_qs);
const FieldTexts kB = person(u"Bo Ek"_qs, u"222"_qs);

SyncedContact synced(const QString& uid, const QString& href, const FieldTexts& f) {
  return {uid, href, "\"1\"", newCard(f, uid), line(f), SyncedContact::Pending::None};
}

FetchedCard there(const QString& href, const QString& uid, const FieldTexts& f,
                  const QByteArray& extra = {}) {
  QByteArray card = newCard(f, uid);
  card.replace("END:VCARD", QByteArray(extra + "END:VCARD"));
  return {href, "\"2\"", card};
}

ChangeSet replaced(const QString& before, const QString& after) {
  ChangeSet set;
  set.replaced.append({before, after});
  return set;
}
ChangeSet removed(const QString& gone) {
  ChangeSet set;
  set.removed << gone;
  return set;
}
ChangeSet added(const QString& line) {
  ChangeSet set;
  set.added << line;
  return set;
}

// New cards get the UIDs n1, n2... and the hrefs /b/UID.vcf.
PlanInput input(const QStringList& lines, std::vector<SyncedContact> contacts = {}) {
  PlanInput in;
  in.lines = lines;
  in.state.contacts = std::move(contacts);
  in.newUid = [uids = 0]() mutable -> QString { return u"n"_qs + QString::number(++uids); };
  in.hrefFor = [](const QString& uid) -> QString { return u"/b/"_qs + uid + u".vcf"_qs; };
  return in;
}

// The plan's contacts as "a" for /b/a.vcf with nothing to send, "a+" to upload, "a-" to remove.
QString pending(const Plan& plan) {
  QStringList out;
  for (const SyncedContact& c : plan.state.contacts) {
    const QString name = c.href.startsWith(u"/b/"_qs) ? c.href.mid(3).chopped(4) : c.href;
    out << name + (c.pending == SyncedContact::Pending::Upload    ? u"+"_qs
                   : c.pending == SyncedContact::Pending::Removal ? u"-"_qs
                                                                  : QString());
  }
  out.sort();
  return out.join(u' ');
}

}  // namespace

class SyncPlanTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void plan_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<Journal>("journal");
    QTest::addColumn<Cards>("cards");
    QTest::addColumn<QStringList>("gone");
    QTest::addColumn<ChangeSet>("local");
    QTest::addColumn<QString>("pending");
    QTest::addColumn<Counts>("counts");
    const auto row = [](const char* name, const QStringList& lines, const Journal& journal,
                        const Cards& cards, const QStringList& gone, const ChangeSet& local,
                        const char* pending, const Counts& counts) {
      QTest::newRow(name) << lines << journal << cards << gone << local
                          << QString::fromLatin1(pending) << counts;
    };
    const QString la = line(kA), lb = line(kB);
    const QString renamed = line(person(u"Ann Q Park"_qs, u"111"_qs));
    const FieldTexts phoned = person(u"Ann Lee"_qs, u"999"_qs);
    const QString mailed = line(person(u"Ann Lee"_qs, u"111"_qs, u"ann@x.example"_qs));
    const FieldTexts cy = person(u"Cy Dahl"_qs);
    const FetchedCard cyThere = there(u"/b/c.vcf"_qs, u"c"_qs, cy);
    const FetchedCard aPhoned = there(kHrefA, u"a"_qs, phoned);
    ChangeSet conflict = replaced(mailed, line(phoned));
    conflict.added << mailed;

    row("nothing changed", {la, lb}, {}, {}, {}, {}, "a b", {0, 0, 0, 0});
    row("renamed here, by the journal", {renamed, lb}, {replaced(la, renamed)}, {}, {}, {}, "a+ b",
        {0, 0, 0, 0});
    row("edited outside Tavelin: by the Full Name", {lb, line(phoned)}, {}, {}, {}, {}, "a+ b",
        {0, 0, 0, 0});
    row("changed there only", {la, lb}, {}, {aPhoned}, {}, replaced(la, line(phoned)), "a b",
        {0, 1, 0, 0});
    row("only a photo changed there", {la, lb}, {},
        {there(kHrefA, u"a"_qs, kA, "PHOTO;ENCODING=b:AAAA\r\n")}, {}, {}, "a b", {0, 0, 0, 0});
    row("edited on both sides: kept twice", {mailed, lb}, {replaced(la, mailed)}, {aPhoned}, {},
        conflict, "a b n1+", {0, 0, 0, 1});
    row("edited alike on both sides", {line(phoned), lb}, {replaced(la, line(phoned))}, {aPhoned},
        {}, {}, "a b", {0, 0, 0, 0});
    row("deleted here", {lb}, {removed(la)}, {}, {}, {}, "a- b", {0, 0, 0, 0});
    row("deleted here, edited there: the edit is kept", {lb}, {removed(la)}, {aPhoned}, {},
        added(line(phoned)), "a b", {1, 0, 0, 0});
    row("deleted there", {la, lb}, {}, {}, {kHrefA}, removed(la), "b", {0, 0, 1, 0});
    row("deleted there, edited here: kept as a new card", {line(phoned), lb},
        {replaced(la, line(phoned))}, {}, {kHrefA}, {}, "b n1+", {0, 0, 0, 0});
    row("added here", {la, lb, line(cy)}, {}, {}, {}, {}, "a b n1+", {0, 0, 0, 0});
    row("added there", {la, lb}, {}, {cyThere}, {}, added(line(cy)), "a b c", {1, 0, 0, 0});
    row("added on both sides alike: matched, not doubled", {la, lb, line(cy)}, {}, {cyThere}, {},
        {}, "a b c", {0, 0, 0, 0});
  }
  void plan() {
    QFETCH(QStringList, lines);
    QFETCH(Journal, journal);
    QFETCH(Cards, cards);
    QFETCH(QStringList, gone);
    QFETCH(ChangeSet, local);
    QFETCH(QString, pending);
    QFETCH(Counts, counts);
    PlanInput in = input(lines, {synced(u"a"_qs, kHrefA, kA), synced(u"b"_qs, u"/b/b.vcf"_qs, kB)});
    in.journal.assign(journal.begin(), journal.end());
    in.cards.assign(cards.begin(), cards.end());
    in.removed = QSet<QString>(gone.begin(), gone.end());
    const Plan plan = makePlan(in);
    QCOMPARE(plan.local, local);
    for (const SyncedContact& c : plan.state.contacts) {
      QVERIFY2(!c.uid.isEmpty() && !c.line.isEmpty(), qPrintable(c.href));
      // A card to upload stands for its line, under its own UID.
      if (c.pending == SyncedContact::Pending::Upload && c.etag.isEmpty()) {
        QCOMPARE(cardUid(c.card), c.uid);
        QCOMPARE(cardFields(c.card), lineFields(c.line));
      }
    }
    QCOMPARE(::pending(plan), pending);
    QCOMPARE((Counts{plan.summary.addedHere, plan.summary.changedHere, plan.summary.removedHere,
                     plan.summary.conflicts}),
             counts);
  }

  void unsentCardFoundElsewhere_data() {
    QTest::addColumn<QString>("phoneThere");
    QTest::addColumn<QString>("pending");
    QTest::newRow("as we had it") << QString() << u"elsewhere"_qs;
    QTest::newRow("changed since") << u"3"_qs << u"elsewhere+"_qs;
  }
  // A card we had yet to send, found under another address with its UID (sent by a sync that
  // stopped, or by another device that had it from us): it is that contact, never a second.
  void unsentCardFoundElsewhere() {
    QFETCH(QString, phoneThere);
    QFETCH(QString, pending);
    const FieldTexts cy = person(u"Cy Dahl"_qs);
    SyncedContact unsent = synced(u"unsent"_qs, u"/b/unsent.vcf"_qs, cy);
    unsent.etag.clear();
    unsent.pending = SyncedContact::Pending::Upload;
    PlanInput in = input({line(cy)}, {unsent});
    in.cards = {there(u"/b/elsewhere.vcf"_qs, u"unsent"_qs, person(u"Cy Dahl"_qs, phoneThere))};
    const Plan plan = makePlan(in);
    QVERIFY(plan.local.isEmpty());
    QCOMPARE(::pending(plan), pending);
    QCOMPARE(plan.state.contacts[0].etag, QByteArray("\"2\""));
  }

  void journalFollowsRenames() {
    const std::vector<ChangeSet> journal{replaced(u"a"_qs, u"b"_qs), added(u"x"_qs),
                                         replaced(u"b"_qs, u"c"_qs), removed(u"q"_qs)};
    bool gone = true;
    QCOMPARE(journalledLine(u"a"_qs, journal, &gone), u"c"_qs);
    QVERIFY(!gone);
    QCOMPARE(journalledLine(u"q"_qs, journal, &gone), QString());
    QVERIFY(gone);
    QCOMPARE(journalledLine(u"z"_qs, journal, &gone), u"z"_qs);
    QVERIFY(!gone);
  }

  void linesOfNoContact_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("contact");  // uploaded as one
    const QString blank = line(FieldTexts{});
    QTest::newRow("every field empty") << blank << false;
    QTest::newRow("fields of blanks only")
        << QString(blank).replace(u"\"\""_qs, u"\"  \""_qs) << false;
    QTest::newRow("a control character") << line(person(u"Ann\u0001Lee"_qs)) << false;
    QTest::newRow("words after a quote") << u"\"Ann Lee\" and more"_qs << false;
    QTest::newRow("one field") << u"\"Ann Lee\""_qs << true;
    QTest::newRow("a letter after a blank") << line(person(u" x"_qs)) << true;
    QTest::newRow("a tab in a field") << line(person(u"Ann\tLee"_qs)) << true;
  }
  void linesOfNoContact() {
    QFETCH(QString, text);
    QFETCH(bool, contact);
    const Plan plan = makePlan(input({text, line(kB)}));
    QStringList uploaded;
    for (const SyncedContact& c : plan.state.contacts) {
      QCOMPARE(c.pending, SyncedContact::Pending::Upload);
      uploaded << c.line;
    }
    QStringList expected{line(kB)};
    if (contact) expected << text;
    uploaded.sort();
    expected.sort();
    QCOMPARE(uploaded, expected);
  }
};

QTEST_GUILESS_MAIN(SyncPlanTest)
#include "test_sync_plan.moc"
