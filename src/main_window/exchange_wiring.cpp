// The File menu's contact import and export, and files dropped on the window: the exchange
// subsystem does the work through a narrow view of the window.
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

#include "exchange/contact_files.h"
#include "exchange/exchange_actions.h"
#include "main_window/mainform.h"
#include "platform/platform.h"

namespace tavelin::main_window {

namespace {

class MainformExchangeView final : public exchange::ExchangeView {
 public:
  explicit MainformExchangeView(Mainform& window) : w_(window), view_(window) {}
  bool isAddingOrEditing() const override {
    return view_.isAddingOrEditing() || view_.isCancelShown();
  }
  void reloadShowing(const QString& line) override {
    w_.SortFile();
    const RecordTable& table = w_.store().table();
    for (int row = 0; row < table.rowCount(); ++row) {
      if (table.BuildRecordLine(row) == line) {
        view_.selectRow(row);
        break;
      }
    }
    view_.showSelectedRecord();
    view_.focusList();
  }
  void setBusy(bool busy) override { view_.setBusy(busy); }
  void reportWriteError(const WriteError& error) override { view_.reportWriteError(error); }

 private:
  Mainform& w_;
  RecordView& view_;  // the window as the subsystems see it
};

// The one file of a drop that the import takes, or empty.
QString droppedContactsFile(const QMimeData* mime) {
  if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return {};
  const QUrl url = mime->urls().constFirst();
  if (!url.isLocalFile() || !exchange::isContactsFileName(url.toLocalFile())) return {};
  return url.toLocalFile();
}

}  // namespace

void Mainform::connectExchange() {
  exchangeView_ = std::make_unique<MainformExchangeView>(*this);
  exchange_ =
      std::make_unique<exchange::ExchangeActions>(store_, platform_.dialogs(), *exchangeView_);
  connect(menuItem(QStringLiteral("mnuImport")), &QAction::triggered, this,
          [this] { exchange_->ImportContacts(); });
  connect(menuItem(QStringLiteral("mnuExport")), &QAction::triggered, this,
          [this] { exchange_->ExportContacts(); });
  setAcceptDrops(true);
}

void Mainform::dragEnterEvent(QDragEnterEvent* event) {
  if (!droppedContactsFile(event->mimeData()).isEmpty() && !exchangeView_->isAddingOrEditing()) {
    event->acceptProposedAction();
  }
}

void Mainform::dropEvent(QDropEvent* event) {
  const QString path = droppedContactsFile(event->mimeData());
  if (path.isEmpty() || exchangeView_->isAddingOrEditing()) return;
  event->acceptProposedAction();
  exchange_->importFile(path);
}

}  // namespace tavelin::main_window
