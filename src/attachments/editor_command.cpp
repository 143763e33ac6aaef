#include "attachments/editor_command.h"

#include "platform/launcher.h"
#include "platform/settings_store.h"

namespace tavelin::attachments {

QStringList editorCommand(const platform::SettingsStore& settings,
                          const platform::Launcher& launcher) {
  const QStringList configured = platform::splitCommandLine(
      settings.value(QStringLiteral("Platform"), QStringLiteral("Editor")));
  if (!configured.isEmpty()) return configured;
  for (const char* name :
       {"gnome-text-editor", "gedit", "kate", "kwrite", "mousepad", "xed", "pluma", "featherpad"}) {
    const QString path = launcher.findProgram(QLatin1String(name));
    if (!path.isEmpty()) return {path};
  }
  return {QStringLiteral("xdg-open")};
}

}  // namespace tavelin::attachments
