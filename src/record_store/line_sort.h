#pragma once

#include <QStringView>
#include <vector>

namespace tavelin {

// Sorts lines in ascending order without regard to case (ASCII letters fold to lower case,
// other characters by their Unicode case folding). Lines that compare equal keep their order.
void sortLinesIgnoringCase(std::vector<QStringView>& lines);

// The comparison the sort uses: negative, zero or positive.
int compareIgnoringCase(QStringView a, QStringView b);

}  // namespace tavelin
