#include "record_store/line_sort.h"

#include <QChar>
#include <algorithm>

namespace tavelin {
namespace {

inline char16_t fold(char16_t c) {
  if (c < 128) return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
  return static_cast<char16_t>(QChar::toCaseFolded(static_cast<char32_t>(c)));
}

// The first eight folded characters packed so that comparing the numbers compares the text;
// most comparisons end here and never look at the lines themselves.
struct Keyed {
  quint64 high, low;
  quint32 index;
};

quint64 pack(QStringView line, qsizetype from) {
  quint64 key = 0;
  for (qsizetype i = from; i < from + 4; ++i) {
    key = (key << 16) | (i < line.size() ? fold(line[i].unicode()) : 0u);
  }
  return key;
}

}  // namespace

int compareIgnoringCase(QStringView a, QStringView b) {
  const qsizetype n = std::min(a.size(), b.size());
  for (qsizetype i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;  // lines with equal names share long runs
    const char16_t x = fold(a[i].unicode());
    const char16_t y = fold(b[i].unicode());
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

void sortLinesIgnoringCase(std::vector<QStringView>& lines) {
  std::vector<Keyed> keyed(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    keyed[i] = {pack(lines[i], 0), pack(lines[i], 4), static_cast<quint32>(i)};
  }
  std::sort(keyed.begin(), keyed.end(), [&lines](const Keyed& a, const Keyed& b) {
    if (a.high != b.high) return a.high < b.high;
    if (a.low != b.low) return a.low < b.low;
    const int c = compareIgnoringCase(lines[a.index], lines[b.index]);
    return c != 0 ? c < 0 : a.index < b.index;
  });
  std::vector<QStringView> sorted;
  sorted.reserve(lines.size());
  for (const Keyed& k : keyed) sorted.push_back(lines[k.index]);
  lines.swap(sorted);
}

}  // namespace tavelin
