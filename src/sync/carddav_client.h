#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "sync/dav_xml.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace tavelin::sync {

enum class DavOutcome {
  Ok,
  PreconditionFailed,    // 412: the card changed on the server meanwhile
  Conflict,              // 409: for a PUT, most often a UID another card already has
  NotFound,              // 404
  InvalidSyncToken,      // 403 valid-sync-token: list everything instead
  AuthenticationFailed,  // 401 or 403: wrong user or password, or no access
  CertificateError,      // nothing was sent
  InsecureRefused,       // plain http to a host that is not this machine
  RedirectRefused,       // to another server, or too many
  HrefRefused,           // a card address outside the address book
  TooLarge,              // the answer went past its size limit and was cut off
  BadResponse,           // an answer we could not read
  HttpError,             // any other status
  NetworkError,
  TimedOut,
};

struct DavResult {
  DavOutcome outcome = DavOutcome::Ok;
  int httpStatus = 0;
  QString message;                // for the user; never holds the password
  QStringList conditions;         // the server's precondition names, e.g. "no-uid-conflict"
  QString conflictHref;           // Conflict: the card that has the UID, when the server said
  QStringList certificateErrors;  // CertificateError: the reasons
  QByteArray certificateSha256;   // CertificateError: the server's certificate, to trust it
  QUrl redirectTarget;            // RedirectRefused
  bool ok() const { return outcome == DavOutcome::Ok; }
};

struct DavAccount {
  QUrl url;  // the server, or the address book itself
  QString user;
  QString password;                // kept in memory only
  QByteArray trustedSha256;        // a certificate the user trusts although it fails the checks
  bool allowInsecureHttp = false;  // the user agreed to plain http to another machine
};

struct DavLimits {
  qint64 maxMultigetBytes = qint64(64) << 20;
  qint64 maxOtherBytes = qint64(16) << 20;
  int multigetBatch = 100;
  int maxRedirects = 5;
  int idleTimeoutMs = 60'000;
  int totalTimeoutMs = 600'000;
  XmlLimits xml;
};

struct AddressBookInfo {
  QUrl url;
  QString displayName;
};
struct Discovery {
  DavResult result;
  std::vector<AddressBookInfo> addressBooks;
};
struct CollectionInfo {
  DavResult result;
  bool isAddressBook = false;
  QString displayName;
  bool supportsSyncCollection = false;  // else changes are found by comparing ETags
  QString syncToken;                    // the current one, when offered
};
struct MemberEtag {
  QString href;
  QByteArray etag;
};
struct EtagListing {
  DavResult result;
  std::vector<MemberEtag> members;
};
struct FetchedCard {
  QString href;
  QByteArray etag;
  QByteArray card;
};
struct SyncChanges {
  DavResult result;
  QString token;                    // for the next sync
  std::vector<MemberEtag> changed;  // added or changed
  std::vector<FetchedCard> cards;   // added or changed, sent whole (asked withCards)
  QStringList removed;
  bool truncated = false;  // the server sent part (507 on the book): ask again with token
};
struct CardBatch {
  std::vector<FetchedCard> cards;
  QStringList missing;  // asked for but not sent: gone, or too large
};
struct PutResult {
  DavResult result;
  std::optional<QByteArray> etag;  // the stored card's ETag, when the server said it
};

// A CardDAV client (RFC 6352, 6578) on one account. Asynchronous: every call returns at once
// and ends in one call of its callback, on this object's thread; callbacks of requests still
// running when the client is destroyed are not called. Hrefs are encoded absolute paths.
class CardDavClient : public QObject {
  Q_OBJECT

 public:
  CardDavClient(QNetworkAccessManager& network, DavAccount account, DavLimits limits = {},
                QObject* parent = nullptr);
  ~CardDavClient() override;

  // The address book the operations below work on: the account's URL until set.
  QUrl collection() const { return collection_; }
  // Refused (false) unless on the account's server.
  bool setCollection(const QUrl& url);
  // The href a new card of this file name gets.
  QString hrefFor(const QString& fileName) const;
  // Whether the address book is on this machine: no network between to wait on.
  bool onThisMachine() const;

  // From the server's address: /.well-known/carddav, current-user-principal,
  // addressbook-home-set, then the address books in that home.
  void discover(std::function<void(Discovery)> done);
  // What the address book is and whether it offers sync-collection (RFC 6578).
  void probeCollection(std::function<void(CollectionInfo)> done);
  // Changes since token (empty: everything, with a first token). withCards asks for the
  // changed cards in the same answer; a server that leaves them out lists them in changed.
  void syncCollection(const QString& token, bool withCards, std::function<void(SyncChanges)> done);
  void listEtags(std::function<void(EtagListing)> done);
  // Fetches in batches of limits.multigetBatch, one onBatch per batch, then done once.
  void multiget(const QStringList& hrefs, std::function<void(CardBatch)> onBatch,
                std::function<void(DavResult)> done);
  void putNew(const QString& href, const QByteArray& card, std::function<void(PutResult)> done);
  void putChanged(const QString& href, const QByteArray& card, const QByteArray& etag,
                  std::function<void(PutResult)> done);
  void remove(const QString& href, const QByteArray& etag, std::function<void(DavResult)> done);

  // One request, followed through same-server redirects.
  struct Request {
    QByteArray method;
    QUrl url;
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers;
    qint64 maxBytes = 0;
    int redirects = 0;
    // What the attempt in flight has met.
    QByteArray received;
    bool tooLarge = false;
    bool timedOut = false;
    QStringList sslReasons;
    QByteArray sslSha256;
  };
  struct Response {
    DavResult result;
    int status = 0;
    QByteArray body;
    QByteArray etag;
    QUrl url;  // after redirects
  };

 private:
  void send(Request request, std::function<void(Response)> done);
  void start(std::shared_ptr<Request> request, std::function<void(Response)> done);
  void finish(QNetworkReply* reply, std::shared_ptr<Request> request,
              std::function<void(Response)> done);
  void put(const QString& href, const QByteArray& card, const QByteArray& header,
           const QByteArray& value, std::function<void(PutResult)> done);
  void multigetFrom(std::shared_ptr<QStringList> hrefs, qsizetype from,
                    std::function<void(CardBatch)> onBatch, std::function<void(DavResult)> done);
  void discoverPrincipal(const QUrl& url, bool wellKnown, std::function<void(Discovery)> done);
  void discoverHome(const QUrl& principal, std::function<void(Discovery)> done);
  void listHome(const QUrl& home, std::function<void(Discovery)> done);
  QUrl serverRoot() const;
  std::optional<DavResult> refusal(const QUrl& url) const;

  QNetworkAccessManager& network_;
  DavAccount account_;
  DavLimits limits_;
  QUrl collection_;
  std::vector<QNetworkReply*> running_;
};

// One line naming an outcome, for messages.
QString describe(DavOutcome outcome);

// An ETag fit to keep and to send back in a header: not empty, not over 1 KiB, and no control
// character that could end the header or smuggle in another.
bool safeHeaderValue(const QByteArray& value);

}  // namespace tavelin::sync
