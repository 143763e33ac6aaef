#pragma once

#include <QString>
#include <optional>

#include "record_store/atomic_file.h"

namespace tavelin::options {

class FrmOptions;

// Start-up: reads the options file into the window, or writes the default file when it is
// missing or shorter than 40 bytes. Nothing is reported.
void ReadOptions(FrmOptions& form, const QString& optionsPath);

// Writes the default file and puts the defaults into the window. When the file cannot be
// written the window is left as it is and the result is false.
bool WriteDefaultOptions(FrmOptions& form, const QString& optionsPath);

// Writes the window's values, as the options dialog does.
std::optional<WriteError> WriteOptions(const FrmOptions& form, const QString& optionsPath);

}  // namespace tavelin::options
