#pragma once

#include <QString>

namespace tavelin::platform {

// The desktop clipboard, plain text only. Texts go on and come off it as they are, CR LF line
// ends included.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual void clear() = 0;
  virtual void setText(const QString& text) = 0;
  virtual bool hasText() const = 0;
  virtual QString text() const = 0;
};

}  // namespace tavelin::platform
