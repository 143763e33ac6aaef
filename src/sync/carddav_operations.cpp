// The CardDAV operations, each a request or a short chain of them over CardDavClient::send.
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "sync/carddav_client.h"
#include "sync/dav_href.h"

namespace tavelin::sync {

namespace {

// A PROPFIND or REPORT with its XML body, to the depth given.
CardDavClient::Request xmlRequest(QByteArray method, QUrl url, QByteArray depth, QByteArray body,
                                  qint64 maxBytes) {
  CardDavClient::Request request;
  request.method = std::move(method);
  request.url = std::move(url);
  request.headers = {{"Depth", std::move(depth)},
                     {"Content-Type", QByteArrayLiteral("application/xml; charset=utf-8")}};
  request.body = std::move(body);
  request.maxBytes = maxBytes;
  return request;
}

QStringList davProps(std::initializer_list<const char*> names) {
  QStringList list;
  for (const char* name : names) list.append(QString::fromLatin1(name));
  return list;
}

// A call refused before anything is sent still answers after the caller's code that follows
// it, as a request would.
template <typename Result>
void answerLater(QObject* context, std::function<void(Result)> done, Result result) {
  QTimer::singleShot(0, context,
                     [done = std::move(done), result = std::move(result)] { done(result); });
}

DavResult hrefRefused(const QString& href) {
  DavResult result;
  result.outcome = DavOutcome::HrefRefused;
  result.message = describe(DavOutcome::HrefRefused) + QStringLiteral(": ") + href.left(200);
  return result;
}

DavResult damagedEtag() {
  DavResult result;
  result.outcome = DavOutcome::BadResponse;
  result.message = QStringLiteral("a damaged ETag");
  return result;
}

DavResult unreadable(const QUrl& url, const QString& why) {
  DavResult result;
  result.outcome = DavOutcome::BadResponse;
  result.message = url.host() + QStringLiteral(": ") + describe(DavOutcome::BadResponse) +
                   QStringLiteral(" (") + why + u')';
  return result;
}

// The multistatus an answer holds. failure is the request's own when it failed, or says why
// the body could not be read; it is Ok when found can be used.
Multistatus multistatusOf(const CardDavClient::Response& response, const QUrl& base,
                          const XmlLimits& limits, DavResult& failure) {
  failure = response.result;
  if (!failure.ok()) return {};
  Multistatus found = parseMultistatus(response.body, base, response.url, limits);
  if (!found.error.isEmpty()) failure = unreadable(response.url, found.error);
  return found;
}

bool isCollectionItself(const QUrl& collection, const QString& href) {
  const QString own = collection.path(QUrl::FullyEncoded);
  return href == own || href == own.chopped(1);
}

}  // namespace

void CardDavClient::discover(std::function<void(Discovery)> done) {
  const QString path = account_.url.path();
  if (path.isEmpty() || path == QLatin1String("/")) {
    QUrl wellKnown = serverRoot();
    wellKnown.setPath(QStringLiteral("/.well-known/carddav"));
    discoverPrincipal(wellKnown, true, std::move(done));
  } else {
    discoverPrincipal(account_.url, false, std::move(done));
  }
}

void CardDavClient::discoverPrincipal(const QUrl& url, bool wellKnown,
                                      std::function<void(Discovery)> done) {
  send(
      xmlRequest("PROPFIND", url, "0",
                 propfindBody(davProps({"current-user-principal", "resourcetype"}),
                              davProps({"addressbook-home-set"})),
                 limits_.maxOtherBytes),
      [this, wellKnown, done = std::move(done)](Response response) {
        const DavOutcome outcome = response.result.outcome;
        // Servers without the well-known address answer at their root.
        if (wellKnown && (outcome == DavOutcome::NotFound || outcome == DavOutcome::HttpError ||
                          outcome == DavOutcome::BadResponse)) {
          return discoverPrincipal(serverRoot(), false, std::move(done));
        }
        DavResult failed;
        const Multistatus found = multistatusOf(response, serverRoot(), limits_.xml, failed);
        if (!failed.ok()) return done({failed, {}});
        QString principal;
        QString home;
        bool isAddressBook = false;
        for (const DavResponse& r : found.responses) {
          if (!r.currentUserPrincipal.isEmpty()) principal = r.currentUserPrincipal;
          if (!r.addressbookHomeSet.isEmpty()) home = r.addressbookHomeSet;
          isAddressBook |= r.isAddressBook;
        }
        if (isAddressBook) {
          return done({{}, {{collectionUrl(response.url), QString()}}});
        }
        const auto resolve = [&](const QString& href) -> std::optional<QUrl> {
          const std::optional<QString> path = hrefWithin(serverRoot(), response.url, href);
          if (!path) return std::nullopt;
          return urlOfPath(serverRoot(), *path);
        };
        if (!home.isEmpty()) {
          if (std::optional<QUrl> url = resolve(home)) return listHome(*url, std::move(done));
        } else if (!principal.isEmpty()) {
          if (std::optional<QUrl> url = resolve(principal))
            return discoverHome(*url, std::move(done));
        }
        done({unreadable(response.url, QStringLiteral("no address book home on this server")), {}});
      });
}

void CardDavClient::discoverHome(const QUrl& principal, std::function<void(Discovery)> done) {
  send(
      xmlRequest("PROPFIND", principal, "0", propfindBody({}, davProps({"addressbook-home-set"})),
                 limits_.maxOtherBytes),
      [this, done = std::move(done)](Response response) {
        DavResult failed;
        const Multistatus found = multistatusOf(response, serverRoot(), limits_.xml, failed);
        if (!failed.ok()) return done({failed, {}});
        for (const DavResponse& r : found.responses) {
          if (r.addressbookHomeSet.isEmpty()) continue;
          const std::optional<QString> path =
              hrefWithin(serverRoot(), response.url, r.addressbookHomeSet);
          if (path) return listHome(urlOfPath(serverRoot(), *path), std::move(done));
        }
        done({unreadable(response.url, QStringLiteral("no address book home on this server")), {}});
      });
}

void CardDavClient::listHome(const QUrl& home, std::function<void(Discovery)> done) {
  send(xmlRequest("PROPFIND", collectionUrl(home), "1",
                  propfindBody(davProps({"resourcetype", "displayname"}), {}),
                  limits_.maxOtherBytes),
       [this, done = std::move(done)](Response response) {
         DavResult failed;
         const Multistatus found = multistatusOf(response, serverRoot(), limits_.xml, failed);
         if (!failed.ok()) return done({failed, {}});
         Discovery discovery;
         for (const DavResponse& r : found.responses) {
           if (!r.isAddressBook) continue;
           discovery.addressBooks.push_back(
               {collectionUrl(urlOfPath(serverRoot(), r.href)), r.displayName});
         }
         done(std::move(discovery));
       });
}

void CardDavClient::probeCollection(std::function<void(CollectionInfo)> done) {
  send(xmlRequest(
           "PROPFIND", collection_, "0",
           propfindBody(
               davProps({"resourcetype", "displayname", "sync-token", "supported-report-set"}), {}),
           limits_.maxOtherBytes),
       [this, done = std::move(done)](Response response) {
         CollectionInfo info;
         const Multistatus found = multistatusOf(response, collection_, limits_.xml, info.result);
         if (!info.result.ok()) return done(std::move(info));
         for (const DavResponse& r : found.responses) {
           if (!isCollectionItself(collection_, r.href)) continue;
           info.isAddressBook = r.isAddressBook;
           info.displayName = r.displayName;
           info.supportsSyncCollection = r.supportsSyncCollection;
           info.syncToken = r.syncToken;
         }
         done(std::move(info));
       });
}

void CardDavClient::syncCollection(const QString& token, bool withCards,
                                   std::function<void(SyncChanges)> done) {
  send(xmlRequest("REPORT", collection_, "0", syncCollectionBody(token, withCards),
                  withCards ? limits_.maxMultigetBytes : limits_.maxOtherBytes),
       [this, done = std::move(done)](Response response) {
         SyncChanges changes;
         const Multistatus found =
             multistatusOf(response, collection_, limits_.xml, changes.result);
         if (!changes.result.ok()) return done(std::move(changes));
         if (found.syncToken.isEmpty()) {
           SyncChanges none;
           none.result = unreadable(response.url, QStringLiteral("no sync token"));
           return done(std::move(none));
         }
         changes.token = found.syncToken;
         for (const DavResponse& r : found.responses) {
           if (isCollectionItself(collection_, r.href)) {
             changes.truncated |= r.status == 507;
             continue;
           }
           if (r.isCollection) continue;
           if (r.status == 404) {
             changes.removed.append(r.href);
           } else if (r.status >= 200 && r.status < 300 && !r.etag.isEmpty() && r.hasAddressData &&
                      !r.addressDataTooLarge) {
             changes.cards.push_back({r.href, r.etag, r.addressData});
           } else if (r.status >= 200 && r.status < 300 && !r.etag.isEmpty()) {
             changes.changed.push_back({r.href, r.etag});
           }
         }
         done(std::move(changes));
       });
}

void CardDavClient::listEtags(std::function<void(EtagListing)> done) {
  send(xmlRequest("PROPFIND", collection_, "1",
                  propfindBody(davProps({"getetag", "resourcetype"}), {}), limits_.maxOtherBytes),
       [this, done = std::move(done)](Response response) {
         EtagListing listing;
         const Multistatus found =
             multistatusOf(response, collection_, limits_.xml, listing.result);
         if (!listing.result.ok()) return done(std::move(listing));
         for (const DavResponse& r : found.responses) {
           if (isCollectionItself(collection_, r.href) || r.isCollection || r.etag.isEmpty())
             continue;
           listing.members.push_back({r.href, r.etag});
         }
         done(std::move(listing));
       });
}

void CardDavClient::multiget(const QStringList& hrefs, std::function<void(CardBatch)> onBatch,
                             std::function<void(DavResult)> done) {
  auto checked = std::make_shared<QStringList>();
  for (const QString& href : hrefs) {
    const std::optional<QString> path = memberHref(collection_, href);
    if (!path) return answerLater(this, std::move(done), hrefRefused(href));
    checked->append(*path);
  }
  multigetFrom(std::move(checked), 0, std::move(onBatch), std::move(done));
}

void CardDavClient::multigetFrom(std::shared_ptr<QStringList> hrefs, qsizetype from,
                                 std::function<void(CardBatch)> onBatch,
                                 std::function<void(DavResult)> done) {
  if (from >= hrefs->size()) return answerLater(this, std::move(done), DavResult{});
  const QStringList batch = hrefs->mid(from, std::max(1, limits_.multigetBatch));
  send(xmlRequest("REPORT", collection_, "1", multigetBody(batch), limits_.maxMultigetBytes),
       [this, hrefs, from, batch, onBatch = std::move(onBatch),
        done = std::move(done)](Response response) mutable {
         DavResult failed;
         const Multistatus found = multistatusOf(response, collection_, limits_.xml, failed);
         if (!failed.ok()) return done(failed);
         CardBatch cards;
         QSet<QString> asked(batch.begin(), batch.end());
         for (const DavResponse& r : found.responses) {
           // Only what we asked for, once: a server cannot slip in cards of its own choosing.
           if (!asked.remove(r.href)) continue;
           if (r.status >= 200 && r.status < 300 && r.hasAddressData && !r.addressDataTooLarge &&
               !r.etag.isEmpty()) {
             cards.cards.push_back({r.href, r.etag, r.addressData});
           } else {
             cards.missing.append(r.href);
           }
         }
         for (const QString& href : batch) {
           if (asked.contains(href)) cards.missing.append(href);
         }
         onBatch(std::move(cards));
         multigetFrom(std::move(hrefs), from + batch.size(), std::move(onBatch), std::move(done));
       });
}

void CardDavClient::putNew(const QString& href, const QByteArray& card,
                           std::function<void(PutResult)> done) {
  put(href, card, "If-None-Match", "*", std::move(done));
}

void CardDavClient::putChanged(const QString& href, const QByteArray& card, const QByteArray& etag,
                               std::function<void(PutResult)> done) {
  put(href, card, "If-Match", etag, std::move(done));
}

void CardDavClient::put(const QString& href, const QByteArray& card, const QByteArray& header,
                        const QByteArray& value, std::function<void(PutResult)> done) {
  const std::optional<QString> path = memberHref(collection_, href);
  if (!path) return answerLater(this, std::move(done), PutResult{hrefRefused(href), {}});
  if (!safeHeaderValue(value))
    return answerLater(this, std::move(done), PutResult{damagedEtag(), {}});
  Request request;
  request.method = "PUT";
  request.url = urlOfPath(collection_, *path);
  request.headers = {{"Content-Type", "text/vcard; charset=utf-8"}, {header, value}};
  request.body = card;
  request.maxBytes = limits_.maxOtherBytes;
  send(std::move(request), [done = std::move(done)](Response response) {
    PutResult result;
    result.result = response.result;
    if (response.result.ok() && !response.etag.isEmpty()) result.etag = response.etag;
    done(std::move(result));
  });
}

void CardDavClient::remove(const QString& href, const QByteArray& etag,
                           std::function<void(DavResult)> done) {
  const std::optional<QString> path = memberHref(collection_, href);
  if (!path) return answerLater(this, std::move(done), hrefRefused(href));
  if (!safeHeaderValue(etag)) return answerLater(this, std::move(done), damagedEtag());
  Request request;
  request.method = "DELETE";
  request.url = urlOfPath(collection_, *path);
  request.headers = {{"If-Match", etag}};
  request.maxBytes = limits_.maxOtherBytes;
  send(std::move(request), [done = std::move(done)](Response response) { done(response.result); });
}

}  // namespace tavelin::sync
