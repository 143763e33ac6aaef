// The Print and Clipboard menus and the attachment items, connected to their subsystems.
#include <QAction>
#include <functional>

#include "attachments/attachments.h"
#include "main_window/label_click.h"
#include "main_window/mainform.h"
#include "output/clipboard_exchange.h"
#include "output/printing.h"
#include "platform/platform.h"

namespace tavelin::main_window {

void Mainform::connectOutputAndAttachments() {
  printing_ = std::make_unique<output::Printing>(platform_.printer(), platform_.dialogs(), *this);
  clipboardExchange_ = std::make_unique<output::ClipboardExchange>(platform_.clipboard(),
                                                                   platform_.dialogs(), *this);
  attachments_ = std::make_unique<attachments::Attachments>(
      platform_.dialogs(), platform_.launcher(), platform_.settings(), *this);

  const auto on = [this](const char* item, std::function<void()> handler) {
    connect(menuItem(QLatin1String(item)), &QAction::triggered, this, std::move(handler));
  };
  output::Printing& print = *printing_;
  on("mnuCurrent", [&print] { print.mnuCurrent_Click(); });
  on("mnuAll", [&print] { print.mnuAll_Click(); });
  on("mnuSetFont", [&print] { print.mnuSetFont_Click(); });
  on("mnuSetPrinter", [&print] { print.mnuSetPrinter_Click(); });
  output::ClipboardExchange& clip = *clipboardExchange_;
  on("mnuClipRecord", [&clip] { clip.mnuClipRecord_Click(); });
  on("mnuClipAddr", [&clip] { clip.mnuClipAddr_Click(); });
  on("mnuRead", [&clip] { clip.mnuRead_Click(); });
  attachments::Attachments& notes = *attachments_;
  on("mnuTxt", [&notes] { notes.Label13_Click(); });
  on("mnuKill", [&notes] { notes.mnuKill_Click(); });
  on("mnuKillAll", [&notes] { notes.mnuKillAll_Click(); });
  onLabelClick(Label13, [&notes] { notes.Label13_Click(); });
}

}  // namespace tavelin::main_window
