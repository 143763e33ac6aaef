#pragma once

#include "platform/dialogs.h"

namespace tavelin::platform {

class QtDialogs final : public Dialogs {
 public:
  Button message(const Message& message) override;
  QString input(const QString& prompt, const QString& title, const QString& proposed) override;
};

}  // namespace tavelin::platform
