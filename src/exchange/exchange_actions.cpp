#include "exchange/exchange_actions.h"

#include <QDir>
#include <QFileInfo>

#include "exchange/contact_files.h"
#include "platform/dialogs.h"

namespace tavelin::exchange {
namespace {

const QString kImportTitle = QStringLiteral("Import contacts");
const QString kExportTitle = QStringLiteral("Export contacts");
const QString kVCard30 = QStringLiteral("vCard 3.0 (*.vcf)");
const QString kVCard40 = QStringLiteral("vCard 4.0 (*.vcf)");
const QString kCsv = QStringLiteral("CSV (*.csv)");

}  // namespace

void ExchangeActions::ImportContacts() {
  if (view_.isAddingOrEditing()) return;
  platform::FileRequest request;
  request.title = kImportTitle;
  request.filters = {QStringLiteral("Contacts (*.vcf *.vcard *.csv)"),
                     QStringLiteral("All files (*)")};
  const std::optional<QString> path = dialogs_.openFileName(request);
  if (path) importFile(*path);
}

void ExchangeActions::importFile(const QString& path) {
  if (view_.isAddingOrEditing()) return;
  view_.setBusy(true);
  const ImportResult result = importContacts(store_, path);
  view_.setBusy(false);
  if (result.failure) {
    if (result.failure->fileName == path) {
      platform::showMessage(
          dialogs_,
          QStringLiteral("Could not import the file \"%1\" (%2). Nothing was changed.")
              .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()),
                   result.failure->reason),
          platform::Buttons::Ok, platform::Icon::Critical, kImportTitle);
    } else {
      view_.reportWriteError(*result.failure);
    }
    return;
  }
  if (result.imported > 0) view_.reloadShowing(result.firstLine);
  if (result.attachmentFailure) view_.reportWriteError(*result.attachmentFailure);
  platform::showMessage(dialogs_, importSummary(result), platform::Buttons::Ok,
                        platform::Icon::Information, kImportTitle);
}

void ExchangeActions::ExportContacts() {
  if (view_.isAddingOrEditing()) return;
  platform::FileRequest request;
  request.title = kExportTitle;
  request.filters = {kVCard30, kVCard40, kCsv};
  const std::optional<platform::FileChoice> choice = dialogs_.saveFileChoice(request);
  if (!choice) return;
  const ExportFormat format = choice->filter == kCsv       ? ExportFormat::Csv
                              : choice->filter == kVCard40 ? ExportFormat::VCard40
                                                           : ExportFormat::VCard30;
  QString path = choice->path;
  if (QFileInfo(path).suffix().isEmpty()) {
    path += format == ExportFormat::Csv ? QStringLiteral(".csv") : QStringLiteral(".vcf");
  }
  view_.setBusy(true);
  const ExportResult result = exportContacts(store_, path, format);
  view_.setBusy(false);
  if (result.failure) {
    view_.reportWriteError(*result.failure);
    return;
  }
  platform::showMessage(dialogs_, exportSummary(result, path), platform::Buttons::Ok,
                        platform::Icon::Information, kExportTitle);
}

}  // namespace tavelin::exchange
