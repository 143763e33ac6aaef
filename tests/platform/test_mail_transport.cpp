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

// A message as a reader sees it: the header lines unfolded, their names, and the decoded fields.
struct Parsed {
  QStringList headerLines, headerNames;
  QString to, subject, body, contentType;
};

Parsed parse(const QByteArray& message) {
  Parsed p;
  for (const QByteArray& raw : message.left(message.indexOf("\n\n")).split('\n')) {
    if (raw.startsWith(' ') || raw.startsWith('\t')) {
      p.headerLines.last() += QString::fromLatin1(raw);
    } else {
      p.headerLines << QString::fromLatin1(raw);
      p.headerNames << p.headerLines.last().section(':', 0, 0).toLower();
    }
  }
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(message.constData(), message.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  if (GMimeMessage* m = g_mime_parser_construct_message(parser, nullptr)) {
    char* to = internet_address_list_to_string(g_mime_message_get_to(m), nullptr, FALSE);
    p.to = QString::fromUtf8(to);
    p.subject = QString::fromUtf8(g_mime_message_get_subject(m));
    GMimeObject* part = g_mime_message_get_mime_part(m);
    if (GMIME_IS_TEXT_PART(part)) {
      char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(part));
      char* type = g_mime_content_type_get_mime_type(g_mime_object_get_content_type(part));
      p.body = QString::fromUtf8(text);
      p.contentType =
          QString::fromLatin1(type) + "; charset=" +
          QString::fromLatin1(g_mime_object_get_content_type_parameter(part, "charset"));
      g_free(text);
      g_free(type);
    }
    g_free(to);
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

}  // namespace

class MailTransportTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() { g_mime_init(); }
  void messageForm() {
    const QDateTime date(QDate(2026, 1, 2), QTime(9, 5, 7), QTimeZone(3600));
    const QString body = "Grüße aus Köln\r\nline two\r\n" + QString(2000, 'w');
    const std::optional<QByteArray> built = buildMimeMessage(
        {"\"Jörg Müller\" <jm@example.org>", "Über uns\r\nBcc: evil@example.org", body}, date);
    QVERIFY(built);
    const Parsed p = parse(*built);
    for (const char* name : {"to", "date", "message-id", "mime-version", "content-type"}) {
      QVERIFY2(p.headerNames.contains(name), name);
    }
    // The line break in the subject started no header of its own.
    QVERIFY(!p.headerNames.contains("bcc"));
    QCOMPARE(p.headerNames.count("subject"), 1);
    QVERIFY(p.headerLines.contains("MIME-Version: 1.0"));
    QVERIFY(p.headerLines.contains("Date: Fri, 02 Jan 2026 09:05:07 +0100"));
    // Non-ASCII words travel encoded, and decode to what was written.
    QVERIFY(built->contains("=?utf-8?") || built->contains("=?UTF-8?"));
    for (const char c : *built) QVERIFY(static_cast<unsigned char>(c) < 128);
    for (const QByteArray& line : built->split('\n')) QVERIFY(line.size() <= 78);
    QCOMPARE(p.subject, "Über uns Bcc: evil@example.org");
    QCOMPARE(p.to, "Jörg Müller <jm@example.org>");
    QCOMPARE(p.contentType.toLower(), "text/plain; charset=utf-8");
    QCOMPARE(p.body, "Grüße aus Köln\nline two\n" + QString(2000, 'w') + "\n");

    // Plain ASCII stays readable; a recipient that is no address gives no message.
    const Parsed plain = parse(*buildMimeMessage({"a@b.c", "Hi", "Hello"}, date));
    QVERIFY(plain.headerLines.contains("Subject: Hi"));
    QCOMPARE(plain.body, "Hello\n");
    for (const QString to : {"Ann Smith", "", "group: ;"}) {
      QVERIFY2(!buildMimeMessage({to, "s", "b"}, date), qPrintable(to));
    }
    const std::optional<QByteArray> injected =
        buildMimeMessage({"a@b.c\r\nBcc: x@y.z", "s", "b"}, date);
    QVERIFY(!injected || !injected->contains("\nBcc:"));
  }

  void stubPrograms() {
    test::TestEnvironment env;
    FakeSettingsStore settings;
    QString& command = settings.values["Platform/Sendmail"];
    QtMailTransport transport(settings, 2000);
    const OutgoingMail mail{"ann@example.org", "Subject ä", "Body\r\n"};

    // The program with its fixed arguments, the message on standard input, no shell between.
    const QString stub = writeScript(env.workPath("send mail"),
                                     "for a in \"$@\"; do echo \"$a\" >> \"$0.args\"; done\n"
                                     "cat > \"$0.in\"\n");
    command = "\"" + stub + "\" -t -oi \"a b\"";
    QString error;
    QVERIFY2(transport.send(mail, &error), qPrintable(error));
    QCOMPARE(test::readFile(stub + ".args"), "-t\n-oi\na b\n");
    const Parsed p = parse(test::readFile(stub + ".in"));
    QVERIFY(p.to == "ann@example.org" && p.subject == "Subject ä" && p.body == "Body\n");

    // Refusals: a non-zero exit, a missing program, a program that hangs (killed in time).
    command = writeScript(env.workPath("fails"), "cat > /dev/null\nexit 1\n");
    QVERIFY(!transport.send(mail, &error) && error.contains("status 1"));
    command = env.workPath("no-such-program");
    QVERIFY(!transport.send(mail, &error));
    QtMailTransport impatient(settings, 300);
    command = writeScript(env.workPath("hangs"), "exec sleep 30\n");
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!impatient.send(mail, &error) && error.contains("in time"));
    QVERIFY(clock.elapsed() < 10000);
    // Without a setting the system's sendmail is asked (only tried where there is none).
    command.clear();
    if (!QFile::exists("/usr/sbin/sendmail")) {
      QVERIFY(!transport.send(mail, &error) && error.startsWith("/usr/sbin/sendmail"));
    }
    // A recipient that is no address never reaches the program.
    command = stub;
    QFile::remove(stub + ".in");
    QVERIFY(!transport.send({"Ann Smith", "s", "b"}, &error));
    QVERIFY(!QFile::exists(stub + ".in"));
  }

  // The real msmtp delivers to an SMTP sink on the loopback.
  void throughMsmtp() {
    test::TestEnvironment env;
    const QString msmtp = QStandardPaths::findExecutable("msmtp");
    QVERIFY2(!msmtp.isEmpty(), "msmtp is needed (scripts/install-deps)");
    const QString inbox = env.workPath("inbox");
    QVERIFY(QDir().mkpath(inbox));

    QProcess sink;
    sink.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The system's Python, which has the Debian package's aiosmtpd, before any other on the path.
    const bool system = QFile::exists("/usr/bin/python3");
    sink.start(system ? "/usr/bin/python3" : "python3", {QFINDTESTDATA("smtp_sink.py"), inbox});
    QVERIFY2(sink.waitForReadyRead(20000), "the SMTP sink did not start (python3-aiosmtpd?)");
    const int port = sink.readLine().trimmed().toInt();
    QVERIFY(port > 0);

    const QString config = env.workPath("msmtprc");
    test::writeFile(config, QStringLiteral("defaults\naccount default\nhost 127.0.0.1\nport %1\n"
                                           "from tavelin@localhost\nauth off\ntls off\n")
                                .arg(port)
                                .toUtf8());
    QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner);
    FakeSettingsStore settings;
    settings.values["Platform/Sendmail"] = msmtp + " -C " + config + " -t";
    QString error;
    const bool sent =
        QtMailTransport(settings, 20000)
            .send({"\"Zoë Bright\" <zoe@example.org>", "Größe", "Hallo\r\n.\r\nEnde"}, &error);
    sink.closeWriteChannel();
    if (!sink.waitForFinished(10000)) sink.kill();
    sink.waitForFinished();
    QVERIFY2(sent, qPrintable(error));

    QCOMPARE(test::readFile(inbox + "/0.rcpt"), "zoe@example.org");
    const Parsed p = parse(test::readFile(inbox + "/0.eml").replace("\r\n", "\n"));
    QCOMPARE(p.to, "Zoë Bright <zoe@example.org>");
    QCOMPARE(p.subject, "Größe");
    QCOMPARE(p.body, "Hallo\n.\nEnde\n");
    QVERIFY(p.headerNames.contains("message-id") && p.headerNames.contains("date"));
  }
};

QTEST_GUILESS_MAIN(MailTransportTest)
#include "test_mail_transport.moc"
