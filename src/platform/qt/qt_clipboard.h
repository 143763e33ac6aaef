#pragma once

#include "platform/clipboard.h"

namespace tavelin::platform {

// The application's QClipboard: the X11 CLIPBOARD selection or the Wayland clipboard.
class QtClipboard final : public Clipboard {
 public:
  void clear() override;
  void setText(const QString& text) override;
  bool hasText() const override;
  QString text() const override;
};

}  // namespace tavelin::platform
