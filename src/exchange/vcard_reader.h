#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <atomic>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "exchange/contact.h"
#include "record_store/side_thread.h"

namespace tavelin::exchange {

// What reading one card into a contact needs, kept from card to card by a reader so that
// its lists are made once.
struct CardScratch;
struct CardScratchDeleter {
  void operator()(CardScratch* scratch) const;
};
using CardScratchPtr = std::unique_ptr<CardScratch, CardScratchDeleter>;
CardScratchPtr newCardScratch();

// Reads vCard 2.1, 3.0 and 4.0 as it comes, a piece at a time, and hands over each card it
// can read as a contact. What it holds at any time is bounded by the caps below, whatever
// the input: a card past them is counted as one that could not be read, never an error.
class VCardReader {
 public:
  static constexpr qsizetype kMaxLineBytes = 1 << 20;  // one unfolded property
  static constexpr qsizetype kMaxCardBytes = 4 << 20;  // the properties a card keeps
  static constexpr int kMaxProperties = 10000;         // the lines of a card

  using Sink = std::function<void(Contact&&)>;
  explicit VCardReader(Sink sink);
  ~VCardReader();
  VCardReader(const VCardReader&) = delete;
  VCardReader& operator=(const VCardReader&) = delete;

  void feed(QByteArrayView bytes);
  // Every byte fed from now on stays where it is until finish(): a property that stands whole
  // in them is read there instead of copied.
  void keepInput() { inputKept_ = true; }
  // The end of the input: a card begun and never ended could not be read.
  void finish();

  int cards() const { return cards_; }  // every BEGIN:VCARD
  int unreadable() const { return unreadable_; }

 private:
  // next: the first byte of the line after it, '\0' when not known yet; inInput: the line
  // lies in the bytes fed.
  void physicalLine(QByteArrayView line, bool cut, char next, bool inInput);
  void endLogicalLine();
  void cardLine(QByteArrayView line, bool kept);
  void endCard();

  Sink sink_;
  bool inputKept_ = false;
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
  QByteArray cardBytes_;    // the card's properties not kept in the input, one after another
  qsizetype cardSize_ = 0;  // of all its properties
  struct CardLine {
    const char* kept;  // where it stands in the input; null: at `at` in cardBytes_
    qsizetype at;
    qsizetype size;
  };
  std::vector<CardLine> cardLines_;
  std::vector<QByteArrayView> lines_;  // views of them at the card's end, kept for the next
  CardScratchPtr scratch_;
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

// The cards of one piece, read on the calling thread.
CardCounts readVCardPiece(QByteArrayView piece, const VCardReader::Sink& sink);

// Reads the pieces that start at `starts` (0 first, then card boundaries, increasing) on the
// calling thread and beside it on the other processor, each taking the next piece not taken
// yet: a processor that another program holds up reads fewer. `prepare` makes each contact
// into what `take` wants on the thread that read it, so it must be safe on two threads at once;
// `take` gets them in the order of the file on the calling thread, each piece's as soon as
// those before it are taken.
template <typename Prepare, typename Take>
CardCounts readVCardsShared(QByteArrayView bytes, const std::vector<qsizetype>& starts,
                            const Prepare& prepare, const Take& take) {
  using Prepared = std::invoke_result_t<const Prepare&, Contact&&>;
  const size_t n = starts.size();
  std::vector<std::vector<Prepared>> results(n);
  std::vector<CardCounts> counts(n);
  const std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[n]());
  std::atomic<size_t> next{0};
  // Reads the next piece not taken yet; false when there is none.
  const auto readNext = [&] {
    const size_t j = next.fetch_add(1);
    if (j >= n) return false;
    const qsizetype end = j + 1 < n ? starts[j + 1] : bytes.size();
    const QByteArrayView piece = bytes.sliced(starts[j], end - starts[j]);
    std::vector<Prepared>& out = results[j];
    out.reserve(static_cast<size_t>(piece.size() / 256));
    counts[j] = readVCardPiece(piece, [&](Contact&& c) { out.push_back(prepare(std::move(c))); });
    done[j].store(true, std::memory_order_release);
    return true;
  };
  size_t taken = 0;
  const auto takeReady = [&] {
    for (; taken < n && done[taken].load(std::memory_order_acquire); ++taken) {
      for (Prepared& p : results[taken]) take(std::move(p));
      std::vector<Prepared>().swap(results[taken]);
    }
  };
  SideThread side([&] {
    while (readNext()) {
    }
  });
  while (readNext()) takeReady();
  side.join();
  takeReady();
  CardCounts total;
  for (const CardCounts& c : counts) {
    total.cards += c.cards;
    total.unreadable += c.unreadable;
  }
  return total;
}

// The bytes before `cut` and the rest as two pieces read as above (one piece when cut is not
// inside them), the contacts handed over in the order of the file.
CardCounts readVCardsInTwo(QByteArrayView bytes, qsizetype cut, const VCardReader::Sink& sink);

// Cards given whole; more than kSplitBytes of them are read on two processors, in pieces of
// about kPieceBytes cut at card boundaries (piecesOf: where each starts).
constexpr qsizetype kSplitBytes = 256 * 1024;
constexpr qsizetype kPieceBytes = 64 * 1024;
std::vector<qsizetype> piecesOf(QByteArrayView bytes);
CardCounts readVCardsWhole(QByteArrayView bytes, const VCardReader::Sink& sink);
template <typename Prepare, typename Take>
CardCounts readVCardsWhole(QByteArrayView bytes, const Prepare& prepare, const Take& take) {
  return readVCardsShared(bytes, piecesOf(bytes), prepare, take);
}

// The contact one card's properties give (its lines unfolded, without BEGIN and END).
// Empty when nothing in it could be read.
Contact contactFromCard(const std::vector<QByteArrayView>& lines);
Contact contactFromCard(const std::vector<QByteArrayView>& lines, CardScratch& scratch);

}  // namespace tavelin::exchange
