#pragma once

#include <QByteArray>

namespace tavelin::bench {

// A realistic data file: unsorted records with names, addresses, numbers, mail and notes,
// about 180 bytes a line. The same seed gives the same file.
QByteArray sampleDataFile(int records, unsigned seed = 1);

}  // namespace tavelin::bench
