#include "app/command_line.h"

#include <QDir>
#include <QFileInfo>

#include "app/sync_command.h"
#include "exchange/contact_files.h"
#include "record_store/paths.h"
#include "record_store/record_store.h"

namespace tavelin::app {
namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char kUsageText[] =
    "Usage: tavelin                    start the address book on TAVELIN.FIL here\n"
    "       tavelin --import FILE      add the contacts of a vCard or CSV file\n"
    "       tavelin --export FILE      write every contact to FILE: .vcf vCard 3.0, .csv CSV\n"
    "               [--vcard-version 4.0]                          (or vCard 4.0)\n"
    "       tavelin --sync             synchronise with the CardDAV server of [CardDAV]\n"
    "       tavelin --help | --version\n";

int usageError(QTextStream& err, const QString& problem) {
  err << "tavelin: " << problem << '\n' << kUsageText;
  err.flush();
  return kUsage;
}

int failure(QTextStream& err, const WriteError& error) {
  err << QDir::toNativeSeparators(error.fileName) << ": " << error.reason << '\n';
  err.flush();
  return kFailed;
}

// Loads the address book as the window would; a failure when it cannot be read.
bool load(RecordStore& store, QTextStream& err, bool& limitReached) {
  const RecordStore::LoadResult loaded = store.SortFile();
  limitReached = loaded.limitReached;
  if (loaded.unreadable.isEmpty()) return true;
  failure(err, {kDataFileName, QStringLiteral("it could not be read (%1)").arg(loaded.unreadable)});
  return false;
}

}  // namespace

int runCommandLine(const QStringList& args, const QString& configRoot, QTextStream& out,
                   QTextStream& err, const SyncServices* sync) {
  if (args == QStringList{"--help"}) {
    out << kUsageText;
    return kDone;
  }
  if (args == QStringList{"--version"}) {
    out << "Tavelin " << TAVELIN_VERSION << '\n';
    return kDone;
  }
  if (args.contains(QStringLiteral("--sync"))) {
    if (args.size() != 1) return usageError(err, QStringLiteral("--sync takes nothing else"));
    if (!sync) {
      err << "tavelin: this build cannot synchronise\n";
      err.flush();
      return kFailed;
    }
    return runSync(*sync, out, err);
  }
  QString command, file, version;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& arg = args[i];
    const bool takesValue = arg == u"--import" || arg == u"--export" || arg == u"--vcard-version";
    if (!takesValue) return usageError(err, QStringLiteral("unknown argument %1").arg(arg));
    if (i + 1 == args.size() || args[i + 1].isEmpty()) {
      return usageError(err, QStringLiteral("%1 needs a value").arg(arg));
    }
    const QString value = args[++i];
    if (arg == u"--vcard-version") {
      if (!version.isEmpty()) return usageError(err, QStringLiteral("--vcard-version twice"));
      version = value;
    } else {
      if (!command.isEmpty()) return usageError(err, QStringLiteral("one file at a time"));
      command = arg;
      file = value;
    }
  }
  if (command.isEmpty()) {
    return usageError(err, QStringLiteral("--import, --export or --sync missing"));
  }
  if (!version.isEmpty() && version != u"3.0" && version != u"4.0") {
    return usageError(err, QStringLiteral("vCard version %1: 3.0 or 4.0").arg(version));
  }
  if (command == u"--import" && !version.isEmpty()) {
    return usageError(err, QStringLiteral("--vcard-version is for --export"));
  }
  exchange::ExportFormat format = exchange::ExportFormat::VCard30;
  if (command == u"--export") {
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == u"csv" && version.isEmpty()) {
      format = exchange::ExportFormat::Csv;
    } else if (suffix == u"vcf") {
      format =
          version == u"4.0" ? exchange::ExportFormat::VCard40 : exchange::ExportFormat::VCard30;
    } else {
      return usageError(err, QStringLiteral("%1: the format comes from the extension, .vcf or "
                                            ".csv (--vcard-version with .vcf only)")
                                 .arg(file));
    }
  }

  QDir().mkpath(fixedFolder(configRoot));
  RecordStore store(workFilePath(configRoot));
  bool limitReached = false;
  if (!load(store, err, limitReached)) return kFailed;

  if (command == u"--export") {
    const exchange::ExportResult result = exchange::exportContacts(store, file, format);
    if (result.failure) return failure(err, *result.failure);
    out << exchange::exportSummary(result, file) << '\n';
    return kDone;
  }
  const exchange::ImportResult result = exchange::importContacts(store, file);
  if (result.failure) return failure(err, *result.failure);
  // The new contacts are in the file: the next load sorts them, as the window would.
  if (result.imported > 0 && !load(store, err, limitReached)) return kFailed;
  if (result.limitReached || limitReached) out << "Maximum number of records reached!\n";
  out << exchange::importSummary(result) << '\n';
  if (result.attachmentFailure) return failure(err, *result.attachmentFailure);
  return kDone;
}

}  // namespace tavelin::app
