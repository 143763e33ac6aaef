// The program run from a script: the real binary, without a display, on a private working
// directory and configuration folder. Summaries on standard output, one line on standard
// error for a failure, and the exit codes 0, 1 and 2.
#include <QProcess>
#include <QTest>

#include <QDir>
#include <QFile>

#include "dav_server.h"
#include "record_store/record_lines.h"
#include "support/test_env.h"

using tavelin::test::readFile;
using tavelin::test::writeFile;

namespace {

struct Run {
  int code = -1;
  QString out, err;
};

Run runTavelin(const tavelin::test::TestEnvironment& env, const QStringList& args) {
  QProcess process;
  QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) system.remove(name);
  system.insert("XDG_CONFIG_HOME", env.configRoot());
  process.setProcessEnvironment(system);
  process.setWorkingDirectory(env.workDir());
  process.start(QStringLiteral(TAVELIN_BIN), args);
  if (!process.waitForFinished(60000)) return {};
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardOutput()),
          QString::fromUtf8(process.readAllStandardError())};
}

QByteArray record(const QString& name, const QString& phone) {
  tavelin::FieldTexts f;
  f[0] = name;
  f[4] = phone;
  return tavelin::BuildLineFromFields(f).toUtf8() + "\r\n";
}

}  // namespace

class CommandLineTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void versionAndHelp() {
    tavelin::test::TestEnvironment env;
    const Run version = runTavelin(env, {"--version"});
    QCOMPARE(version.code, 0);
    QCOMPARE(version.out, QStringLiteral("Tavelin 1.1.5\n"));
    const Run help = runTavelin(env, {"--help"});
    QCOMPARE(help.code, 0);
    QVERIFY(help.out.contains("--import FILE"));
    QVERIFY(help.out.contains("--vcard-version 4.0"));
    QVERIFY(help.err.isEmpty());
  }

  void importThenExport() {
    tavelin::test::TestEnvironment env;
    writeFile(env.workPath("TAVELIN.FIL"), record("Ann", "1"));
    writeFile(env.workPath("in.vcf"),
              "BEGIN:VCARD\r\nFN:Ann\r\nTEL:1\r\nEND:VCARD\r\n"
              "BEGIN:VCARD\r\nFN:Bob\r\nTEL:2\r\nNICKNAME:B\r\nEND:VCARD\r\n"
              "BEGIN:VCARD\r\nFN:Cut\r\n");
    const Run imported = runTavelin(env, {"--import", "in.vcf"});
    QCOMPARE(imported.err, QString());
    QCOMPARE(imported.code, 0);
    QCOMPARE(imported.out,
             QStringLiteral("1 contacts imported; 1 were already in the address book; 1 could "
                            "not be read; 1 had more than the fields hold, kept in their "
                            "attached text files.\n"));
    QCOMPARE(readFile(env.workPath("TAVELIN.FIL")), record("Ann", "1") + record("Bob", "2"));
    QCOMPARE(readFile(env.workPath("Bob.ATA")), QByteArray("Nickname: B\r\n"));

    const Run exported = runTavelin(env, {"--export", "out.vcf", "--vcard-version", "4.0"});
    QCOMPARE(exported.code, 0);
    QCOMPARE(exported.out, QStringLiteral("2 contacts exported to out.vcf.\n"));
    const QByteArray cards = readFile(env.workPath("out.vcf"));
    QCOMPARE(cards.count("VERSION:4.0\r\n"), 2);
    QVERIFY(cards.indexOf("FN:Ann") < cards.indexOf("FN:Bob"));
    const Run csv = runTavelin(env, {"--export", "out.csv"});
    QCOMPARE(csv.code, 0);
    QVERIFY(readFile(env.workPath("out.csv")).startsWith("First Name,"));
  }

  // The refusals of --sync itself: test_sync_command.
  void failures_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("err");
    QTest::newRow("no contacts in it") << QStringList{"--import", "plain.csv"} << 1
                                       << "plain.csv: it holds no vCard and no CSV heading row\n";
    QTest::newRow("no such file") << QStringList{"--import", "gone.vcf"} << 1
                                  << "gone.vcf: No such file or directory\n";
    QTest::newRow("export into no folder")
        << QStringList{"--export", "no/such/out.vcf"} << 1 << "no/such/out.vcf: ";
    QTest::newRow("unknown argument")
        << QStringList{"--frobnicate"} << 2 << "tavelin: unknown argument --frobnicate\n";
    QTest::newRow("no file") << QStringList{"--import"} << 2 << "tavelin: --import needs a value\n";
    QTest::newRow("no format") << QStringList{"--export", "out.txt"} << 2 << "tavelin: out.txt: ";
    QTest::newRow("version with CSV")
        << QStringList{"--export", "o.csv", "--vcard-version", "4.0"} << 2 << "tavelin: o.csv: ";
    QTest::newRow("a version nobody writes")
        << QStringList{"--export", "o.vcf", "--vcard-version", "2.1"} << 2
        << "tavelin: vCard version 2.1: 3.0 or 4.0\n";
  }

  void failures() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, err);
    tavelin::test::TestEnvironment env;
    writeFile(env.workPath("TAVELIN.FIL"), record("Ann", "1"));
    writeFile(env.workPath("plain.csv"), "some,words\r\n");
    const Run run = runTavelin(env, args);
    QCOMPARE(run.code, code);
    QVERIFY2(run.err.startsWith(err), qPrintable(run.err));
    if (code == 1) QCOMPARE(run.err.count(u'\n'), 1);  // one line
    QVERIFY(run.out.isEmpty());
    QCOMPARE(readFile(env.workPath("TAVELIN.FIL")), record("Ann", "1"));
  }
  // The real binary against a real server: an upload, a sync with nothing to do, a hand edit
  // sent, and a wrong password that changes nothing.
  void syncWithRadicale() {
    tavelin::test::DavServer server;
    if (!server.start(QStringLiteral("radicale"), QStringLiteral(DAV_SERVER_LAUNCHER))) {
      QFAIL(qPrintable(server.error()));
    }
    tavelin::test::TestEnvironment env;
    QVERIFY(QDir(env.configRoot()).mkpath(QStringLiteral("Tavelin")));
    const QString passwordFile = env.configRoot() + QStringLiteral("/password");
    writeFile(passwordFile, "secret\n");
    QFile::setPermissions(passwordFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    writeFile(env.configRoot() + QStringLiteral("/Tavelin/Tavelin.ini"),
              "[CardDAV]\nUrl=" + server.addressBook().toString().toUtf8() +
                  "\nUser=ann\nPasswordFile=" + passwordFile.toUtf8() + "\n");
    const QByteArray book = record("Ann", "1") + record("Bob", "2");
    writeFile(env.workPath("TAVELIN.FIL"), book);
    const auto summary = [](int addedThere, int changedThere) {
      return QStringLiteral(
                 "Synchronised: 0 added here, 0 changed here, 0 removed here; %1 "
                 "added there, %2 changed there, 0 removed there; 0 conflicts kept "
                 "as two contacts.\n")
          .arg(addedThere)
          .arg(changedThere);
    };

    Run run = runTavelin(env, {"--sync"});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, summary(2, 0));
    run = runTavelin(env, {"--sync"});
    QCOMPARE(run.out, summary(0, 0));
    // Edited by hand, outside the program: found by its name.
    const QByteArray edited = record("Ann", "1") + record("Bob", "3");
    writeFile(env.workPath("TAVELIN.FIL"), edited);
    run = runTavelin(env, {"--sync"});
    QCOMPARE(run.out, summary(0, 1));
    QCOMPARE(readFile(env.workPath("TAVELIN.FIL")), edited);

    writeFile(passwordFile, "wrong\n");
    run = runTavelin(env, {"--sync"});
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains(QStringLiteral("127.0.0.1")), qPrintable(run.err));
    QVERIFY2(!run.err.contains(QStringLiteral("wrong")), qPrintable(run.err));
    QCOMPARE(run.err.count(u'\n'), 1);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(readFile(env.workPath("TAVELIN.FIL")), edited);
  }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "test_command_line.moc"
