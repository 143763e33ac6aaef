#pragma once

#include <QString>
#include <QStringList>

namespace tavelin::test {

// The text of a PDF as `pdftotext -layout` lays it out, one entry per page.
QStringList pdfPages(const QString& pdf);
// The lines of a text without the empty ones and without trailing blanks.
QStringList nonEmptyLines(const QString& text);
// Every non-empty line of every page.
QStringList pdfLines(const QString& pdf);

}  // namespace tavelin::test
