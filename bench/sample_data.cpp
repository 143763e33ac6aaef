#include "sample_data.h"

#include <QRandomGenerator>
#include <QString>
#include <QStringList>

namespace tavelin::bench {
namespace {

const char* const kGiven[] = {
    "Ann",   "Bram",   "Carla", "Dirk", "Eva",   "Femke",  "Gert",    "Hanna",  "Ivo",   "Joost",
    "Karin", "Lars",   "Marit", "Nils", "Olga",  "Pieter", "Quinten", "Roos",   "Sven",  "Tineke",
    "Ulla",  "Victor", "Wim",   "Yara", "Anouk", "Bas",    "Daan",    "Esther", "Floor", "Guus",
    "Iris",  "Jesse",  "Lotte", "Mees", "Noor",  "Rik",    "Sanne",   "Thijs",  "Vera",  "Wouter"};
const char* const kFamily[] = {"de Vries", "Jansen",   "Bakker",    "Visser",   "Smit",
                               "Meijer",   "Mulder",   "de Boer",   "Bos",      "Vos",
                               "Peters",   "Hendriks", "van Dijk",  "Dekker",   "Brouwer",
                               "de Wit",   "Dijkstra", "Smits",     "de Graaf", "van der Meer",
                               "Kok",      "Jacobs",   "Vermeulen", "Schouten"};
const char* const kStreets[] = {"Kerkstraat",   "Molenweg",      "Dorpsstraat", "Stationsplein",
                                "Schoolstraat", "Nieuwe Gracht", "Lindelaan",   "Havenkade"};
const char* const kTowns[] = {"Amsterdam", "Utrecht", "Leiden", "Groningen", "Zwolle",
                              "Haarlem",   "Delft",   "Arnhem", "Breda",     "Maastricht"};

template <size_t N>
QString pick(QRandomGenerator& r, const char* const (&list)[N]) {
  return QString::fromLatin1(list[r.bounded(static_cast<quint32>(N))]);
}

QString phone(QRandomGenerator& r) {
  return QStringLiteral("0%1-%2").arg(r.bounded(10, 99)).arg(r.bounded(1000000, 9999999));
}

}  // namespace

QByteArray sampleDataFile(int records, unsigned seed) {
  QRandomGenerator r(seed);
  QByteArray out;
  out.reserve(records * 190);
  for (int i = 0; i < records; ++i) {
    const QString given = pick(r, kGiven);
    const QString family = pick(r, kFamily);
    QStringList f;
    const QChar initial(u'A' + r.bounded(26));
    f << given + QLatin1Char(' ') + initial + QStringLiteral(". ") + family;
    f << pick(r, kStreets) + QLatin1Char(' ') + QString::number(r.bounded(1, 300));
    f << QStringLiteral("%1 %2").arg(r.bounded(1000, 9999)).arg(QStringLiteral("AB"));
    f << pick(r, kTowns);
    f << phone(r) << (r.bounded(2) ? phone(r) : QString()) << (r.bounded(4) ? QString() : phone(r))
      << QString();
    f << given.toLower() + QLatin1Char('.') + family.toLower().remove(QLatin1Char(' ')) +
             QStringLiteral("@example.org");
    f << (r.bounded(3) == 0 ? QStringLiteral("https://example.org/~") + given.toLower()
                            : QString());
    f << QStringLiteral("Met at the %1 meeting").arg(r.bounded(1990, 2026));
    f << (r.bounded(4) == 0 ? QStringLiteral("Birthday %1 May").arg(r.bounded(1, 31)) : QString());
    f << (r.bounded(2) ? QStringLiteral("Client since %1").arg(r.bounded(1990, 2026)) : QString());
    f << (r.bounded(3) == 0 ? QStringLiteral("Prefers e-mail") : QString());
    QString line;
    for (int k = 0; k < f.size(); ++k) {
      if (k) line += QLatin1Char(',');
      line += QLatin1Char('"') + f[k] + QLatin1Char('"');
    }
    out += line.toUtf8();
    out += "\r\n";
  }
  return out;
}

}  // namespace tavelin::bench
