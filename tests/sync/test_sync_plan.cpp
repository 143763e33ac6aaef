// What a sync decides from both sides: each case of a contact changed, added or deleted here,
// there or on both sides, with the journal of saves or without it.
#include <QTest>

#include "sync/card_merge.h"
#include "sync/sync_plan.h"

using namespace tavelin;
using namespace tavelin::sync;

using Cards = QList<FetchedCard>;
using Journal = QList<ChangeSet>;
using PendingMap = QMap<QString, QString>;  // href -> "none", "upload", "removal"
using Counts = QList<int>;                  // added, changed, removed here; conflicts
Q_DECLARE_METATYPE(Cards)
Q_DECLARE_METATYPE(Journal)
Q_DECLARE_METATYPE(PendingMap)
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
const QString kHrefB = u"/b/b.vcf"_qs;
const FieldTexts kA = person(u"Ann Lee"_qs, u"111"_qs);
const FieldTexts kB = person(u"Bo Ek"_qs, u"222"_qs);

SyncedContact synced(const QString& uid, const QString& href, const FieldTexts& f) {
  SyncedContact c;
  c.uid = uid;
  c.href = href;
  c.etag = "\"1\"";
  c.card = newCard(f, uid);
  c.line = line(f);
  return c;
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
ChangeSet added(const QStringList& lines) {
  ChangeSet set;
  set.added = lines;
  return set;
}

QString pendingName(SyncedContact::Pending p) {
  switch (p) {
    case SyncedContact::Pending::Upload:
      return u"upload"_qs;
    case SyncedContact::Pending::Removal:
      return u"removal"_qs;
    case SyncedContact::Pending::None:
      break;
  }
  return u"none"_qs;
}

}  // namespace

class SyncPlanTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void plan_data();
  void plan();
  void unsentCardFoundElsewhere_data();
  void unsentCardFoundElsewhere();
  void journalFollowsRenames();
  void linesOfNoContact_data();
  void linesOfNoContact();
};

void SyncPlanTest::plan_data() {
  QTest::addColumn<QStringList>("lines");
  QTest::addColumn<Journal>("journal");
  QTest::addColumn<Cards>("cards");
  QTest::addColumn<QStringList>("gone");
  QTest::addColumn<ChangeSet>("local");
  QTest::addColumn<PendingMap>("pending");
  QTest::addColumn<Counts>("counts");

  const QString la = line(kA), lb = line(kB);
  const FieldTexts renamed = person(u"Ann Q Park"_qs, u"111"_qs);
  const FieldTexts phoned = person(u"Ann Lee"_qs, u"999"_qs);
  const FieldTexts mailed = person(u"Ann Lee"_qs, u"111"_qs, u"ann@x.example"_qs);
  const PendingMap calm{{kHrefA, u"none"_qs}, {kHrefB, u"none"_qs}};

  QTest::newRow("nothing changed") << QStringList{la, lb} << Journal{} << Cards{} << QStringList{}
                                   << ChangeSet{} << calm << Counts{0, 0, 0, 0};
  QTest::newRow("renamed here, by the journal")
      << QStringList{line(renamed), lb} << Journal{replaced(la, line(renamed))} << Cards{}
      << QStringList{} << ChangeSet{} << PendingMap{{kHrefA, u"upload"_qs}, {kHrefB, u"none"_qs}}
      << Counts{0, 0, 0, 0};
  QTest::newRow("edited outside Tavelin: by the Full Name")
      << QStringList{lb, line(phoned)} << Journal{} << Cards{} << QStringList{} << ChangeSet{}
      << PendingMap{{kHrefA, u"upload"_qs}, {kHrefB, u"none"_qs}} << Counts{0, 0, 0, 0};
  QTest::newRow("changed there only")
      << QStringList{la, lb} << Journal{} << Cards{there(kHrefA, u"a"_qs, phoned)} << QStringList{}
      << replaced(la, line(phoned)) << calm << Counts{0, 1, 0, 0};
  QTest::newRow("only a photo changed there")
      << QStringList{la, lb} << Journal{}
      << Cards{there(kHrefA, u"a"_qs, kA, "PHOTO;ENCODING=b:AAAA\r\n")} << QStringList{}
      << ChangeSet{} << calm << Counts{0, 0, 0, 0};
  ChangeSet conflict = replaced(line(mailed), line(phoned));
  conflict.added << line(mailed);
  QTest::newRow("edited on both sides: kept twice")
      << QStringList{line(mailed), lb} << Journal{replaced(la, line(mailed))}
      << Cards{there(kHrefA, u"a"_qs, phoned)} << QStringList{} << conflict
      << PendingMap{{kHrefA, u"none"_qs}, {kHrefB, u"none"_qs}, {u"/b/n1.vcf"_qs, u"upload"_qs}}
      << Counts{0, 0, 0, 1};
  QTest::newRow("edited alike on both sides")
      << QStringList{line(phoned), lb} << Journal{replaced(la, line(phoned))}
      << Cards{there(kHrefA, u"a"_qs, phoned)} << QStringList{} << ChangeSet{} << calm
      << Counts{0, 0, 0, 0};
  QTest::newRow("deleted here") << QStringList{lb} << Journal{removed(la)} << Cards{}
                                << QStringList{} << ChangeSet{}
                                << PendingMap{{kHrefA, u"removal"_qs}, {kHrefB, u"none"_qs}}
                                << Counts{0, 0, 0, 0};
  QTest::newRow("deleted here, edited there: the edit is kept")
      << QStringList{lb} << Journal{removed(la)} << Cards{there(kHrefA, u"a"_qs, phoned)}
      << QStringList{} << added({line(phoned)}) << calm << Counts{1, 0, 0, 0};
  QTest::newRow("deleted there") << QStringList{la, lb} << Journal{} << Cards{}
                                 << QStringList{kHrefA} << removed(la)
                                 << PendingMap{{kHrefB, u"none"_qs}} << Counts{0, 0, 1, 0};
  QTest::newRow("deleted there, edited here: kept as a new card")
      << QStringList{line(phoned), lb} << Journal{replaced(la, line(phoned))} << Cards{}
      << QStringList{kHrefA} << ChangeSet{}
      << PendingMap{{kHrefB, u"none"_qs}, {u"/b/n1.vcf"_qs, u"upload"_qs}} << Counts{0, 0, 0, 0};
  const FieldTexts cy = person(u"Cy Dahl"_qs);
  QTest::newRow("added here") << QStringList{la, lb, line(cy)} << Journal{} << Cards{}
                              << QStringList{} << ChangeSet{}
                              << PendingMap{{kHrefA, u"none"_qs},
                                            {kHrefB, u"none"_qs},
                                            {u"/b/n1.vcf"_qs, u"upload"_qs}}
                              << Counts{0, 0, 0, 0};
  QTest::newRow("added there") << QStringList{la, lb} << Journal{}
                               << Cards{there(u"/b/c.vcf"_qs, u"c"_qs, cy)} << QStringList{}
                               << added({line(cy)})
                               << PendingMap{{kHrefA, u"none"_qs},
                                             {kHrefB, u"none"_qs},
                                             {u"/b/c.vcf"_qs, u"none"_qs}}
                               << Counts{1, 0, 0, 0};
  QTest::newRow("added on both sides alike: matched, not doubled")
      << QStringList{la, lb, line(cy)} << Journal{} << Cards{there(u"/b/c.vcf"_qs, u"c"_qs, cy)}
      << QStringList{} << ChangeSet{}
      << PendingMap{{kHrefA, u"none"_qs}, {kHrefB, u"none"_qs}, {u"/b/c.vcf"_qs, u"none"_qs}}
      << Counts{0, 0, 0, 0};
}

void SyncPlanTest::plan() {
  QFETCH(QStringList, lines);
  QFETCH(Journal, journal);
  QFETCH(Cards, cards);
  QFETCH(QStringList, gone);
  QFETCH(ChangeSet, local);
  QFETCH(PendingMap, pending);
  QFETCH(Counts, counts);

  PlanInput input;
  input.lines = lines;
  input.state.contacts = {synced(u"a"_qs, kHrefA, kA), synced(u"b"_qs, kHrefB, kB)};
  input.journal.assign(journal.begin(), journal.end());
  input.cards.assign(cards.begin(), cards.end());
  input.removed = QSet<QString>(gone.begin(), gone.end());
  int uids = 0;
  input.newUid = [&uids]() -> QString { return u"n"_qs + QString::number(++uids); };
  input.hrefFor = [](const QString& uid) -> QString { return u"/b/"_qs + uid + u".vcf"_qs; };

  const Plan plan = makePlan(input);
  QCOMPARE(plan.local, local);
  PendingMap found;
  for (const SyncedContact& c : plan.state.contacts) {
    found.insert(c.href, pendingName(c.pending));
    QVERIFY2(!c.uid.isEmpty() && !c.line.isEmpty(), qPrintable(c.href));
    // A card to upload stands for its line, under its own UID.
    if (c.pending == SyncedContact::Pending::Upload && c.etag.isEmpty()) {
      QCOMPARE(cardUid(c.card), c.uid);
      QCOMPARE(cardFields(c.card), lineFields(c.line));
    }
  }
  QCOMPARE(found, pending);
  QCOMPARE((Counts{plan.summary.addedHere, plan.summary.changedHere, plan.summary.removedHere,
                   plan.summary.conflicts}),
           counts);
}

void SyncPlanTest::unsentCardFoundElsewhere_data() {
  QTest::addColumn<QString>("phoneThere");
  QTest::addColumn<QString>("pending");
  QTest::newRow("as we had it") << QString() << u"none"_qs;
  QTest::newRow("changed since") << u"3"_qs << u"upload"_qs;
}

// A card we had yet to send, found under another address with its UID (sent by a sync that
// stopped, or by another device that had it from us): it is that contact, never a second.
void SyncPlanTest::unsentCardFoundElsewhere() {
  QFETCH(QString, phoneThere);
  QFETCH(QString, pending);
  const FieldTexts cy = person(u"Cy Dahl"_qs);
  SyncedContact unsent = synced(u"unsent"_qs, u"/b/unsent.vcf"_qs, cy);
  unsent.etag.clear();
  unsent.pending = SyncedContact::Pending::Upload;
  PlanInput input;
  input.lines = QStringList{line(cy)};
  input.state.contacts = {unsent};
  input.cards = {there(u"/b/elsewhere.vcf"_qs, u"unsent"_qs, person(u"Cy Dahl"_qs, phoneThere))};
  input.newUid = [] { return u"new"_qs; };
  input.hrefFor = [](const QString& uid) -> QString { return u"/b/"_qs + uid; };
  const Plan plan = makePlan(input);
  QVERIFY(plan.local.isEmpty());
  QCOMPARE(plan.state.contacts.size(), 1u);
  QCOMPARE(plan.state.contacts[0].href, u"/b/elsewhere.vcf"_qs);
  QCOMPARE(plan.state.contacts[0].etag, QByteArray("\"2\""));
  QCOMPARE(pendingName(plan.state.contacts[0].pending), pending);
}

void SyncPlanTest::journalFollowsRenames() {
  const std::vector<ChangeSet> journal{replaced(u"a"_qs, u"b"_qs), added({u"x"_qs}),
                                       replaced(u"b"_qs, u"c"_qs), removed(u"q"_qs)};
  bool gone = true;
  QCOMPARE(journalledLine(u"a"_qs, journal, &gone), u"c"_qs);
  QVERIFY(!gone);
  QCOMPARE(journalledLine(u"q"_qs, journal, &gone), QString());
  QVERIFY(gone);
  QCOMPARE(journalledLine(u"z"_qs, journal, &gone), u"z"_qs);
  QVERIFY(!gone);
}

void SyncPlanTest::linesOfNoContact_data() {
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

void SyncPlanTest::linesOfNoContact() {
  QFETCH(QString, text);
  QFETCH(bool, contact);
  PlanInput input;
  input.lines = {text, line(kB)};
  int uids = 0;
  input.newUid = [&uids]() -> QString { return u"n"_qs + QString::number(++uids); };
  input.hrefFor = [](const QString& uid) -> QString { return u"/b/"_qs + uid + u".vcf"_qs; };
  const Plan plan = makePlan(input);
  QStringList uploaded;
  for (const SyncedContact& c : plan.state.contacts) {
    QCOMPARE(c.pending, SyncedContact::Pending::Upload);
    uploaded << c.line;
  }
  uploaded.sort();
  QStringList expected{line(kB)};
  if (contact) expected << text;
  expected.sort();
  QCOMPARE(uploaded, expected);
}

QTEST_GUILESS_MAIN(SyncPlanTest)
#include "test_sync_plan.moc"
