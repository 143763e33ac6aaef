#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace tavelin::app {

struct SyncServices;

// The program run from a script, without a window or a display: --import FILE,
// --export FILE [--vcard-version 4.0], --sync, --help, --version, on TAVELIN.FIL in the
// working directory. Prints the summary on out; a failure is one line on err naming the file
// or server and the reason. Returns the exit code: 0 done, 1 failed (nothing changed), 2 a
// usage error. Without sync services --sync fails.
int runCommandLine(const QStringList& arguments, const QString& configRoot, QTextStream& out,
                   QTextStream& err, const SyncServices* sync = nullptr);

}  // namespace tavelin::app
