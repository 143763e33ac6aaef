#include "sync/dav_xml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <optional>

#include "sync/dav_href.h"

namespace tavelin::sync {

namespace {

const QString kDav = QStringLiteral("DAV:");
const QString kCardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");

enum class Tag {
  Other,
  Multistatus,
  Response,
  Href,
  Status,
  Propstat,
  Prop,
  GetEtag,
  DisplayName,
  ResourceType,
  Collection,
  AddressBook,
  AddressData,
  Principal,
  HomeSet,
  SyncToken,
  SyncCollection
};

Tag tagOf(QStringView ns, QStringView name) {
  if (ns == kCardDav) {
    if (name == u"addressbook") return Tag::AddressBook;
    if (name == u"address-data") return Tag::AddressData;
    if (name == u"addressbook-home-set") return Tag::HomeSet;
    return Tag::Other;
  }
  if (ns != kDav) return Tag::Other;
  static const std::pair<const char16_t*, Tag> names[] = {
      {u"multistatus", Tag::Multistatus},
      {u"response", Tag::Response},
      {u"href", Tag::Href},
      {u"status", Tag::Status},
      {u"propstat", Tag::Propstat},
      {u"prop", Tag::Prop},
      {u"getetag", Tag::GetEtag},
      {u"displayname", Tag::DisplayName},
      {u"resourcetype", Tag::ResourceType},
      {u"collection", Tag::Collection},
      {u"current-user-principal", Tag::Principal},
      {u"sync-token", Tag::SyncToken},
      {u"sync-collection", Tag::SyncCollection}};
  for (const auto& [text, tag] : names) {
    if (name == QStringView(text)) return tag;
  }
  return Tag::Other;
}

// "HTTP/1.1 404 Not Found" -> 404; 0 when unreadable.
int statusCode(const QString& line) {
  const QStringList parts = line.simplified().split(QLatin1Char(' '));
  if (parts.size() < 2) return 0;
  bool ok = false;
  const int code = parts.at(1).toInt(&ok);
  return ok && code >= 100 && code <= 999 ? code : 0;
}

class MultistatusReader {
 public:
  MultistatusReader(QByteArrayView body, const QUrl& scope, const QUrl& base,
                    const XmlLimits& limits)
      : xml_(QByteArray::fromRawData(body.data(), body.size())),
        scope_(scope),
        base_(base),
        limits_(limits) {}

  Multistatus read() {
    while (!xml_.atEnd() && result_.error.isEmpty()) {
      switch (xml_.readNext()) {
        case QXmlStreamReader::DTD:
          // No entity of the server's own may grow the text.
          fail(QStringLiteral("a document type declaration"));
          break;
        case QXmlStreamReader::StartElement:
          start();
          break;
        case QXmlStreamReader::EndElement:
          end();
          break;
        case QXmlStreamReader::Characters:
          text();
          break;
        default:
          break;
      }
    }
    if (result_.error.isEmpty() && xml_.hasError()) fail(xml_.errorString());
    if (result_.error.isEmpty() && !sawRoot_) fail(QStringLiteral("no multistatus"));
    if (!result_.error.isEmpty()) result_.responses.clear();
    return std::move(result_);
  }

 private:
  Tag parent(int up = 1) const {
    return std::ssize(stack_) > up ? stack_[stack_.size() - 1 - up] : Tag::Other;
  }
  bool inside(Tag tag) const {
    return std::find(stack_.begin(), stack_.end(), tag) != stack_.end();
  }

  void fail(const QString& why) {
    if (result_.error.isEmpty()) result_.error = why;
  }

  void start() {
    if (++elements_ > limits_.maxElements) return fail(QStringLiteral("too many elements"));
    if (static_cast<int>(stack_.size()) >= limits_.maxDepth) {
      return fail(QStringLiteral("elements nested too deep"));
    }
    const Tag tag = tagOf(xml_.namespaceUri(), xml_.name());
    stack_.push_back(tag);
    text_.clear();
    textTooLong_ = false;
    const Tag up = parent();
    if (stack_.size() == 1) {
      if (tag != Tag::Multistatus) return fail(QStringLiteral("no multistatus"));
      sawRoot_ = true;
    } else if (tag == Tag::Response && up == Tag::Multistatus) {
      if (static_cast<qsizetype>(result_.responses.size()) >= limits_.maxResponses) {
        return fail(QStringLiteral("too many responses"));
      }
      current_ = DavResponse{};
      rawHref_.clear();
    } else if (tag == Tag::Propstat && up == Tag::Response) {
      propstat_ = DavResponse{};
      propstatStatus_ = 0;
    } else if (tag == Tag::SyncCollection && inProp()) {
      propstat_.supportsSyncCollection = true;  // in supported-report-set
    } else if (inProp() && up == Tag::ResourceType) {
      if (tag == Tag::Collection) propstat_.isCollection = true;
      if (tag == Tag::AddressBook) propstat_.isAddressBook = true;
    }
  }

  bool inProp() const { return inside(Tag::Propstat) && inside(Tag::Prop); }

  void text() {
    const qsizetype limit = stack_.empty()                      ? 0
                            : stack_.back() == Tag::AddressData ? limits_.maxCardBytes
                                                                : limits_.maxTextBytes;
    if (textTooLong_) return;
    if (text_.size() + xml_.text().size() > limit) {
      textTooLong_ = true;
      text_.clear();
      return;
    }
    text_ += xml_.text();
  }

  void end() {
    if (stack_.empty()) return;
    const Tag tag = stack_.back();
    const Tag up = parent();
    const bool prop = inProp();
    const QString value = textTooLong_ ? QString() : text_;
    if (textTooLong_ && tag != Tag::AddressData && tag != Tag::Other) {
      fail(QStringLiteral("an over-long value"));
    }
    if (tag == Tag::Href && up == Tag::Response) {
      rawHref_ = value;
    } else if (tag == Tag::Status && up == Tag::Response) {
      current_.status = statusCode(value);
    } else if (tag == Tag::Status && up == Tag::Propstat) {
      propstatStatus_ = statusCode(value);
    } else if (prop && up == Tag::Prop) {
      if (tag == Tag::GetEtag) propstat_.etag = value.trimmed().toUtf8();
      if (tag == Tag::DisplayName) propstat_.displayName = value.trimmed();
      if (tag == Tag::SyncToken) {
        propstat_.syncToken = value.trimmed();
        propstat_.supportsSyncCollection = true;
      }
      if (tag == Tag::AddressData) {
        propstat_.hasAddressData = true;
        propstat_.addressDataTooLarge = textTooLong_;
        propstat_.addressData = value.toUtf8();
      }
    } else if (prop && tag == Tag::Href && up == Tag::Principal) {
      propstat_.currentUserPrincipal = value.trimmed();
    } else if (prop && tag == Tag::Href && up == Tag::HomeSet) {
      if (propstat_.addressbookHomeSet.isEmpty()) propstat_.addressbookHomeSet = value.trimmed();
    } else if (tag == Tag::SyncToken && up == Tag::Multistatus) {
      result_.syncToken = value.trimmed();
    } else if (tag == Tag::Propstat && up == Tag::Response) {
      if (propstatStatus_ >= 200 && propstatStatus_ < 300) merge(propstat_);
    } else if (tag == Tag::Response && up == Tag::Multistatus) {
      finishResponse();
    }
    stack_.pop_back();
    text_.clear();
    textTooLong_ = false;
  }

  void merge(const DavResponse& found) {
    if (!found.etag.isEmpty()) current_.etag = found.etag;
    if (!found.displayName.isEmpty()) current_.displayName = found.displayName;
    current_.isCollection |= found.isCollection;
    current_.isAddressBook |= found.isAddressBook;
    current_.supportsSyncCollection |= found.supportsSyncCollection;
    if (!found.syncToken.isEmpty()) current_.syncToken = found.syncToken;
    if (found.hasAddressData) {
      current_.hasAddressData = true;
      current_.addressDataTooLarge = found.addressDataTooLarge;
      current_.addressData = found.addressData;
    }
    if (!found.currentUserPrincipal.isEmpty()) {
      current_.currentUserPrincipal = found.currentUserPrincipal;
    }
    if (!found.addressbookHomeSet.isEmpty()) current_.addressbookHomeSet = found.addressbookHomeSet;
  }

  void finishResponse() {
    const std::optional<QString> href = hrefWithin(scope_, base_, rawHref_);
    if (!href) {
      ++result_.refusedHrefs;
      return;
    }
    current_.href = *href;
    if (current_.status == 0) current_.status = 200;
    result_.responses.push_back(std::move(current_));
    current_ = DavResponse{};
  }

  QXmlStreamReader xml_;
  const QUrl scope_;
  const QUrl base_;
  const XmlLimits limits_;
  Multistatus result_;
  std::vector<Tag> stack_;
  qsizetype elements_ = 0;
  bool sawRoot_ = false;
  QString text_;
  bool textTooLong_ = false;
  QString rawHref_;
  DavResponse current_;
  DavResponse propstat_;
  int propstatStatus_ = 0;
};

}  // namespace

Multistatus parseMultistatus(QByteArrayView body, const QUrl& scope, const QUrl& base,
                             const XmlLimits& limits) {
  return MultistatusReader(body, scope, base, limits).read();
}

DavErrorBody parseDavError(QByteArrayView body) {
  DavErrorBody found;
  QXmlStreamReader xml(QByteArray::fromRawData(body.data(), body.size()));
  int depth = 0;
  int elements = 0;
  bool inConflict = false;
  while (!xml.atEnd() && ++elements < 10'000) {
    const QXmlStreamReader::TokenType token = xml.readNext();
    if (token == QXmlStreamReader::DTD) break;
    if (token == QXmlStreamReader::EndElement) {
      if (--depth == 1) inConflict = false;
      continue;
    }
    if (token != QXmlStreamReader::StartElement) continue;
    if (++depth > 8) break;
    const QStringView ns = xml.namespaceUri();
    const QString name = xml.name().toString();
    if (depth == 1) {
      if (ns != kDav || name != QLatin1String("error")) break;
    } else if (depth == 2 && (ns == kDav || ns == kCardDav) && found.conditions.size() < 16) {
      found.conditions.append(name);
      inConflict = name == QLatin1String("no-uid-conflict");
    } else if (inConflict && ns == kDav && name == QLatin1String("href")) {
      const QString href = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
      --depth;
      if (href.size() <= 4096) found.conflictHref = href;
    }
  }
  return found;
}

namespace {

void writeProps(QXmlStreamWriter& xml, const QStringList& davProps,
                const QStringList& cardDavProps) {
  xml.writeStartElement(kDav, QStringLiteral("prop"));
  for (const QString& name : davProps) xml.writeEmptyElement(kDav, name);
  for (const QString& name : cardDavProps) xml.writeEmptyElement(kCardDav, name);
  xml.writeEndElement();
}

template <typename Body>
QByteArray document(const QString& ns, const QString& root, Body body) {
  QByteArray bytes;
  QXmlStreamWriter xml(&bytes);
  xml.writeStartDocument();
  xml.writeNamespace(kDav, QStringLiteral("d"));
  xml.writeNamespace(kCardDav, QStringLiteral("c"));
  xml.writeStartElement(ns, root);
  body(xml);
  xml.writeEndElement();
  xml.writeEndDocument();
  return bytes;
}

}  // namespace

QByteArray propfindBody(const QStringList& davProps, const QStringList& cardDavProps) {
  return document(kDav, QStringLiteral("propfind"),
                  [&](QXmlStreamWriter& xml) { writeProps(xml, davProps, cardDavProps); });
}

QByteArray syncCollectionBody(const QString& token, bool withCards) {
  return document(kDav, QStringLiteral("sync-collection"), [&](QXmlStreamWriter& xml) {
    xml.writeTextElement(kDav, QStringLiteral("sync-token"), token);
    xml.writeTextElement(kDav, QStringLiteral("sync-level"), QStringLiteral("1"));
    writeProps(xml, {QStringLiteral("getetag")},
               withCards ? QStringList{QStringLiteral("address-data")} : QStringList{});
  });
}

QByteArray multigetBody(const QStringList& hrefs) {
  return document(kCardDav, QStringLiteral("addressbook-multiget"), [&](QXmlStreamWriter& xml) {
    writeProps(xml, {QStringLiteral("getetag")}, {QStringLiteral("address-data")});
    for (const QString& href : hrefs) xml.writeTextElement(kDav, QStringLiteral("href"), href);
  });
}

}  // namespace tavelin::sync
