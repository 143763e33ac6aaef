#include "sync/sync_plan.h"

#include <QHash>
#include <optional>

#include "sync/card_merge.h"

namespace tavelin::sync {

namespace {

using Pending = SyncedContact::Pending;

const FieldTexts kNoFields{};

bool isBlank(const FieldTexts& fields) {
  return std::all_of(fields.begin(), fields.end(), [](const QString& f) { return f.isEmpty(); });
}

// Whether a line is a record as the data file writes them (fourteen quoted fields, no quote
// inside) with something in a field; nullopt when only reading its fields can tell.
std::optional<bool> writtenRecordWithText(const QString& line) {
  if (line.size() < 2 || !line.startsWith(u'"') || !line.endsWith(u'"')) return std::nullopt;
  int quotes = 0;
  bool text = false;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const QChar c = line[i];
    if (c.unicode() < 0x20 && c != u'\t') return std::nullopt;  // a line the file keeps aside
    if (c == u'"') {
      ++quotes;
      // Between fields stands exactly "," and nothing else.
      if (quotes % 2 == 0 && i + 1 < line.size() &&
          (line[i + 1] != u',' || i + 2 >= line.size() || line[i + 2] != u'"')) {
        return std::nullopt;
      }
    } else if (quotes % 2 == 1) {
      text = text || c != u' ';
    }
  }
  if (quotes != 2 * kFieldCount) return std::nullopt;
  return text;
}

// The local records, each claimed by at most one contact. A line's fields are read only when
// asked for: most lines are found by their text alone.
class LocalLines {
 public:
  explicit LocalLines(const QStringList& lines) {
    for (const QString& line : lines) {
      std::optional<FieldTexts> fields;
      if (const std::optional<bool> text = writtenRecordWithText(line)) {
        if (!*text) continue;
      } else {
        fields = lineFields(line);
        if (!fields || isBlank(*fields)) continue;
      }
      const int index = static_cast<int>(lines_.size());
      lines_.push_back({line, std::move(fields), false});
      byLine_[line].append(index);
    }
  }

  int claimLine(const QString& line) {
    for (int index : byLine_.value(line)) {
      if (!lines_[size_t(index)].claimed) return claim(index);
    }
    return -1;
  }
  int claimFields(const FieldTexts& fields) {
    for (size_t i = 0; i < lines_.size(); ++i) {
      if (!lines_[i].claimed && this->fields(int(i)) == fields) return claim(int(i));
    }
    return -1;
  }
  int claimName(const QString& name) {
    if (name.isEmpty()) return -1;
    for (size_t i = 0; i < lines_.size(); ++i) {
      if (!lines_[i].claimed && fields(int(i))[0] == name) return claim(int(i));
    }
    return -1;
  }

  const QString& line(int index) const { return lines_[size_t(index)].line; }
  const FieldTexts& fields(int index) {
    Line& line = lines_[size_t(index)];
    if (!line.fields) line.fields = lineFields(line.line).value_or(FieldTexts{});
    return *line.fields;
  }
  std::vector<int> unclaimed() const {
    std::vector<int> out;
    for (size_t i = 0; i < lines_.size(); ++i) {
      if (!lines_[i].claimed) out.push_back(int(i));
    }
    return out;
  }

 private:
  int claim(int index) {
    lines_[size_t(index)].claimed = true;
    return index;
  }
  struct Line {
    QString line;
    std::optional<FieldTexts> fields;  // read when first asked for
    bool claimed;
  };
  std::vector<Line> lines_;
  QHash<QString, QList<int>> byLine_;
};

FieldTexts fieldsOrNone(const std::optional<FieldTexts>& fields) {
  return fields ? *fields : kNoFields;
}

class Planner {
 public:
  explicit Planner(const PlanInput& input) : in_(input), local_(input.lines) {
    for (const FetchedCard& card : input.cards) fetched_.insert(card.href, &card);
  }

  Plan run();

 private:
  // A new card of these fields (or ours merged into a card we had), pending upload.
  SyncedContact newContact(const QString& line, const FieldTexts& fields,
                           const QByteArray& base = {}) {
    SyncedContact contact;
    contact.uid = in_.newUid();
    contact.href = in_.hrefFor(contact.uid);
    contact.card = base.isEmpty()
                       ? newCard(fields, contact.uid)
                       : mergeCard(base, fieldsOrNone(cardFields(base)), fields, contact.uid);
    contact.line = line;
    contact.pending = Pending::Upload;
    return contact;
  }
  void fromServer(SyncedContact& contact, const FetchedCard& card, const QString& line) {
    contact.etag = card.etag;
    contact.card = card.card;
    contact.line = line;
    contact.pending = Pending::None;
  }
  void decide(const SyncedContact& old, int local);

  const PlanInput& in_;
  LocalLines local_;
  QHash<QString, const FetchedCard*> fetched_;
  Plan plan_;
};

void Planner::decide(const SyncedContact& old, int local) {
  SyncedContact contact = old;
  const FetchedCard* card = fetched_.value(old.href);
  // A card not yet uploaded cannot have been removed there.
  const bool removed = in_.removed.contains(old.href) && !old.etag.isEmpty() && !card;
  std::optional<FieldTexts> server = card ? cardFields(card->card) : std::nullopt;
  if (card && !server) card = nullptr;  // a card we cannot read is left as it was
  // The card as it was is read only beside a card fetched now: most contacts have none.
  const bool changedThere = card && server != cardFields(old.card);

  if (local < 0) {
    // Deleted here (or pending removal from a sync that stopped).
    if (removed) return;
    if (changedThere) {
      const QString line = fieldsLine(*server);
      plan_.local.added << line;
      ++plan_.summary.addedHere;
      fromServer(contact, *card, line);
    } else if (old.etag.isEmpty() && !card) {
      return;  // never reached the server
    } else {
      if (card) contact.etag = card->etag, contact.card = card->card;
      contact.pending = Pending::Removal;
    }
    plan_.state.put(std::move(contact));
    return;
  }

  const QString& line = local_.line(local);
  // The same text is the same fields: most contacts are told unchanged without reading them.
  const bool changedHere =
      old.pending == Pending::Upload ||
      (line != old.line && local_.fields(local) != fieldsOrNone(lineFields(old.line)));
  const FieldTexts& fields = changedHere || card ? local_.fields(local) : kNoFields;
  contact.line = line;
  if (removed) {
    if (changedHere) {
      // Edited here, deleted there: the edit is kept, as a card of its own.
      plan_.state.put(newContact(line, fields, old.card));
    } else {
      plan_.local.removed << line;
      ++plan_.summary.removedHere;
    }
    return;
  }
  if (card) {
    if (!changedHere) {
      const QString serverLine = changedThere ? fieldsLine(*server) : line;
      if (changedThere && *server != fields) {
        plan_.local.replaced.append({line, serverLine});
        ++plan_.summary.changedHere;
      }
      fromServer(contact, *card, serverLine);
    } else if (!changedThere || *server == fields) {
      // Only here (or both alike): ours goes up onto the server's latest card.
      const bool same = *server == fields;
      fromServer(contact, *card, line);
      if (!same) contact.pending = Pending::Upload;
    } else {
      // Both sides edited it: kept twice. The server's version takes the line; ours is a
      // contact of its own on both sides.
      const QString serverLine = fieldsLine(*server);
      plan_.local.replaced.append({line, serverLine});
      plan_.local.added << line;
      ++plan_.summary.conflicts;
      fromServer(contact, *card, serverLine);
      SyncedContact ours = newContact(line, fields, old.card);
      plan_.conflictCopies.insert(ours.href);
      plan_.state.put(std::move(ours));
    }
  } else if (changedHere) {
    contact.pending = Pending::Upload;
  }
  plan_.state.put(std::move(contact));
}

Plan Planner::run() {
  plan_.state.collection = in_.state.collection;
  plan_.state.syncToken = in_.state.syncToken;
  const std::vector<SyncedContact>& contacts = in_.state.contacts;
  std::vector<int> claimed(contacts.size(), -1);
  std::vector<bool> gone(contacts.size(), false);

  // The line each contact had, followed through the saves since; then by the line as it
  // stands, and for a line changed outside Tavelin by its fields, then by its Full Name.
  std::vector<QString> now(contacts.size());
  for (size_t i = 0; i < contacts.size(); ++i) {
    if (contacts[i].pending == Pending::Removal) {
      gone[i] = true;
      continue;
    }
    bool removed = false;
    now[i] = journalledLine(contacts[i].line, in_.journal, &removed);
    gone[i] = removed;
    if (!removed) claimed[i] = local_.claimLine(now[i]);
  }
  for (size_t i = 0; i < contacts.size(); ++i) {
    if (gone[i] || claimed[i] >= 0) continue;
    if (const std::optional<FieldTexts> fields = lineFields(now[i])) {
      claimed[i] = local_.claimFields(*fields);
    }
  }
  for (size_t i = 0; i < contacts.size(); ++i) {
    if (gone[i] || claimed[i] >= 0) continue;
    if (const std::optional<FieldTexts> fields = lineFields(now[i])) {
      claimed[i] = local_.claimName((*fields)[0]);
    }
  }
  for (size_t i = 0; i < contacts.size(); ++i) decide(contacts[i], claimed[i]);

  // Cards new to us: an equal record here is that contact (a first sync of two full books,
  // or a card another copy uploaded); else the card comes here.
  // A card of the UID of one we have yet to send is that one, sent before under another
  // address (by a copy that stopped, or another device that had it from us).
  QHash<QString, QString> unsent;  // UID -> href
  for (const SyncedContact& contact : plan_.state.contacts) {
    if (contact.pending == Pending::Upload && contact.etag.isEmpty()) {
      unsent.insert(contact.uid, contact.href);
    }
  }
  for (const FetchedCard& card : in_.cards) {
    if (in_.state.findHref(card.href)) continue;
    const std::optional<FieldTexts> fields = cardFields(card.card);
    if (!fields) continue;
    SyncedContact contact;
    contact.uid = cardUid(card.card);
    if (contact.uid.isEmpty()) contact.uid = card.href;
    contact.href = card.href;
    if (const QString href = unsent.take(contact.uid); !href.isEmpty()) {
      SyncedContact ours = *plan_.state.findHref(href);
      plan_.state.removeHref(href);
      const bool same = lineFields(ours.line) == fields;
      fromServer(ours, card, ours.line);
      ours.href = card.href;
      if (!same) ours.pending = Pending::Upload;
      plan_.state.put(std::move(ours));
      continue;
    }
    const int local = local_.claimFields(*fields);
    QString line;
    if (local >= 0) {
      line = local_.line(local);
    } else {
      line = fieldsLine(*fields);
      plan_.local.added << line;
      ++plan_.summary.addedHere;
    }
    fromServer(contact, card, line);
    plan_.state.put(std::move(contact));
  }
  for (int local : local_.unclaimed()) {
    plan_.state.put(newContact(local_.line(local), local_.fields(local)));
  }
  return std::move(plan_);
}

}  // namespace

QString journalledLine(const QString& line, const std::vector<ChangeSet>& journal, bool* removed) {
  *removed = false;
  QString now = line;
  for (const ChangeSet& note : journal) {
    bool replaced = false;
    for (const ChangeSet::Replacement& change : note.replaced) {
      if (change.before == now) {
        now = change.after;
        replaced = true;
        break;
      }
    }
    if (!replaced && note.removed.contains(now)) {
      *removed = true;
      return {};
    }
  }
  return now;
}

Plan makePlan(const PlanInput& input) {
  return Planner(input).run();
}

}  // namespace tavelin::sync
