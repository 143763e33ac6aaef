// The card merge over a server's card: whatever the card, an edit of the name, the second
// phone, the e-mail and the first note line reads back from the merged card, the UID is
// ours, and every line of a property the fields do not show is still there as it was.
#include <QByteArrayList>

#include "fuzz_checks.h"
#include "sync/card_merge.h"

namespace tavelin::fuzz {

namespace {

// The properties the fields come from, which an edit may rewrite.
bool mapped(QByteArray name) {
  name = name.trimmed().toUpper();
  const qsizetype dot = name.lastIndexOf('.');
  if (dot >= 0) name = name.mid(dot + 1);
  static const QByteArrayList kMapped = {"FN",  "N",   "ADR",  "LABEL", "TEL", "EMAIL",
                                         "URL", "UID", "NOTE", "BEGIN", "END", "VERSION"};
  return kMapped.contains(name);
}

}  // namespace

QString checkCardMerge(QByteArrayView bytes) {
  const std::optional<FieldTexts> before = sync::cardFields(bytes);
  FieldTexts after = before ? *before : FieldTexts{};
  after[0] = QStringLiteral("Fuzz Name");
  after[5] = QStringLiteral("+1 555 0100");
  after[8] = QStringLiteral("fuzz@example.org");
  after[10] = QStringLiteral("fuzz note");
  const QByteArray merged =
      sync::mergeCard(bytes, before ? *before : FieldTexts{}, after, QStringLiteral("fuzz-uid"));
  if (sync::cardUid(merged) != QLatin1String("fuzz-uid")) return QStringLiteral("not our UID");
  const std::optional<FieldTexts> read = sync::cardFields(merged);
  if (!read) return QStringLiteral("the merged card does not read");
  for (int k : {0, 5, 8, 10}) {
    if ((*read)[size_t(k)] != after[size_t(k)]) {
      return QStringLiteral("field %1 reads back otherwise").arg(k);
    }
  }
  // Lines of the properties no field shows stay, in a card the reader takes (soft line breaks
  // of quoted-printable and a byte-order mark make lines this check cannot tell apart).
  if (!before || bytes.startsWith("\xEF\xBB\xBF") ||
      bytes.toByteArray().toUpper().contains("QUOTED-PRINTABLE")) {
    return {};
  }
  bool keep = false;
  for (QByteArray line : bytes.toByteArray().split('\n')) {
    if (line.endsWith('\r')) line.chop(1);
    if (line.startsWith(' ') || line.startsWith('\t')) {
      if (keep && !merged.contains(line)) return QStringLiteral("a folded line went missing");
      continue;
    }
    qsizetype end = 0;
    while (end < line.size() && line[end] != ';' && line[end] != ':') ++end;
    keep = end < line.size() && !mapped(line.first(end)) && !line.trimmed().isEmpty();
    if (keep && !merged.contains(line)) return QStringLiteral("an unmapped line went missing");
  }
  return {};
}

}  // namespace tavelin::fuzz
