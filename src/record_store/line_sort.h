#pragma once

#include <QByteArrayView>
#include <QtGlobal>
#include <vector>

namespace tavelin {

// The order of the raw lines of a data file, ascending without regard to case: element i is
// the index of the line that sorts i-th. ASCII letters fold to lower case, other characters by
// their Unicode case folding. utf8 tells how the bytes are to be read (UTF-8, else
// Windows-1252). Lines that compare equal keep their order.
std::vector<quint32> sortOrderIgnoringCase(const std::vector<QByteArrayView>& lines, bool utf8);

// The comparison the sort uses: negative, zero or positive.
int compareIgnoringCase(QByteArrayView a, QByteArrayView b, bool utf8);

}  // namespace tavelin
