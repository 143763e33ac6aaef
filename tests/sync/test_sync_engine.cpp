// Whole syncs against real servers, Radicale and the stricter Xandikos: each side's additions,
// edits, renames and deletions reach the other, conflicts are kept twice, lines the fields do
// not show survive, and a sync stopped anywhere is finished by the next without duplicates.
#include <QFile>
#include <QFileInfo>

#include "sync_fixture.h"

using namespace tavelin;
using namespace tavelin::sync;
using namespace tavelin::test;

namespace {

QString summaryOf(const SyncOutcome& o) {
  return o.succeeded ? summaryLine(o.summary) : o.error;
}

}  // namespace

class SyncEngineTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase_data();
  void cleanupTestCase() { servers_.clear(); }
  void firstUploadAndDownload();
  void changesHere();
  void changesThere();
  void bothSidesEditOneContact();
  void editAgainstDelete();
  void unmappedPropertiesStay();
  void wrongPassword();
  void interrupted_data();
  void interrupted();
  void changedBetweenFetchAndPut_data();
  void changedBetweenFetchAndPut();
  void uidTakenMeanwhile();
  void twoCopiesOnOneFile();
  void firstSyncOfTwoFullBooks();

 private:
  QString kind() const {
    QFETCH_GLOBAL(QString, server);
    return server;
  }
  DavServer* server();
  std::unique_ptr<SyncFixture> fixture();

  QNetworkAccessManager network_;
  std::map<QString, std::unique_ptr<DavServer>> servers_;
  std::unique_ptr<TestEnvironment> env_;
};

void SyncEngineTest::initTestCase_data() {
  QTest::addColumn<QString>("server");
  QTest::newRow("radicale") << QStringLiteral("radicale");
  QTest::newRow("xandikos") << QStringLiteral("xandikos");
}

DavServer* SyncEngineTest::server() {
  std::unique_ptr<DavServer>& running = servers_[kind()];
  if (!running) {
    running = std::make_unique<DavServer>();
    if (!running->start(kind(), QFINDTESTDATA("dav_server.py"))) {
      qWarning("%s", qPrintable(running->error()));
      running.reset();
    }
  }
  return running.get();
}

// A fresh working directory and an empty address book for each case.
std::unique_ptr<SyncFixture> SyncEngineTest::fixture() {
  DavServer* dav = server();
  if (!dav) return nullptr;
  env_.reset();
  env_ = std::make_unique<TestEnvironment>();
  auto f = std::make_unique<SyncFixture>(network_, *dav, QStringLiteral("secret"));
  f->clearServer();
  return f;
}

void SyncEngineTest::firstUploadAndDownload() {
  auto f = fixture();
  QVERIFY(f);
  f->add(person(u"Ann Lee"_qs, u"111"_qs));
  f->add(person(u"Bo Ek"_qs, {}, u"bo@x.example"_qs));
  QVERIFY(f->putThere(u"cy"_qs, newCard(person(u"Cy Dahl"_qs, u"333"_qs), u"cy"_qs)));

  const SyncOutcome first = f->sync();
  QVERIFY2(first.succeeded, qPrintable(first.error));
  QCOMPARE(summaryLine(first.summary),
           u"Synchronised: 1 added here, 0 changed here, 0 removed here; 2 added there, 0 "
           "changed there, 0 removed there; 0 conflicts kept as two contacts."_qs);
  QCOMPARE(f->local().size(), 3u);
  QCOMPARE(f->local().at(u"Cy Dahl"_qs)[4], u"333"_qs);
  const auto there = f->remoteByName();
  QCOMPARE(there.size(), 3u);
  QCOMPARE(there.at(u"Bo Ek"_qs)[8], u"bo@x.example"_qs);

  // Nothing changed: nothing written on either side.
  const QDateTime stateTime = QFileInfo(syncStatePath(kDataFileName)).lastModified();
  const QByteArray data = readFile(kDataFileName);
  const SyncOutcome second = f->sync();
  QVERIFY2(second.succeeded, qPrintable(second.error));
  QCOMPARE(second.summary, SyncSummary{});
  QCOMPARE(readFile(kDataFileName), data);
  QCOMPARE(QFileInfo(syncStatePath(kDataFileName)).lastModified(), stateTime);
}

void SyncEngineTest::changesHere() {
  auto f = fixture();
  QVERIFY(f);
  for (const QString& name : {u"Ann Lee"_qs, u"Bo Ek"_qs, u"Cy Dahl"_qs}) f->add(person(name));
  QVERIFY(f->sync().succeeded);
  const QString annHref = f->remoteNamed(u"Ann Lee"_qs).href;

  f->replace(u"Ann Lee"_qs, person(u"Ann Q Park"_qs));  // a rename keeps its card
  f->replace(u"Bo Ek"_qs, person(u"Bo Ek"_qs, u"222"_qs));
  f->remove(u"Cy Dahl"_qs);
  f->add(person(u"Di Fox"_qs));
  const SyncOutcome o = f->sync();
  QVERIFY2(o.succeeded, qPrintable(o.error));
  QCOMPARE((SyncSummary{0, 0, 0, 1, 2, 1, 0}), o.summary);
  const auto there = f->remoteByName();
  QCOMPARE(there.size(), 3u);
  QCOMPARE(f->remoteNamed(u"Ann Q Park"_qs).href, annHref);
  QCOMPARE(there.at(u"Bo Ek"_qs)[4], u"222"_qs);
  QVERIFY(there.count(u"Di Fox"_qs));
  QVERIFY(!QFile::exists(changeJournalPath(kDataFileName)));

  // Deleted there after our edit and after our upload: both are seen gone.
  QVERIFY(f->removeThere(f->remoteNamed(u"Bo Ek"_qs)));
  QVERIFY(f->removeThere(f->remoteNamed(u"Di Fox"_qs)));
  const SyncOutcome gone = f->sync();
  QVERIFY2(gone.succeeded, qPrintable(gone.error));
  QCOMPARE(gone.summary, (SyncSummary{0, 0, 2, 0, 0, 0, 0}));
  QCOMPARE(f->localCount(), 1);
  QCOMPARE(f->sync().summary, SyncSummary{});
}

void SyncEngineTest::changesThere() {
  auto f = fixture();
  QVERIFY(f);
  for (const QString& name : {u"Ann Lee"_qs, u"Bo Ek"_qs, u"Cy Dahl"_qs}) f->add(person(name));
  QVERIFY(f->sync().succeeded);
  const FetchedCard ann = f->remoteNamed(u"Ann Lee"_qs);
  QVERIFY(f->changeThere(ann, mergeCard(ann.card, person(u"Ann Lee"_qs),
                                        person(u"Ann Lee-Park"_qs, u"7"_qs), cardUid(ann.card))));
  QVERIFY(f->removeThere(f->remoteNamed(u"Bo Ek"_qs)));
  QVERIFY(f->putThere(u"ed"_qs, newCard(person(u"Ed Gray"_qs), u"ed"_qs)));

  const SyncOutcome o = f->sync();
  QVERIFY2(o.succeeded, qPrintable(o.error));
  QCOMPARE(summaryLine(o.summary), summaryLine(SyncSummary{1, 1, 1, 0, 0, 0, 0}));
  const auto here = f->local();
  QCOMPARE(here.size(), 3u);
  QCOMPARE(here.at(u"Ann Lee-Park"_qs)[4], u"7"_qs);
  QVERIFY(here.count(u"Ed Gray"_qs) && here.count(u"Cy Dahl"_qs));
}

void SyncEngineTest::bothSidesEditOneContact() {
  auto f = fixture();
  QVERIFY(f);
  f->add(person(u"Ann Lee"_qs, u"111"_qs));
  QVERIFY(f->sync().succeeded);
  const FetchedCard ann = f->remoteNamed(u"Ann Lee"_qs);
  QVERIFY(f->changeThere(ann, mergeCard(ann.card, person(u"Ann Lee"_qs, u"111"_qs),
                                        person(u"Ann Lee"_qs, u"999"_qs), cardUid(ann.card))));
  f->replace(u"Ann Lee"_qs, person(u"Ann Lee"_qs, u"111"_qs, u"ann@x.example"_qs));

  const SyncOutcome o = f->sync();
  QVERIFY2(o.succeeded, qPrintable(o.error));
  QCOMPARE(o.summary, (SyncSummary{0, 0, 0, 0, 0, 0, 1}));  // told once
  // Kept twice, on both sides: theirs and ours.
  QCOMPARE(f->localCount(), 2);
  const auto there = f->remote();
  QCOMPARE(there.size(), 2u);
  QSet<QString> phones, mails;
  for (const auto& [href, card] : there) {
    phones << (*cardFields(card.card))[4];
    mails << (*cardFields(card.card))[8];
  }
  QCOMPARE(phones, (QSet<QString>{u"999"_qs, u"111"_qs}));
  QCOMPARE(mails, (QSet<QString>{QString(), u"ann@x.example"_qs}));
  QCOMPARE(f->sync().summary, SyncSummary{});
}

void SyncEngineTest::editAgainstDelete() {
  auto f = fixture();
  QVERIFY(f);
  f->add(person(u"Ann Lee"_qs));
  f->add(person(u"Bo Ek"_qs));
  QVERIFY(f->sync().succeeded);
  // Ann edited here and deleted there; Bo deleted here and edited there.
  f->replace(u"Ann Lee"_qs, person(u"Ann Lee"_qs, u"1"_qs));
  QVERIFY(f->removeThere(f->remoteNamed(u"Ann Lee"_qs)));
  const FetchedCard bo = f->remoteNamed(u"Bo Ek"_qs);
  QVERIFY(f->changeThere(
      bo, mergeCard(bo.card, person(u"Bo Ek"_qs), person(u"Bo Ek"_qs, u"2"_qs), cardUid(bo.card))));
  f->remove(u"Bo Ek"_qs);

  const SyncOutcome o = f->sync();
  QVERIFY2(o.succeeded, qPrintable(summaryOf(o)));
  const auto here = f->local();
  const auto there = f->remoteByName();
  QCOMPARE(here.size(), 2u);
  QCOMPARE(there.size(), 2u);
  QCOMPARE(here.at(u"Ann Lee"_qs)[4], u"1"_qs);
  QCOMPARE(there.at(u"Ann Lee"_qs)[4], u"1"_qs);
  QCOMPARE(here.at(u"Bo Ek"_qs)[4], u"2"_qs);
  QCOMPARE(there.at(u"Bo Ek"_qs)[4], u"2"_qs);
}

void SyncEngineTest::unmappedPropertiesStay() {
  auto f = fixture();
  QVERIFY(f);
  const QByteArray photo =
      "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQEASABIAAD/2wBDAAMCAgICAgMCAgIDAw\r\n"
      " MDBAYEBAQEBAgGBgUGCQgKCgkICQkKDA8MCgsOCwkJDRENDg8QEBEQCgwSExIQEw8QEBD/\r\n";
  const QByteArray bday = "BDAY:1980-04-01\r\n";
  QByteArray card = newCard(person(u"Ann Lee"_qs, u"111"_qs), u"ann-photo"_qs);
  card.replace("END:VCARD", QByteArray(photo + bday + "TEL;TYPE=FAX:555\r\nEND:VCARD"));
  QVERIFY(f->putThere(u"ann-photo"_qs, card));
  QVERIFY(f->sync().succeeded);
  FieldTexts edited = person(u"Ann Lee"_qs, u"222"_qs, u"ann@x.example"_qs);
  edited[5] = u"555"_qs;  // the fax number is Phone 2
  f->replace(u"Ann Lee"_qs, edited);
  const SyncOutcome o = f->sync();
  QVERIFY2(o.succeeded, qPrintable(o.error));
  QCOMPARE(o.summary.changedThere, 1);
  // Servers may fold and order a card their own way: the properties are compared unfolded.
  const auto unfolded = [](QByteArray card) {
    return card.replace("\r\n", "\n").replace("\n ", "");
  };
  const QByteArray stored = f->remoteNamed(u"Ann Lee"_qs).card;
  QVERIFY2(unfolded(stored).contains(unfolded(photo)) && unfolded(stored).contains(unfolded(bday)),
           stored.constData());
  QVERIFY(unfolded(stored).contains("TEL;TYPE=FAX:555\n"));
  QCOMPARE((*cardFields(stored))[8], u"ann@x.example"_qs);
  QCOMPARE(cardUid(stored), u"ann-photo"_qs);
}

void SyncEngineTest::wrongPassword() {
  if (kind() != QLatin1String("radicale")) QSKIP("Xandikos as started here asks for no password");
  auto f = fixture();
  QVERIFY(f);
  f->add(person(u"Ann Lee"_qs));
  auto wrong = f->client(u"not-the-secret"_qs);
  const SyncOutcome o = f->sync(wrong.get());
  QVERIFY(!o.succeeded);
  QCOMPARE(o.failure.outcome, DavOutcome::AuthenticationFailed);
  QVERIFY2(o.error.contains(u"127.0.0.1"_qs), qPrintable(o.error));
  QVERIFY(!o.error.contains(u"not-the-secret"_qs));
  QVERIFY(f->remote().empty());
  QCOMPARE(f->localCount(), 1);
}

void SyncEngineTest::interrupted_data() {
  QTest::addColumn<bool>("serverStops");  // else the program stops: the engine is dropped
  QTest::newRow("server stopped") << true;
  QTest::newRow("program stopped") << false;
}

void SyncEngineTest::interrupted() {
  QFETCH(bool, serverStops);
  auto f = fixture();
  QVERIFY(f);
  constexpr int kContacts = 24;
  for (int i = 0; i < kContacts; ++i) f->add(person(u"Person %1"_qs.arg(i, 2, 10, QChar(u'0'))));
  DavServer* dav = server();
  auto client = f->client();
  {
    SyncEngine engine(kDataFileName, *client);
    engine.setParallelRequests(2);
    engine.setStateBatch(5);
    bool stopped = false;
    bool ended = false;
    QObject::connect(&engine, &SyncRunner::finished,
                     [&ended](const SyncOutcome&) { ended = true; });
    QObject::connect(&engine, &SyncRunner::progress, [&](int done, int total) {
      if (stopped || done < 8 || total != kContacts) return;
      stopped = true;
      if (serverStops) dav->stop();
    });
    engine.start();
    QVERIFY(QTest::qWaitFor([&] { return ended || (stopped && !serverStops); }, 60'000));
    QVERIFY(stopped);
  }
  if (serverStops) QVERIFY(dav->restart());
  const SyncOutcome o = f->sync();
  QVERIFY2(o.succeeded, qPrintable(o.error));
  QCOMPARE(f->remote().size(), size_t(kContacts));
  QCOMPARE(f->localCount(), kContacts);
  QCOMPARE(f->sync().summary, SyncSummary{});
}

void SyncEngineTest::changedBetweenFetchAndPut_data() {
  QTest::addColumn<QString>("theirPhone");
  QTest::addColumn<QString>("theirMail");
  QTest::addColumn<int>("conflicts");
  QTest::newRow("another field: both edits kept in one") << u"111"_qs << u"a@x.example"_qs << 0;
  QTest::newRow("the same field: kept twice") << u"333"_qs << QString() << 1;
}

void SyncEngineTest::changedBetweenFetchAndPut() {
  QFETCH(QString, theirPhone);
  QFETCH(QString, theirMail);
  QFETCH(int, conflicts);
  auto f = fixture();
  QVERIFY(f);
  f->add(person(u"Ann Lee"_qs, u"111"_qs));
  QVERIFY(f->sync().succeeded);
  f->replace(u"Ann Lee"_qs, person(u"Ann Lee"_qs, u"222"_qs));
  bool changed = false;
  const FieldTexts theirs = person(u"Ann Lee"_qs, theirPhone, theirMail);
  const SyncOutcome o = f->sync(nullptr, [&](SyncEngine& engine) {
    // When the engine is about to send, another device changes the card.
    QObject::connect(&engine, &SyncRunner::progress, [&](int, int) {
      if (changed) return;
      changed = true;
      const FetchedCard ann = f->remoteNamed(u"Ann Lee"_qs);
      QVERIFY(f->changeThere(
          ann, mergeCard(ann.card, person(u"Ann Lee"_qs, u"111"_qs), theirs, cardUid(ann.card))));
    });
  });
  QVERIFY2(o.succeeded, qPrintable(o.error));
  QVERIFY(changed);
  QCOMPARE(o.summary.conflicts, conflicts);
  if (conflicts == 0) {
    // Ours and theirs, on both sides.
    const FieldTexts both = person(u"Ann Lee"_qs, u"222"_qs, theirMail);
    QCOMPARE(f->remoteByName().at(u"Ann Lee"_qs), both);
    QCOMPARE(f->local().at(u"Ann Lee"_qs), both);
    QCOMPARE(f->remote().size(), 1u);
  } else {
    QSet<QString> phones;
    for (const auto& [href, card] : f->remote()) phones << (*cardFields(card.card))[4];
    QCOMPARE(phones, (QSet<QString>{u"222"_qs, u"333"_qs}));
    QCOMPARE(f->localCount(), 2);
  }
  QCOMPARE(f->sync().summary, SyncSummary{});
}

void SyncEngineTest::uidTakenMeanwhile() {
  if (kind() != QLatin1String("radicale")) QSKIP("Xandikos takes a second card of one UID");
  auto f = fixture();
  QVERIFY(f);
  QVERIFY(f->sync().succeeded);
  f->add(person(u"Cy Dahl"_qs, u"3"_qs));
  bool raced = false;
  const SyncOutcome o = f->sync(nullptr, [&](SyncEngine& engine) {
    // Just before our card goes up, another device puts one of its UID at another address.
    QObject::connect(&engine, &SyncRunner::progress, [&](int, int) {
      if (raced) return;
      raced = true;
      const SyncState state = readSyncState(syncStatePath(kDataFileName)).state;
      QCOMPARE(state.contacts.size(), 1u);
      const QString uid = state.contacts[0].uid;
      QVERIFY(f->putThere(u"elsewhere"_qs, newCard(person(u"Cy Dahl"_qs, u"3"_qs), uid)));
    });
  });
  QVERIFY2(o.succeeded, qPrintable(o.error));
  QVERIFY(raced);
  const auto there = f->remote();
  QCOMPARE(there.size(), 1u);
  QVERIFY(there.begin()->first.endsWith(u"/elsewhere.vcf"_qs));
  QCOMPARE(f->localCount(), 1);
  QCOMPARE(f->sync().summary, SyncSummary{});
}

void SyncEngineTest::twoCopiesOnOneFile() {
  auto f = fixture();
  QVERIFY(f);
  for (int i = 0; i < 5; ++i) f->add(person(u"Copy %1"_qs.arg(i)));
  auto first = f->client();
  auto second = f->client();
  SyncEngine a(kDataFileName, *first);
  SyncEngine b(kDataFileName, *second);
  std::vector<SyncOutcome> ends;
  for (SyncEngine* e : {&a, &b}) {
    QObject::connect(e, &SyncRunner::finished,
                     [&ends](const SyncOutcome& o) { ends.push_back(o); });
  }
  a.start();
  b.start();
  QVERIFY(QTest::qWaitFor([&] { return ends.size() == 2; }, 60'000));
  const int succeeded = int(ends[0].succeeded) + int(ends[1].succeeded);
  QCOMPARE(succeeded, 1);
  const SyncOutcome& refused = ends[0].succeeded ? ends[1] : ends[0];
  QVERIFY2(refused.error.contains(u"another copy"_qs), qPrintable(refused.error));
  // The one that was refused tries again, and finds it all done.
  ends.clear();
  b.start();
  QVERIFY(QTest::qWaitFor([&] { return ends.size() == 1; }, 60'000));
  QVERIFY2(ends[0].succeeded, qPrintable(ends[0].error));
  QCOMPARE(ends[0].summary, SyncSummary{});
  QCOMPARE(f->remote().size(), 5u);
  QCOMPARE(f->localCount(), 5);
}

void SyncEngineTest::firstSyncOfTwoFullBooks() {
  auto f = fixture();
  QVERIFY(f);
  int uid = 0;
  for (const QString& name : {u"Ann Lee"_qs, u"Bo Ek"_qs}) {
    f->add(person(name, u"1"_qs));
    const QString other = u"other-%1"_qs.arg(++uid);
    QVERIFY(f->putThere(other, newCard(person(name, u"1"_qs), other)));
  }
  f->add(person(u"Only Here"_qs));
  const SyncOutcome o = f->sync();
  QVERIFY2(o.succeeded, qPrintable(o.error));
  QCOMPARE(o.summary, (SyncSummary{0, 0, 0, 1, 0, 0, 0}));
  QCOMPARE(f->remote().size(), 3u);
  QCOMPARE(f->localCount(), 3);
}

QTEST_GUILESS_MAIN(SyncEngineTest)
#include "test_sync_engine.moc"
