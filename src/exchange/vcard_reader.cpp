#include "exchange/vcard_reader.h"

#include <QByteArrayList>

#include "exchange/vcard_text.h"

namespace tavelin::exchange {
namespace {

bool isBlank(QByteArrayView line) {
  for (char c : line) {
    if (c != ' ' && c != '\t') return false;
  }
  return true;
}

// The property's name without its group, before its parameters and value.
QByteArrayView propertyName(QByteArrayView line) {
  qsizetype end = 0;
  while (end < line.size() && line[end] != ';' && line[end] != ':') ++end;
  qsizetype start = end;
  while (start > 0 && line[start - 1] != '.') --start;
  return line.sliced(start, end - start);
}

template <size_t N>
bool nameIs(QByteArrayView name, const char (&wanted)[N]) {
  return sameName(name, wanted);
}

// Photos, logos, sounds and keys are binary: no field and no text file takes them, and they
// are the only properties allowed to run past the cap on a line.
bool isBinaryProperty(QByteArrayView line) {
  const QByteArrayView name = propertyName(line);
  return nameIs(name, "PHOTO") || nameIs(name, "LOGO") || nameIs(name, "SOUND") ||
         nameIs(name, "KEY");
}

// "BEGIN:VCARD" or "END:VCARD", in any case, blanks around the value allowed.
template <size_t N>
bool isMarker(QByteArrayView line, const char (&marker)[N]) {
  // Every line is asked: nearly all differ in their first letter (made upper case here).
  if (line.size() < static_cast<qsizetype>(N) || (line[0] & ~0x20) != marker[0]) return false;
  const qsizetype colon = line.indexOf(':');
  if (colon < 0 || !nameIs(line.first(colon), marker)) return false;
  return sameName(line.sliced(colon + 1).trimmed(), "VCARD");
}

// Whether the parameters of the line a property starts with name quoted-printable; quoted
// parameter values (a 4.0 address label) say nothing about it.
// Every line passes here: the name is looked for where it stands, nothing is copied.
bool namesQuotedPrintable(QByteArrayView line) {
  constexpr char kName[] = "QUOTED-PRINTABLE";
  constexpr qsizetype kLength = sizeof(kName) - 1;
  bool quoted = false;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == ':') return false;
    if ((c == 'Q' || c == 'q') && line.size() - i >= kLength &&
        sameName(line.sliced(i, kLength), kName)) {
      return true;
    }
  }
  return false;
}

}  // namespace

VCardReader::VCardReader(Sink sink) : sink_(std::move(sink)), scratch_(newCardScratch()) {}

VCardReader::~VCardReader() = default;

void VCardReader::feed(QByteArrayView bytes) {
  while (!bytes.isEmpty()) {
    const qsizetype newline = bytes.indexOf('\n');
    const QByteArrayView piece = newline < 0 ? bytes : bytes.first(newline);
    const bool direct = pending_.isEmpty() && !pendingCut_ && newline >= 0;
    if (!direct) {
      const qsizetype room = kMaxLineBytes - pending_.size();
      if (piece.size() > room) pendingCut_ = true;
      pending_.append(piece.first(std::min(piece.size(), std::max<qsizetype>(room, 0))));
    }
    if (newline < 0) return;
    QByteArrayView line = direct ? piece : QByteArrayView(pending_);
    if (line.endsWith('\r')) line.chop(1);
    // The first byte of the next line, when it is here already (0 when not).
    const char next = newline + 1 < bytes.size() ? bytes[newline + 1] : '\0';
    physicalLine(line, direct ? piece.size() > kMaxLineBytes : pendingCut_, next, direct);
    pending_.truncate(0);
    pendingCut_ = false;
    bytes = bytes.sliced(newline + 1);
  }
}

void VCardReader::finish() {
  if (!pending_.isEmpty() || pendingCut_) {
    QByteArrayView line = pending_;
    if (line.endsWith('\r')) line.chop(1);
    physicalLine(line, pendingCut_, '\0', false);
    pending_.truncate(0);
    pendingCut_ = false;
  }
  if (inLogical_) endLogicalLine();
  if (inCard_) {
    ++unreadable_;
    inCard_ = false;
  }
}

void VCardReader::physicalLine(QByteArrayView line, bool cut, char next, bool inInput) {
  if (!started_) {
    started_ = true;
    if (line.startsWith("\xEF\xBB\xBF")) line = line.sliced(3);
  }
  if (inLogical_) {
    QByteArrayView more;
    bool continues = false;
    if (softBreak_) {
      // A soft line break: the value goes on in the next line, which some writers indent.
      if (logical_.endsWith('=')) logical_.chop(1);
      more = line.startsWith(' ') || line.startsWith('\t') ? line.sliced(1) : line;
      continues = true;
    } else if (line.startsWith(' ') || line.startsWith('\t')) {
      more = line.sliced(1);
      continues = true;
    }
    if (continues) {
      // Only the line itself says whether a soft break follows it, never what came before
      // it: that keeps the start of every card after a plain line a clean place to cut.
      softBreak_ = quotedPrintable_ && line.endsWith('=');
      if (cut || logical_.size() + more.size() > kMaxLineBytes) {
        logicalCut_ = true;
      } else if (!logicalCut_) {
        logical_.append(more);
      }
      return;
    }
    endLogicalLine();
  }
  if (isBlank(line)) return;
  quotedPrintable_ = namesQuotedPrintable(line);
  // Nearly every property is one line, and the next line shows it: then it is read where
  // it stands, without a copy.
  const bool continued = next == ' ' || next == '\t' || (quotedPrintable_ && line.endsWith('='));
  if (next != '\0' && !continued && !cut) {
    cardLine(line, inInput && inputKept_);
    return;
  }
  logical_.truncate(0);
  logical_.append(line);
  softBreak_ = quotedPrintable_ && line.endsWith('=');
  inLogical_ = true;
  logicalCut_ = cut;
}

void VCardReader::endLogicalLine() {
  inLogical_ = false;
  if (logicalCut_) {
    // A photo too big to unfold costs nothing; any other property that long breaks its card.
    if (inCard_ && !isBinaryProperty(logical_)) cardBroken_ = true;
    return;
  }
  cardLine(logical_, false);
}

void VCardReader::cardLine(QByteArrayView line, bool kept) {
  if (isMarker(line, "BEGIN")) {
    if (inCard_) ++unreadable_;  // the card before was never ended
    ++cards_;
    inCard_ = true;
    cardBroken_ = false;
    properties_ = 0;
    cardSize_ = 0;
    cardBytes_.truncate(0);
    cardLines_.clear();
    return;
  }
  if (!inCard_) return;
  if (isMarker(line, "END")) {
    endCard();
    return;
  }
  if (cardBroken_) return;
  if (++properties_ > kMaxProperties || cardSize_ + line.size() > kMaxCardBytes) {
    cardBroken_ = true;
    return;
  }
  if (isBinaryProperty(line)) return;
  cardSize_ += line.size();
  if (kept) {
    cardLines_.push_back({line.data(), 0, line.size()});
  } else {
    cardLines_.push_back({nullptr, cardBytes_.size(), line.size()});
    cardBytes_.append(line);
  }
}

void VCardReader::endCard() {
  inCard_ = false;
  if (cardBroken_) {
    ++unreadable_;
    return;
  }
  lines_.clear();
  for (const CardLine& line : cardLines_) {
    lines_.emplace_back(line.kept ? line.kept : cardBytes_.constData() + line.at, line.size);
  }
  Contact contact = contactFromCard(lines_, *scratch_);
  if (contact.isEmpty()) {
    ++unreadable_;
  } else {
    sink_(std::move(contact));
  }
}

ReadContacts readVCards(QByteArrayView bytes) {
  ReadContacts read;
  const CardCounts counts =
      readVCardsWhole(bytes, [&read](Contact&& c) { read.contacts.push_back(std::move(c)); });
  read.unreadable = counts.unreadable;
  read.anyCard = counts.cards > 0;
  return read;
}

qsizetype cardBoundary(QByteArrayView bytes, qsizetype from) {
  constexpr QByteArrayView kLine("\nBEGIN:VCARD");
  qsizetype at = std::max<qsizetype>(from - 1, 0);
  for (;;) {
    const qsizetype found = bytes.indexOf(kLine, at);
    if (found < 0) return -1;
    at = found + 1;
    QByteArrayView after = bytes.sliced(found + kLine.size());
    if (after.startsWith('\r')) after = after.sliced(1);
    if (!after.startsWith('\n')) continue;  // more on the line, or a lone carriage return
    after = after.sliced(1);
    if (after.startsWith(' ') || after.startsWith('\t')) continue;
    // The line before: the reader keeps its soft break and its length, nothing older.
    const qsizetype start = bytes.first(found).lastIndexOf('\n') + 1;
    QByteArrayView before = bytes.sliced(start, found - start);
    if (before.size() >= VCardReader::kMaxLineBytes) continue;
    if (before.endsWith('\r')) before.chop(1);
    if (before.endsWith('=')) continue;
    return found + 1;
  }
}

CardCounts readVCardPiece(QByteArrayView piece, const VCardReader::Sink& sink) {
  VCardReader reader(sink);
  reader.keepInput();
  reader.feed(piece);
  reader.finish();
  return CardCounts{reader.cards(), reader.unreadable()};
}

std::vector<qsizetype> piecesOf(QByteArrayView bytes) {
  std::vector<qsizetype> starts{0};
  if (bytes.size() <= kSplitBytes) return starts;
  for (qsizetype from = kPieceBytes; from < bytes.size(); from += kPieceBytes) {
    const qsizetype at = cardBoundary(bytes, std::max(from, starts.back() + 1));
    if (at < 0) break;
    starts.push_back(at);
    from = std::max(from, at);
  }
  return starts;
}

CardCounts readVCardsInTwo(QByteArrayView bytes, qsizetype cut, const VCardReader::Sink& sink) {
  std::vector<qsizetype> starts{0};
  if (cut > 0 && cut < bytes.size()) starts.push_back(cut);
  return readVCardsShared(
      bytes, starts, [](Contact&& c) { return std::move(c); }, sink);
}

CardCounts readVCardsWhole(QByteArrayView bytes, const VCardReader::Sink& sink) {
  return readVCardsWhole(
      bytes, [](Contact&& c) { return std::move(c); }, sink);
}

}  // namespace tavelin::exchange
