#include "output/clipboard_exchange.h"

#include "contracts/record_view.h"
#include "output/clipboard_text.h"
#include "platform/clipboard.h"
#include "platform/dialogs.h"

namespace tavelin::output {
namespace {

FieldTexts shownFields(const RecordView& view) {
  FieldTexts fields;
  for (int k = 0; k < kFieldCount; ++k) fields[k] = view.fieldText(k);
  return fields;
}

}  // namespace

ClipboardExchange::ClipboardExchange(platform::Clipboard& clipboard, platform::Dialogs& dialogs,
                                     RecordView& view)
    : clipboard_(clipboard), dialogs_(dialogs), view_(view) {}

void ClipboardExchange::CopyRecord() {
  clipboard_.clear();
  clipboard_.setText(recordClipText(shownFields(view_)));
}

void ClipboardExchange::CopyAddress() {
  clipboard_.clear();
  clipboard_.setText(addressClipText(shownFields(view_)));
}

void ClipboardExchange::mnuClipRecord_Click() {
  CopyRecord();
  platform::showMessage(dialogs_, QStringLiteral("Record copied to clipboard"),
                        platform::Buttons::Ok, platform::Icon::Information);
}

void ClipboardExchange::mnuClipAddr_Click() {
  CopyAddress();
  platform::showMessage(dialogs_, QStringLiteral("Address Info copied to clipboard"),
                        platform::Buttons::Ok, platform::Icon::Information);
}

void ClipboardExchange::mnuRead_Click() {
  if (!clipboard_.hasText()) return;
  const FieldTexts pieces = importPieces(clipboard_.text());
  for (int k = 0; k < kFieldCount; ++k) {
    if (!pieces[k].isEmpty()) view_.setFieldText(k, pieces[k]);
  }
}

}  // namespace tavelin::output
