#pragma once

#include "platform/dialogs.h"

namespace tavelin::platform {

class QtDialogs final : public Dialogs {
 public:
  Button message(const Message& message) override;
  QString input(const QString& prompt, const QString& title, const QString& proposed) override;
  std::optional<QString> password(const QString& prompt, const QString& title) override;
  std::optional<QString> openFileName(const FileRequest& request) override;
  std::optional<QString> saveFileName(const FileRequest& request) override;
  std::optional<FileChoice> saveFileChoice(const FileRequest& request) override;
  std::optional<FontChoice> chooseFont(const FontChoice& preset) override;
};

}  // namespace tavelin::platform
