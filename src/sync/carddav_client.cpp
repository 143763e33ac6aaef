#include "sync/carddav_client.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslError>
#include <QTimer>
#include <memory>

#include "sync/dav_href.h"

namespace tavelin::sync {

namespace {

bool isLoopback(const QString& host) {
  if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return true;
  const QHostAddress address(host);
  return !address.isNull() && address.isLoopback();
}

// A status text the server chose, cut to a harmless line.
QString statusLine(int status, const QByteArray& reason) {
  QString text = QString::fromUtf8(reason.left(80)).simplified();
  text.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
  return text.isEmpty() ? QString::number(status) : QString::number(status) + u' ' + text;
}

DavResult failure(DavOutcome outcome, const QString& message) {
  DavResult result;
  result.outcome = outcome;
  result.message = message;
  return result;
}

}  // namespace

bool CardDavClient::onThisMachine() const {
  return isLoopback(collection_.host());
}

bool safeHeaderValue(const QByteArray& value) {
  return !value.isEmpty() && value.size() <= 1024 &&
         std::none_of(value.begin(), value.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

QString describe(DavOutcome outcome) {
  switch (outcome) {
    case DavOutcome::Ok:
      return QStringLiteral("done");
    case DavOutcome::PreconditionFailed:
      return QStringLiteral("the card changed on the server");
    case DavOutcome::Conflict:
      return QStringLiteral("the server already has a card with this UID");
    case DavOutcome::NotFound:
      return QStringLiteral("not found on the server");
    case DavOutcome::InvalidSyncToken:
      return QStringLiteral("the server no longer knows the sync token");
    case DavOutcome::AuthenticationFailed:
      return QStringLiteral("the server refused the user name or password");
    case DavOutcome::CertificateError:
      return QStringLiteral("the server's certificate is not trusted");
    case DavOutcome::InsecureRefused:
      return QStringLiteral("plain http to another machine is not allowed");
    case DavOutcome::RedirectRefused:
      return QStringLiteral("the server redirected elsewhere");
    case DavOutcome::HrefRefused:
      return QStringLiteral("an address outside the address book");
    case DavOutcome::TooLarge:
      return QStringLiteral("the server's answer is too large");
    case DavOutcome::BadResponse:
      return QStringLiteral("the server's answer could not be read");
    case DavOutcome::HttpError:
      return QStringLiteral("the server answered with an error");
    case DavOutcome::NetworkError:
      return QStringLiteral("the server could not be reached");
    case DavOutcome::TimedOut:
      return QStringLiteral("the server did not answer in time");
  }
  return {};
}

CardDavClient::CardDavClient(QNetworkAccessManager& network, DavAccount account, DavLimits limits,
                             QObject* parent)
    : QObject(parent),
      network_(network),
      account_(std::move(account)),
      limits_(limits),
      collection_(collectionUrl(account_.url)) {
  account_.url = account_.url.adjusted(QUrl::RemoveUserInfo);
}

CardDavClient::~CardDavClient() {
  for (QNetworkReply* reply : running_) {
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
  }
}

bool CardDavClient::setCollection(const QUrl& url) {
  if (!sameOrigin(url, account_.url)) return false;
  collection_ = collectionUrl(url);
  return true;
}

QString CardDavClient::hrefFor(const QString& fileName) const {
  return collection_.path(QUrl::FullyEncoded) +
         QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}

QUrl CardDavClient::serverRoot() const {
  QUrl root = account_.url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment);
  root.setPath(QStringLiteral("/"));
  return root;
}

std::optional<DavResult> CardDavClient::refusal(const QUrl& url) const {
  const QString scheme = url.scheme().toLower();
  if (scheme != QLatin1String("https") && scheme != QLatin1String("http")) {
    return failure(DavOutcome::InsecureRefused,
                   QStringLiteral("Only https and http are supported"));
  }
  if (scheme == QLatin1String("http") && !isLoopback(url.host()) && !account_.allowInsecureHttp) {
    return failure(DavOutcome::InsecureRefused,
                   url.host() + QStringLiteral(": ") + describe(DavOutcome::InsecureRefused));
  }
  // Credentials and cards go to the configured server and nowhere else.
  if (!sameOrigin(url, account_.url)) {
    DavResult result = failure(DavOutcome::RedirectRefused,
                               url.host() + QStringLiteral(": not the configured server"));
    result.redirectTarget = url;
    return result;
  }
  return std::nullopt;
}

void CardDavClient::send(Request request, std::function<void(Response)> done) {
  start(std::make_shared<Request>(std::move(request)), std::move(done));
}

void CardDavClient::start(std::shared_ptr<Request> request, std::function<void(Response)> done) {
  if (std::optional<DavResult> refused = refusal(request->url)) {
    Response response;
    response.result = *refused;
    // Always asynchronous, so that a caller's code after the call runs first.
    QTimer::singleShot(0, this, [done = std::move(done), response] { done(response); });
    return;
  }
  QNetworkRequest http(request->url);
  http.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                    QNetworkRequest::ManualRedirectPolicy);
  http.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  http.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  http.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
  http.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
  http.setTransferTimeout(limits_.idleTimeoutMs);
  // Qt's own default names a browser: a server and its logs should see who is asking.
  http.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Tavelin/" TAVELIN_VERSION));
  if (!account_.user.isEmpty()) {
    // Preemptive Basic to this server only (refusal() saw to that); never through the
    // network manager's authentication cache, which would follow the request elsewhere.
    const QByteArray pair = (account_.user + u':' + account_.password).toUtf8();
    http.setRawHeader("Authorization", "Basic " + pair.toBase64());
  }
  for (const auto& [name, value] : request->headers) http.setRawHeader(name, value);
  request->received.clear();
  request->tooLarge = false;
  request->timedOut = false;
  request->sslReasons.clear();
  request->sslSha256.clear();

  QNetworkReply* reply = network_.sendCustomRequest(http, request->method, request->body);
  running_.push_back(reply);
  const auto take = [this, reply, request] {
    if (request->tooLarge || !reply->isOpen()) return;  // aborted: nothing more to read
    const qint64 available = reply->bytesAvailable();
    if (request->received.size() + available > request->maxBytes) {
      request->tooLarge = true;
      request->received.clear();
      reply->abort();
      return;
    }
    request->received += reply->readAll();
  };
  connect(reply, &QNetworkReply::readyRead, this, take);
  connect(reply, &QNetworkReply::metaDataChanged, this, [reply, request] {
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > request->maxBytes) {
      request->tooLarge = true;
      reply->abort();
    }
  });
  connect(reply, &QNetworkReply::sslErrors, this,
          [this, reply, request](const QList<QSslError>& errors) {
            // The user trusts the server's own certificate, not whatever the errors name.
            const QSslCertificate peer = reply->sslConfiguration().peerCertificate();
            const QSslCertificate certificate =
                !peer.isNull() || errors.isEmpty() ? peer : errors.first().certificate();
            const QByteArray sha256 = certificate.digest(QCryptographicHash::Sha256).toHex();
            const bool sameCertificate =
                std::all_of(errors.begin(), errors.end(), [&](const QSslError& e) {
                  return e.certificate().isNull() || e.certificate() == certificate;
                });
            if (!account_.trustedSha256.isEmpty() && sameCertificate &&
                sha256 == account_.trustedSha256.toLower()) {
              reply->ignoreSslErrors(errors);
              return;
            }
            request->sslSha256 = sha256;
            for (const QSslError& error : errors) request->sslReasons.append(error.errorString());
          });
  auto* deadline = new QTimer(reply);
  deadline->setSingleShot(true);
  connect(deadline, &QTimer::timeout, this, [reply, request] {
    request->timedOut = true;
    reply->abort();
  });
  deadline->start(limits_.totalTimeoutMs);
  connect(reply, &QNetworkReply::finished, this,
          [this, reply, request, take, done = std::move(done)]() mutable {
            take();
            finish(reply, std::move(request), std::move(done));
          });
}

void CardDavClient::finish(QNetworkReply* reply, std::shared_ptr<Request> request,
                           std::function<void(Response)> done) {
  std::erase(running_, reply);
  reply->deleteLater();
  Response response;
  response.url = request->url;
  DavResult& result = response.result;
  const QString host = request->url.host();
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  response.status = status;
  result.httpStatus = status;
  if (request->tooLarge) {
    result =
        failure(DavOutcome::TooLarge, host + QStringLiteral(": ") + describe(DavOutcome::TooLarge));
  } else if (request->timedOut) {
    result =
        failure(DavOutcome::TimedOut, host + QStringLiteral(": ") + describe(DavOutcome::TimedOut));
  } else if (!request->sslReasons.isEmpty()) {
    result = failure(DavOutcome::CertificateError,
                     host + QStringLiteral(": ") + request->sslReasons.join(QStringLiteral("; ")));
    result.certificateErrors = request->sslReasons;
    result.certificateSha256 = request->sslSha256;
  } else if (status == 0) {
    const bool idle = reply->error() == QNetworkReply::OperationCanceledError;
    const DavOutcome outcome = idle ? DavOutcome::TimedOut : DavOutcome::NetworkError;
    // Qt's text names the URL at most, and ours never carries the user or password.
    result = failure(outcome, host + QStringLiteral(": ") + reply->errorString());
  } else if (status >= 300 && status < 400 && status != 304) {
    const QUrl target = request->url.resolved(
        QUrl(QString::fromUtf8(reply->rawHeader("Location")), QUrl::StrictMode));
    if (!target.isValid() || !sameOrigin(target, request->url) ||
        request->redirects >= limits_.maxRedirects) {
      result = failure(DavOutcome::RedirectRefused,
                       host + QStringLiteral(": ") + describe(DavOutcome::RedirectRefused) +
                           QStringLiteral(" (") + target.host() + u')');
      result.redirectTarget = target.adjusted(QUrl::RemoveUserInfo);
      result.httpStatus = status;
    } else {
      ++request->redirects;
      request->url = target.adjusted(QUrl::RemoveUserInfo);
      start(std::move(request), std::move(done));
      return;
    }
  } else {
    response.body = std::move(request->received);
    const QByteArray etag = reply->rawHeader("ETag").trimmed();
    // A weak ETag does not name the bytes we sent: the card must be fetched to know it.
    if (!etag.startsWith("W/") && safeHeaderValue(etag)) response.etag = etag;
    const QString line = statusLine(
        status, reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
    DavOutcome outcome = DavOutcome::HttpError;
    const DavErrorBody error =
        status >= 400 ? parseDavError(response.body.left(64 << 10)) : DavErrorBody{};
    result.conditions = error.conditions;
    if (status >= 200 && status < 300) {
      outcome = DavOutcome::Ok;
    } else if (status == 401) {
      outcome = DavOutcome::AuthenticationFailed;
    } else if (status == 403) {
      outcome = error.conditions.contains(QLatin1String("valid-sync-token"))
                    ? DavOutcome::InvalidSyncToken
                    : DavOutcome::AuthenticationFailed;
    } else if (status == 404) {
      outcome = DavOutcome::NotFound;
    } else if (status == 409) {
      outcome = DavOutcome::Conflict;
      if (std::optional<QString> href = memberHref(collection_, error.conflictHref)) {
        result.conflictHref = *href;
      }
    } else if (status == 412) {
      outcome = DavOutcome::PreconditionFailed;
    }
    result.outcome = outcome;
    if (outcome != DavOutcome::Ok) {
      result.message =
          host + QStringLiteral(": ") + describe(outcome) + QStringLiteral(" (") + line + u')';
    }
  }
  done(std::move(response));
}

}  // namespace tavelin::sync
