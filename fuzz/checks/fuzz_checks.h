#pragma once

#include <QByteArrayView>
#include <QString>
#include <vector>

namespace tavelin::fuzz {

// Each check feeds any bytes to one reader of the program and says what went wrong, or
// nothing. The fuzz targets abort on a fault; the test suite runs the same checks on the
// seed inputs and on every input a fuzzer once found a fault with.
QString checkDataFile(QByteArrayView bytes);         // load, save, load, save, load, save
QString checkTextCodec(QByteArrayView bytes);        // UTF-8 test, decoders, line splitting
QString checkOptionsFile(QByteArrayView bytes);      // the options file read and written
QString checkClipboardImport(QByteArrayView bytes);  // clipboard text cut into the fields
QString checkMailFiles(QByteArrayView bytes);        // font file, sign-off, opened text
QString checkSyncState(QByteArrayView bytes);        // the sync state read and written
QString checkDavResponse(QByteArrayView bytes);      // a server's multistatus and error bodies
QString checkVCardReader(QByteArrayView bytes);      // cards read, written back, read again
QString checkCsvReader(QByteArrayView bytes);        // rows read, written back, read again
QString checkCardMerge(QByteArrayView bytes);        // a server's card with a Tavelin edit

struct FuzzTarget {
  const char* name;  // also the folder of its inputs below fuzz/corpus and fuzz/regressions
  QString (*check)(QByteArrayView);
};
const std::vector<FuzzTarget>& fuzzTargets();

}  // namespace tavelin::fuzz
