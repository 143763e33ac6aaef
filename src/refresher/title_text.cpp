#include "refresher/title_text.h"

#include "record_store/record_lines.h"
#include "search/search_text.h"

namespace tavelin::refresher {

QString titleText(const TitleOptions& options, QTime now, const QString& shortDate,
                  const QString& searchString) {
  QString title = QStringLiteral("Malvek Tavelin");
  if (options.time) {
    title += QStringLiteral(" [%1:%2]")
                 .arg(now.hour(), 2, 10, QLatin1Char('0'))
                 .arg(now.minute(), 2, 10, QLatin1Char('0'));
  }
  if (options.date) title += QStringLiteral("  [") + shortDate + QLatin1Char(']');
  if (options.searchString && !trimBlanks(searchString).isEmpty()) {
    title += QStringLiteral("  [Search String: ") +
             search::properCase(QStringView(searchString).left(25)) + QLatin1Char(']');
  }
  return title;
}

}  // namespace tavelin::refresher
