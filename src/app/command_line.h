#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace tavelin::app {

// The program run from a script, without a window or a display: --import FILE,
// --export FILE [--vcard-version 4.0], --help, --version, on TAVELIN.FIL in the working
// directory. Prints the summary on out; a failure is one line on err naming the file and
// the reason. Returns the exit code: 0 done, 1 failed (nothing changed), 2 a usage error.
int runCommandLine(const QStringList& arguments, const QString& configRoot, QTextStream& out,
                   QTextStream& err);

}  // namespace tavelin::app
