#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <vector>

namespace tavelin::sync {

// What one <response> of a multistatus said about one href, from its 2xx propstats only.
struct DavResponse {
  QString href;    // encoded absolute path, checked against the scope
  int status = 0;  // the response's own status (404 for a removed member), else 200
  QByteArray etag;
  QString displayName;
  bool isCollection = false;
  bool isAddressBook = false;
  bool hasAddressData = false;
  bool addressDataTooLarge = false;  // the card was left out: over the size a card may have
  QByteArray addressData;
  QString syncToken;                    // the collection's current one
  bool supportsSyncCollection = false;  // a sync-token, or the report in supported-report-set
  QString currentUserPrincipal;         // raw href texts: the caller resolves and checks them
  QString addressbookHomeSet;
};

struct Multistatus {
  std::vector<DavResponse> responses;
  QString syncToken;
  int refusedHrefs = 0;  // responses whose href lay outside the scope: dropped
  QString error;         // not empty: the body was no multistatus we could read
};

struct XmlLimits {
  int maxDepth = 32;
  qsizetype maxElements = 4'000'000;
  qsizetype maxResponses = 200'000;
  qsizetype maxCardBytes = 1 << 20;
  qsizetype maxTextBytes = 8 << 10;  // an href, an ETag, a name or a token
};

// Reads a 207 body (RFC 4918, 6352, 6578) with namespaces, bounded in depth, count and sizes.
// Hrefs are resolved against base and kept only within scope.
Multistatus parseMultistatus(QByteArrayView body, const QUrl& scope, const QUrl& base,
                             const XmlLimits& limits = {});

// The precondition elements of a DAV:error body (local names, e.g. "valid-sync-token",
// "no-uid-conflict") and the href inside no-uid-conflict, unchecked.
struct DavErrorBody {
  QStringList conditions;
  QString conflictHref;
};
DavErrorBody parseDavError(QByteArrayView body);

// Request bodies.
QByteArray propfindBody(const QStringList& davProps, const QStringList& cardDavProps);
QByteArray syncCollectionBody(const QString& token, bool withCards = false);
QByteArray multigetBody(const QStringList& hrefs);

}  // namespace tavelin::sync
