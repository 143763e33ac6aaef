#pragma once

#include <QString>
#include <optional>

#include "platform/clipboard.h"

namespace tavelin::platform {

// A clipboard in memory: content empty (nullopt) holds no text at all; clears counts the
// times it was emptied.
class FakeClipboard final : public Clipboard {
 public:
  void clear() override {
    content.reset();
    ++clears;
  }
  void setText(const QString& text) override { content = text; }
  bool hasText() const override { return content.has_value(); }
  QString text() const override { return content.value_or(QString()); }

  std::optional<QString> content;
  int clears = 0;
};

}  // namespace tavelin::platform
