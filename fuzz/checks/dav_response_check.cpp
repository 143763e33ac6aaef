// A server's multistatus and error bodies: whatever they say, every href that comes out lies
// inside the address book, and nothing exceeds its limit. The first byte picks the address the
// body answers for: the book itself, the server's root, or another server.
#include <QUrl>

#include "fuzz_checks.h"
#include "sync/dav_href.h"
#include "sync/dav_xml.h"

namespace tavelin::fuzz {

QString checkDavResponse(QByteArrayView bytes) {
  const QUrl book(QStringLiteral("https://dav.example.org/ann/book/"));
  const QUrl bases[] = {book, QUrl(QStringLiteral("https://dav.example.org/")),
                        QUrl(QStringLiteral("https://other.example.org/ann/book/"))};
  const QUrl& base = bases[bytes.isEmpty() ? 0 : static_cast<unsigned char>(bytes[0]) % 3];
  const QByteArrayView body = bytes.isEmpty() ? bytes : bytes.sliced(1);

  sync::XmlLimits limits;
  limits.maxDepth = 12;
  limits.maxResponses = 50;
  limits.maxCardBytes = 4096;
  limits.maxTextBytes = 512;
  const sync::Multistatus found = sync::parseMultistatus(body, book, base, limits);
  if (!found.error.isEmpty() && !found.responses.empty()) {
    return QStringLiteral("responses kept from a body that could not be read");
  }
  if (std::ssize(found.responses) > limits.maxResponses)
    return QStringLiteral("too many responses");
  const QString own = book.path(QUrl::FullyEncoded);
  for (const sync::DavResponse& r : found.responses) {
    if (r.href != own.chopped(1) && !r.href.startsWith(own)) {
      return QStringLiteral("an href outside the address book: ") + r.href;
    }
    // What the client would send back for it must name the same place again.
    if (sync::hrefWithin(book, book, r.href) != r.href) {
      return QStringLiteral("an href that reads otherwise a second time: ") + r.href;
    }
    if (r.addressData.size() > limits.maxCardBytes * 3 || r.etag.size() > limits.maxTextBytes * 3 ||
        r.displayName.size() > limits.maxTextBytes) {
      return QStringLiteral("a value over its limit");
    }
    if (r.addressDataTooLarge && !r.addressData.isEmpty()) {
      return QStringLiteral("a card both too large and kept");
    }
  }
  if (found.syncToken.size() > limits.maxTextBytes) return QStringLiteral("a token over its limit");

  const sync::DavErrorBody error = sync::parseDavError(body);
  if (error.conditions.size() > 16 || error.conflictHref.size() > 4096) {
    return QStringLiteral("an error body over its limits");
  }
  return {};
}

}  // namespace tavelin::fuzz
