#pragma once

#include <QString>
#include <QTime>

namespace tavelin::refresher {

// What the options put on the title bar.
struct TitleOptions {
  bool time = false;          // Check1
  bool date = false;          // Check5
  bool searchString = false;  // Check4
};

// "Malvek Tavelin", then "[hh:mm]", "[date]" and "[Search String: ...]" as the options say.
// A search string of blanks only is not shown; a long one shows its first 25 characters.
QString titleText(const TitleOptions& options, QTime now, const QString& shortDate,
                  const QString& searchString);

}  // namespace tavelin::refresher
