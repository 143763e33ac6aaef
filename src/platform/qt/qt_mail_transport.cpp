#include "platform/qt/qt_mail_transport.h"

#include <QDateTime>
#include <QProcess>

#include "platform/launcher.h"
#include "platform/qt/mime_message.h"
#include "platform/settings_store.h"

namespace tavelin::platform {
namespace {

const QString kDefaultSendmail = QStringLiteral("/usr/sbin/sendmail -t -oi");

bool fail(QString* error, const QString& reason) {
  if (error) *error = reason;
  return false;
}

}  // namespace

bool QtMailTransport::send(const OutgoingMail& mail, QString* error) {
  const std::optional<QByteArray> message = buildMimeMessage(mail, QDateTime::currentDateTime());
  if (!message) return fail(error, QStringLiteral("not an e-mail address: %1").arg(mail.to));

  QString commandLine = settings_.value(QStringLiteral("Platform"), QStringLiteral("Sendmail"));
  if (commandLine.trimmed().isEmpty()) commandLine = kDefaultSendmail;
  QStringList words = splitCommandLine(commandLine);
  if (words.isEmpty()) return fail(error, QStringLiteral("no mail program"));
  const QString program = words.takeFirst();

  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  process.start(program, words);
  if (!process.waitForStarted(timeoutMs_)) {
    return fail(error, QStringLiteral("%1: %2").arg(program, process.errorString()));
  }
  process.write(*message);
  process.closeWriteChannel();
  if (!process.waitForFinished(timeoutMs_)) {
    process.kill();
    process.waitForFinished(-1);
    return fail(error, QStringLiteral("%1 did not finish in time").arg(program));
  }
  if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    return fail(error,
                QStringLiteral("%1 exited with status %2").arg(program).arg(process.exitCode()));
  }
  return true;
}

}  // namespace tavelin::platform
