#include "search/search_text.h"

namespace tavelin::search {
namespace {

bool separatesWords(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r' ||
         c == u'\0';
}

// Character by character, so that the length never changes (no "SS" for a sharp s).
char16_t upper(char16_t c) {
  if (c < 128) return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
  return static_cast<char16_t>(QChar::toUpper(c));
}

}  // namespace

QString properCase(QStringView text) {
  QString out;
  out.reserve(text.size());
  bool wordStart = true;
  for (const QChar c : text) {
    out += wordStart ? c.toUpper() : c.toLower();
    wordStart = separatesWords(c.unicode());
  }
  return out;
}

SearchMatcher::SearchMatcher(QStringView searchString) {
  needle_.resize(searchString.size());
  for (qsizetype i = 0; i < searchString.size(); ++i) {
    needle_[i] = QChar(upper(searchString[i].unicode()));
  }
  if (needle_.isEmpty()) return;
  const char16_t first = needle_.front().unicode();
  for (char16_t c = 0; c < 128; ++c) asciiStarts_[c] = upper(c) == first;
  // A few letters outside ASCII have an ASCII capital (the dotless i, the long s).
  for (char32_t c = 128; c <= 0xFFFF && !otherStarts_; ++c) {
    otherStarts_ = upper(static_cast<char16_t>(c)) == first;
  }
}

bool SearchMatcher::matches(const std::array<QStringView, kFieldCount>& fields) const {
  const qsizetype length = needle_.size();
  if (length == 0) return true;
  if (length > kFieldCount * kFieldWidth) return false;

  if (needle_.front() == u' ') {
    // A match may start in the padding: try every place.
    for (int field = 0; field < kFieldCount; ++field) {
      for (int offset = 0; offset < kFieldWidth; ++offset) {
        if (matchesAt(fields, field, offset)) return true;
      }
    }
    return false;
  }
  // Otherwise it starts on a stored character: only those need looking at.
  for (int field = 0; field < kFieldCount; ++field) {
    const QStringView text = fields[field];
    for (qsizetype offset = 0; offset < text.size(); ++offset) {
      const char16_t c = text[offset].unicode();
      const bool starts = c < 128 ? asciiStarts_[c] : otherStarts_ && upper(c) == needle_.front();
      if (starts && matchesAt(fields, field, static_cast<int>(offset))) return true;
    }
  }
  return false;
}

// Compares the needle with the padded fields from the given place on.
bool SearchMatcher::matchesAt(const std::array<QStringView, kFieldCount>& fields, int field,
                              int offset) const {
  const qsizetype length = needle_.size();
  if (static_cast<qsizetype>(field) * kFieldWidth + offset + length >
      static_cast<qsizetype>(kFieldCount) * kFieldWidth) {
    return false;
  }
  for (qsizetype i = 0; i < length; ++i) {
    const QStringView text = fields[field];
    const char16_t c = offset < text.size() ? text[offset].unicode() : u' ';
    if (upper(c) != needle_[i].unicode()) return false;
    if (++offset == kFieldWidth) {
      offset = 0;
      ++field;
    }
  }
  return true;
}

}  // namespace tavelin::search
