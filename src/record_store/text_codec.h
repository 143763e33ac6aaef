#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <vector>

namespace tavelin {

// Text files are read as UTF-8 when their bytes are valid UTF-8, otherwise as Windows-1252,
// so that files written by the Windows program open unchanged.
QString decodeText(QByteArrayView bytes);

// The lines of a text; CR LF, CR and LF each end a line. A last line without an ending
// still counts; an empty text has no lines.
std::vector<QStringView> splitLines(QStringView text);

// Appends the lines as UTF-8, each followed by CR LF.
void appendLines(QByteArray& out, const std::vector<QStringView>& lines);
void appendLine(QByteArray& out, QStringView line);

}  // namespace tavelin
