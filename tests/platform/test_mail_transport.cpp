#include <gmime/gmime.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTimeZone>

#include "platform/fake/fake_platform.h"
#include "platform/qt/mime_message.h"
#include "platform/qt/qt_mail_transport.h"
#include "support/test_env.h"

using namespace tavelin;
using namespace tavelin::platform;

namespace {

// A message as a reader sees it: the header lines unfolded, and the decoded fields.
struct Parsed {
  QStringList headerLines;
  QString to, subject, body, contentType, encoding;
  QStringList headerNames() const {
    QStringList names;
    for (const QString& line : headerLines) names << line.section(QLatin1Char(':'), 0, 0);
    return names;
  }
};

Parsed parse(const QByteArray& message) {
  Parsed p;
  const qsizetype end = message.indexOf("\n\n");
  for (const QByteArray& raw : message.left(end).split('\n')) {
    if (raw.startsWith(' ') || raw.startsWith('\t')) {
      p.headerLines.last() += QString::fromLatin1(raw);
    } else {
      p.headerLines << QString::fromLatin1(raw);
    }
  }
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(message.constData(), message.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  GMimeMessage* m = g_mime_parser_construct_message(parser, nullptr);
  if (m) {
    char* to = internet_address_list_to_string(g_mime_message_get_to(m), nullptr, FALSE);
    p.to = QString::fromUtf8(to);
    g_free(to);
    p.subject = QString::fromUtf8(g_mime_message_get_subject(m));
    GMimeObject* part = g_mime_message_get_mime_part(m);
    if (GMIME_IS_TEXT_PART(part)) {
      char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(part));
      p.body = QString::fromUtf8(text);
      g_free(text);
      char* type = g_mime_content_type_get_mime_type(g_mime_object_get_content_type(part));
      p.contentType =
          QString::fromLatin1(type) + u"; charset="_qs +
          QString::fromLatin1(g_mime_object_get_content_type_parameter(part, "charset"));
      g_free(type);
      p.encoding = QString::fromLatin1(
          g_mime_content_encoding_to_string(g_mime_part_get_content_encoding(GMIME_PART(part))));
    }
    g_object_unref(m);
  }
  g_object_unref(parser);
  g_object_unref(stream);
  return p;
}

QString writeScript(const QString& path, const QByteArray& body) {
  test::writeFile(path, "#!/bin/sh\n" + body);
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return path;
}

QString python() {
  return QFile::exists(u"/usr/bin/python3"_qs) ? u"/usr/bin/python3"_qs : u"python3"_qs;
}

}  // namespace

class MailTransportTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() { g_mime_init(); }
  void messageForm();
  void stubPrograms();
  void throughMsmtp();
};

void MailTransportTest::messageForm() {
  const QDateTime date(QDate(2026, 1, 2), QTime(9, 5, 7), QTimeZone(3600));
  const QString body = u"Grüße aus Köln\r\nline two\r\n"_qs + QString(2000, QLatin1Char('w'));
  const std::optional<QByteArray> built = buildMimeMessage(
      {u"\"Jörg Müller\" <jm@example.org>"_qs, u"Über uns\r\nBcc: evil@example.org"_qs, body},
      date);
  QVERIFY(built);
  const Parsed p = parse(*built);
  const QStringList names = p.headerNames();
  for (const char* name : {"To", "Subject", "Date", "Message-Id", "MIME-Version", "Content-Type"}) {
    QVERIFY2(names.contains(QLatin1String(name), Qt::CaseInsensitive), name);
  }
  // The line break in the subject started no header of its own.
  QVERIFY(!names.contains(u"Bcc"_qs, Qt::CaseInsensitive));
  QCOMPARE(names.filter(u"Subject"_qs, Qt::CaseInsensitive).size(), 1);
  QVERIFY(p.headerLines.contains(u"MIME-Version: 1.0"_qs));
  QVERIFY(p.headerLines.contains(u"Date: Fri, 02 Jan 2026 09:05:07 +0100"_qs));
  // Non-ASCII words travel encoded, and decode to what was written.
  QVERIFY(built->contains("=?utf-8?") || built->contains("=?UTF-8?"));
  for (const char c : *built) QVERIFY(static_cast<unsigned char>(c) < 128);
  QCOMPARE(p.subject, u"Über uns Bcc: evil@example.org"_qs);
  QCOMPARE(p.to, u"Jörg Müller <jm@example.org>"_qs);
  QCOMPARE(p.contentType.toLower(), u"text/plain; charset=utf-8"_qs);
  QCOMPARE(p.body, u"Grüße aus Köln\nline two\n"_qs + QString(2000, QLatin1Char('w')) + u"\n"_qs);
  for (const QByteArray& line : built->split('\n')) QVERIFY(line.size() <= 78);

  // Plain ASCII stays readable; a recipient that is no address gives no message.
  const Parsed plain = parse(*buildMimeMessage({u"a@b.c"_qs, u"Hi"_qs, u"Hello"_qs}, date));
  QVERIFY(plain.headerLines.contains(u"Subject: Hi"_qs));
  QCOMPARE(plain.body, u"Hello\n"_qs);
  for (const QString& to :
       {u"Ann Smith"_qs, QString(), u"group: ;"_qs, u"a@b.c\r\nBcc: x@y.z"_qs}) {
    const std::optional<QByteArray> refused = buildMimeMessage({to, u"s"_qs, u"b"_qs}, date);
    QVERIFY2(!refused || !refused->contains("\nBcc:"), qPrintable(to));
  }
  QVERIFY(!buildMimeMessage({u"Ann Smith"_qs, u"s"_qs, u"b"_qs}, date));
  QVERIFY(!buildMimeMessage({QString(), u"s"_qs, u"b"_qs}, date));
}

void MailTransportTest::stubPrograms() {
  test::TestEnvironment env;
  FakeSettingsStore settings;
  QtMailTransport transport(settings, 2000);
  const OutgoingMail mail{u"ann@example.org"_qs, u"Subject ä"_qs, u"Body\r\n"_qs};

  // The program with its fixed arguments, the message on standard input, no shell between.
  const QString stub = writeScript(env.workPath(u"send mail"_qs),
                                   "for a in \"$@\"; do echo \"$a\" >> \"$0.args\"; done\n"
                                   "cat > \"$0.in\"\n");
  settings.values[u"Platform/Sendmail"_qs] = u"\""_qs + stub + u"\" -t -oi \"a b\""_qs;
  QString error;
  QVERIFY2(transport.send(mail, &error), qPrintable(error));
  QCOMPARE(test::readFile(stub + u".args"_qs), QByteArray("-t\n-oi\na b\n"));
  const Parsed p = parse(test::readFile(stub + u".in"_qs));
  QVERIFY(p.to == u"ann@example.org"_qs && p.subject == u"Subject ä"_qs && p.body == u"Body\n"_qs);

  // Refusals: a non-zero exit, a missing program, a program that hangs (killed in time).
  settings.values[u"Platform/Sendmail"_qs] =
      writeScript(env.workPath(u"fails"_qs), "cat > /dev/null\nexit 1\n");
  QVERIFY(!transport.send(mail, &error) && error.contains(u"status 1"_qs));
  settings.values[u"Platform/Sendmail"_qs] = env.workPath(u"no-such-program"_qs);
  QVERIFY(!transport.send(mail, &error));
  QtMailTransport impatient(settings, 300);
  settings.values[u"Platform/Sendmail"_qs] =
      writeScript(env.workPath(u"hangs"_qs), "exec sleep 30\n");
  QElapsedTimer clock;
  clock.start();
  QVERIFY(!impatient.send(mail, &error) && error.contains(u"in time"_qs));
  QVERIFY(clock.elapsed() < 10000);
  // Without a setting the system's sendmail is asked (only tried where there is none).
  settings.values.clear();
  if (!QFile::exists(u"/usr/sbin/sendmail"_qs)) {
    QVERIFY(!transport.send(mail, &error) && error.startsWith(u"/usr/sbin/sendmail"_qs));
  }
  // A recipient that is no address never reaches the program.
  settings.values[u"Platform/Sendmail"_qs] = stub;
  QFile::remove(stub + u".in"_qs);
  QVERIFY(!transport.send({u"Ann Smith"_qs, u"s"_qs, u"b"_qs}, &error));
  QVERIFY(!QFile::exists(stub + u".in"_qs));
}

// The real msmtp delivers to an SMTP sink on the loopback.
void MailTransportTest::throughMsmtp() {
  test::TestEnvironment env;
  const QString msmtp = QStandardPaths::findExecutable(u"msmtp"_qs);
  QVERIFY2(!msmtp.isEmpty(), "msmtp is needed (scripts/install-deps)");
  const QString inbox = env.workPath(u"inbox"_qs);
  QVERIFY(QDir().mkpath(inbox));

  QProcess sink;
  sink.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  sink.start(python(), {QFINDTESTDATA("smtp_sink.py"), inbox});
  QVERIFY(sink.waitForStarted());
  QVERIFY2(sink.waitForReadyRead(20000), "the SMTP sink did not start (python3-aiosmtpd?)");
  const int port = sink.readLine().trimmed().toInt();
  QVERIFY(port > 0);

  const QString config = env.workPath(u"msmtprc"_qs);
  test::writeFile(config, QStringLiteral("defaults\naccount default\nhost 127.0.0.1\nport %1\n"
                                         "from tavelin@localhost\nauth off\ntls off\n")
                              .arg(port)
                              .toUtf8());
  QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner);
  FakeSettingsStore settings;
  settings.values[u"Platform/Sendmail"_qs] = msmtp + u" -C "_qs + config + u" -t"_qs;
  QtMailTransport transport(settings, 20000);
  QString error;
  const bool sent = transport.send(
      {u"\"Zoë Bright\" <zoe@example.org>"_qs, u"Größe"_qs, u"Hallo\r\n.\r\nEnde"_qs}, &error);

  sink.closeWriteChannel();
  if (!sink.waitForFinished(10000)) sink.kill();
  sink.waitForFinished();
  QVERIFY2(sent, qPrintable(error));

  QCOMPARE(test::readFile(inbox + u"/0.rcpt"_qs), QByteArray("zoe@example.org"));
  const QByteArray delivered = test::readFile(inbox + u"/0.eml"_qs).replace("\r\n", "\n");
  const Parsed p = parse(delivered);
  QCOMPARE(p.to, u"Zoë Bright <zoe@example.org>"_qs);
  QCOMPARE(p.subject, u"Größe"_qs);
  QCOMPARE(p.body, u"Hallo\n.\nEnde\n"_qs);
  QVERIFY(p.headerNames().contains(u"Message-Id"_qs, Qt::CaseInsensitive));
  QVERIFY(p.headerNames().contains(u"Date"_qs, Qt::CaseInsensitive));
}

QTEST_GUILESS_MAIN(MailTransportTest)
#include "test_mail_transport.moc"
