#pragma once

#include "platform/launcher.h"

namespace tavelin::platform {

class QtLauncher final : public Launcher {
 public:
  bool start(const QString& program, const QStringList& arguments) override;
  QString findProgram(const QString& name) const override;
};

}  // namespace tavelin::platform
