#include "platform/qt/mime_message.h"

#include <gmime/gmime.h>

#include <QRegularExpression>
#include <QSysInfo>
#include <cstring>
#include <memory>
#include <mutex>

namespace tavelin::platform {
namespace {

// GMime's objects are GObjects: each owned pointer is released once, whatever path is taken.
template <typename T>
struct Unref {
  void operator()(T* p) const {
    if (p) g_object_unref(p);
  }
};
template <typename T>
using GPtr = std::unique_ptr<T, Unref<T>>;

struct GFreeString {
  void operator()(char* p) const { g_free(p); }
};
using GString_ = std::unique_ptr<char, GFreeString>;

void initialiseGMime() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

// A header value on one line: a CR or LF would end the header and start another.
QByteArray headerText(QString text) {
  static const QRegularExpression lineBreaks(QStringLiteral("[\r\n]+"));
  text.replace(lineBreaks, QStringLiteral(" "));
  return text.trimmed().toUtf8();
}

// Every recipient is a mailbox with an address; a group, a bare name or nothing is refused.
bool allMailboxes(InternetAddressList* list) {
  const int count = internet_address_list_length(list);
  if (count <= 0) return false;
  for (int i = 0; i < count; ++i) {
    InternetAddress* address = internet_address_list_get_address(list, i);
    if (!INTERNET_ADDRESS_IS_MAILBOX(address)) return false;
    const char* addr = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address));
    if (!addr || !strchr(addr, '@')) return false;
  }
  return true;
}

// sendmail reads lines ended by LF alone.
QByteArray bodyText(QString body) {
  body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  if (!body.endsWith(QLatin1Char('\n'))) body += QLatin1Char('\n');
  return body.toUtf8();
}

}  // namespace

std::optional<QByteArray> buildMimeMessage(const OutgoingMail& mail, const QDateTime& date) {
  initialiseGMime();

  const QByteArray to = headerText(mail.to);
  GPtr<InternetAddressList> recipients(internet_address_list_parse(nullptr, to.constData()));
  if (!recipients || !allMailboxes(recipients.get())) return std::nullopt;

  GPtr<GMimeMessage> message(g_mime_message_new(TRUE));
  internet_address_list_append(g_mime_message_get_to(message.get()), recipients.get());
  g_mime_message_set_subject(message.get(), headerText(mail.subject).constData(), "utf-8");

  GTimeZone* zone = g_time_zone_new_offset(date.offsetFromUtc());
  const QDate d = date.date();
  const QTime t = date.time();
  GDateTime* when =
      g_date_time_new(zone, d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
  g_time_zone_unref(zone);
  if (when) {
    g_mime_message_set_date(message.get(), when);
    g_date_time_unref(when);
  }

  const QByteArray host = QSysInfo::machineHostName().toUtf8();
  GString_ id(g_mime_utils_generate_message_id(host.isEmpty() ? "localhost" : host.constData()));
  g_mime_message_set_message_id(message.get(), id.get());

  GPtr<GMimeTextPart> part(g_mime_text_part_new_with_subtype("plain"));
  // The body as UTF-8 bytes: set_text would pick a narrower charset of its own.
  const QByteArray body = bodyText(mail.body);
  GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(body.constData(), body.size()));
  GPtr<GMimeDataWrapper> content(
      g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
  GMimePart* asPart = GMIME_PART(part.get());
  g_mime_part_set_content(asPart, content.get());
  g_mime_text_part_set_charset(part.get(), "utf-8");
  g_mime_part_set_content_encoding(
      asPart, g_mime_part_get_best_content_encoding(asPart, GMIME_ENCODING_CONSTRAINT_7BIT));
  g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(part.get()));

  GString_ text(g_mime_object_to_string(GMIME_OBJECT(message.get()), nullptr));
  if (!text) return std::nullopt;
  return QByteArray(text.get());
}

}  // namespace tavelin::platform
