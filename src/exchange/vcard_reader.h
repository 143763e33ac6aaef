#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <utility>
#include <vector>

#include "exchange/contact.h"

namespace tavelin::exchange {

// Reads vCard 2.1, 3.0 and 4.0 as it comes, a piece at a time, and hands over each card it
// can read as a contact. What it holds at any time is bounded by the caps below, whatever
// the input: a card past them is counted as one that could not be read, never an error.
class VCardReader {
 public:
  static constexpr qsizetype kMaxLineBytes = 1 << 20;  // one unfolded property
  static constexpr qsizetype kMaxCardBytes = 4 << 20;  // the properties a card keeps
  static constexpr int kMaxProperties = 10000;         // the lines of a card

  using Sink = std::function<void(Contact&&)>;
  explicit VCardReader(Sink sink) : sink_(std::move(sink)) {}

  void feed(QByteArrayView bytes);
  // The end of the input: a card begun and never ended could not be read.
  void finish();

  int cards() const { return cards_; }  // every BEGIN:VCARD
  int unreadable() const { return unreadable_; }

 private:
  // next: the first byte of the line after it, '\0' when not known yet.
  void physicalLine(QByteArrayView line, bool cut, char next);
  void endLogicalLine();
  void cardLine(QByteArrayView line);
  void endCard();

  Sink sink_;
  bool started_ = false;  // past a byte-order mark
  QByteArray pending_;    // a physical line not yet ended
  bool pendingCut_ = false;
  QByteArray logical_;  // the property being unfolded
  bool inLogical_ = false;
  bool logicalCut_ = false;
  bool quotedPrintable_ = false;  // soft line breaks continue the property
  bool softBreak_ = false;        // the property's last line ended in one

  bool inCard_ = false;
  bool cardBroken_ = false;
  int properties_ = 0;
  QByteArray cardBytes_;  // the card's properties, one after another
  std::vector<std::pair<qsizetype, qsizetype>> cardLines_;
  std::vector<QByteArrayView> lines_;  // views of them at the card's end, kept for the next
  int cards_ = 0;
  int unreadable_ = 0;
};

// The contacts of cards given whole (through readVCardsWhole).
ReadContacts readVCards(QByteArrayView bytes);

struct CardCounts {
  int cards = 0;  // every BEGIN:VCARD
  int unreadable = 0;
};

// Where cards given whole can be cut in two pieces that read apart exactly as they read in
// one: the start of the first line at or after `from` that is "BEGIN:VCARD", that the line
// before cannot carry on (no soft line break, not too long to keep) and that the line after
// does not fold. -1 when there is none.
qsizetype cardBoundary(QByteArrayView bytes, qsizetype from);

// Reads the bytes before `cut` on the calling thread and the rest beside it on the other
// processor (a SideThread), or all of them on the calling thread when cut is not inside them;
// the sink gets the contacts in the order of the file, always on the calling thread.
CardCounts readVCardsInTwo(QByteArrayView bytes, qsizetype cut, const VCardReader::Sink& sink);

// Cards given whole; more than kSplitBytes of them are read on two processors, cut at the
// card boundary nearest their middle.
constexpr qsizetype kSplitBytes = 256 * 1024;
CardCounts readVCardsWhole(QByteArrayView bytes, const VCardReader::Sink& sink);

// The contact one card's properties give (its lines unfolded, without BEGIN and END).
// Empty when nothing in it could be read.
Contact contactFromCard(const std::vector<QByteArrayView>& lines);

}  // namespace tavelin::exchange
