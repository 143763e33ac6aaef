#pragma once

#include <QString>
#include <QStringList>

namespace tavelin::platform {

// Starts other programs (the text editor, the browser, the system-information tool) in their
// own window, without waiting for them and never through a shell: every argument reaches the
// program as it is given.
class Launcher {
 public:
  virtual ~Launcher() = default;
  // False when the program could not be started (missing, not executable).
  virtual bool start(const QString& program, const QStringList& arguments) = 0;
  // The full path of a program found on PATH; empty when there is none.
  virtual QString findProgram(const QString& name) const = 0;
};

// A command line from the settings ("kate -n", "/opt/x/bin/browser --new-window") split into
// words as a shell would split them, without running a shell; empty for an empty text.
QStringList splitCommandLine(const QString& commandLine);

}  // namespace tavelin::platform
