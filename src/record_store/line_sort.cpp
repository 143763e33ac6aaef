#include "record_store/line_sort.h"

#include <QChar>
#include <algorithm>
#include <cstring>

#include "record_store/text_codec.h"

namespace tavelin {
namespace {

inline unsigned char foldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

inline char32_t foldChar(char32_t c) {
  return c < 0x80 ? foldAscii(static_cast<unsigned char>(c)) : QChar::toCaseFolded(c);
}

// The character that starts at byte i, and the byte after it. The UTF-8 was checked beforehand.
char32_t decodeAt(const unsigned char* p, qsizetype size, qsizetype& i, bool utf8) {
  const unsigned char c = p[i++];
  if (!utf8) return cp1252ToUnicode(c);
  if (c < 0x80) return c;
  const int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
  char32_t cp = c & (0x3F >> more);
  for (int k = 0; k < more && i < size; ++k) cp = (cp << 6) | (p[i++] & 0x3F);
  return cp;
}

// Character by character from byte `from`, where both lines start a character.
int compareFrom(const unsigned char* a, qsizetype la, const unsigned char* b, qsizetype lb,
                qsizetype from, bool utf8) {
  qsizetype i = from;
  qsizetype j = from;
  while (i < la && j < lb) {
    const char32_t x = foldChar(decodeAt(a, la, i, utf8));
    const char32_t y = foldChar(decodeAt(b, lb, j, utf8));
    if (x != y) return x < y ? -1 : 1;
  }
  return (i < la) - (j < lb);
}

// The first sixteen bytes, case folded and packed so that comparing the numbers compares the
// lines, as far as they are plain ASCII: `ascii` counts those bytes. Names differ early, so
// most comparisons end here and never look at the lines themselves.
struct Keyed {
  quint64 key[2];
  quint32 ascii;
  quint32 index;
};

Keyed keyOf(QByteArrayView line, quint32 index) {
  Keyed k{{0, 0}, 0, index};
  for (qsizetype i = 0; i < 16; ++i) {
    unsigned char c = 0;
    if (i < line.size() && static_cast<unsigned char>(line[i]) < 0x80 && k.ascii == i) {
      c = foldAscii(static_cast<unsigned char>(line[i]));
      ++k.ascii;
    }
    k.key[i / 8] = (k.key[i / 8] << 8) | c;
  }
  return k;
}

// -1, 1, or 0 when the keys cannot tell.
int compareKeys(const Keyed& a, const Keyed& b) {
  quint32 sure = std::min(a.ascii, b.ascii);
  for (int w = 0; w < 2 && sure > 0; ++w) {
    const quint32 bytes = std::min<quint32>(sure, 8);
    const int shift = 8 * (8 - static_cast<int>(bytes));
    const quint64 x = a.key[w] >> shift;
    const quint64 y = b.key[w] >> shift;
    if (x != y) return x < y ? -1 : 1;
    sure -= bytes;
  }
  return 0;
}

}  // namespace

int compareIgnoringCase(QByteArrayView av, QByteArrayView bv, bool utf8) {
  const auto* a = reinterpret_cast<const unsigned char*>(av.data());
  const auto* b = reinterpret_cast<const unsigned char*>(bv.data());
  const qsizetype la = av.size();
  const qsizetype lb = bv.size();
  const qsizetype n = std::min(la, lb);
  qsizetype i = 0;
  for (;;) {
    // Skip what is the same byte for byte, eight at a time where possible.
    while (i + 8 <= n && std::memcmp(a + i, b + i, 8) == 0) i += 8;
    while (i < n && a[i] == b[i]) ++i;
    if (i == n) return (la > n) - (lb > n);
    if (a[i] < 0x80 && b[i] < 0x80) {
      const unsigned char x = foldAscii(a[i]);
      const unsigned char y = foldAscii(b[i]);
      if (x != y) return x < y ? -1 : 1;
      ++i;
      continue;
    }
    // A character beyond ASCII: back to where it starts, the same place in both lines.
    qsizetype start = i;
    while (utf8 && start > 0 && (a[start] & 0xC0) == 0x80) --start;
    return compareFrom(a, la, b, lb, start, utf8);
  }
}

std::vector<quint32> sortOrderIgnoringCase(const std::vector<QByteArrayView>& lines, bool utf8) {
  std::vector<Keyed> keyed(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) keyed[i] = keyOf(lines[i], static_cast<quint32>(i));
  // Equal lines are told apart by their place, so that every order is total and the result
  // is the same however it is reached.
  const auto before = [&](const Keyed& a, const Keyed& b) {
    // The keys decide where both are plain ASCII up to their first difference.
    int c = compareKeys(a, b);
    if (c == 0) c = compareIgnoringCase(lines[a.index], lines[b.index], utf8);
    return c != 0 ? c < 0 : a.index < b.index;
  };
  // A file this program wrote is in order but for the line a save appended: the part in
  // order is merged with the rest, sorted, instead of sorting everything again.
  const auto sortedEnd = std::is_sorted_until(keyed.begin(), keyed.end(), before);
  std::sort(sortedEnd, keyed.end(), before);
  std::inplace_merge(keyed.begin(), sortedEnd, keyed.end(), before);
  std::vector<quint32> order;
  order.reserve(lines.size());
  for (const Keyed& k : keyed) order.push_back(k.index);
  return order;
}

}  // namespace tavelin
