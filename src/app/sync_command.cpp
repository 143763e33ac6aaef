#include "app/sync_command.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <optional>

#include "record_store/paths.h"
#include "sync/password_lookup.h"
#include "sync/sync_runner.h"
#include "sync/sync_settings.h"

namespace tavelin::app {

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;

int fail(QTextStream& err, const QString& line) {
  err << line << '\n';
  err.flush();
  return kFailed;
}

}  // namespace

int runSync(const SyncServices& services, QTextStream& out, QTextStream& err) {
  const sync::SyncSettings settings = sync::readSyncSettings(services.settings);
  if (!settings.configured()) {
    return fail(err, QStringLiteral("tavelin: no server account is set up: [CardDAV] Url in "
                                    "Tavelin.ini is empty (the window's \"Server account...\" "
                                    "sets it)"));
  }
  const QUrl server = settings.serverUrl();
  if (!server.isValid() || server.host().isEmpty()) {
    return fail(err, settings.url + QStringLiteral(": not a server address ([CardDAV] Url)"));
  }
  QEventLoop loop;
  std::optional<sync::PasswordLookup> lookup;
  sync::lookUpPassword(settings, services.secrets, [&](sync::PasswordLookup found) {
    lookup = std::move(found);
    loop.quit();
  });
  if (!lookup) loop.exec();
  switch (lookup->source) {
    case sync::PasswordLookup::Source::File:
    case sync::PasswordLookup::Source::SecretStore:
      break;
    case sync::PasswordLookup::Source::Refused:
      return fail(err, lookup->error);
    case sync::PasswordLookup::Source::Missing: {
      QString line = server.host() + QStringLiteral(": no password for ") + settings.user +
                     QStringLiteral(
                         ": save it in the window's \"Server account...\", or name a "
                         "PasswordFile in [CardDAV]");
      if (!lookup->error.isEmpty()) line += QStringLiteral(" (") + lookup->error + u')';
      return fail(err, line);
    }
  }

  sync::DavAccount account;
  account.url = server;
  account.user = settings.user;
  account.password = lookup->password;
  account.trustedSha256 = settings.trustedSha256;
  account.allowInsecureHttp = settings.allowsPlainHttp();
  QNetworkAccessManager network;
  sync::CardDavClient client(network, account);
  std::unique_ptr<sync::SyncRunner> runner =
      services.makeRunner ? services.makeRunner(kDataFileName, client) : nullptr;
  if (!runner) return fail(err, QStringLiteral("tavelin: this build cannot synchronise"));

  std::optional<sync::SyncOutcome> outcome;
  QObject::connect(runner.get(), &sync::SyncRunner::finished, &loop,
                   [&](const sync::SyncOutcome& ended) {
                     outcome = ended;
                     loop.quit();
                   });
  runner->start();
  if (!outcome) loop.exec();
  if (!outcome->succeeded) {
    return fail(err, outcome->error.isEmpty()
                         ? server.host() + QStringLiteral(": ") + describe(outcome->failure.outcome)
                         : outcome->error);
  }
  out << sync::summaryLine(outcome->summary) << '\n';
  out.flush();
  return kDone;
}

}  // namespace tavelin::app
