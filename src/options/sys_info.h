#pragma once

#include <QString>
#include <QtGlobal>

namespace tavelin::platform {
class Platform;
class Registry;
}  // namespace tavelin::platform

namespace tavelin::options {

// Reads the value SubKeyRef of the key KeyName below KeyRoot into KeyVal: a string as its text,
// a 32-bit number as "&h" and the hexadecimal form of its bytes. False, with KeyVal empty, when
// the key or the value cannot be read; for a value of another type KeyVal is left as it was.
bool GetKeyValue(platform::Registry& registry, const quint32& KeyRoot, const QString& KeyName,
                 const QString& SubKeyRef, QString& KeyVal);

// Starts the system-information program that the registry names, or says that there is none.
void StartSysInfo(platform::Platform& platform);

}  // namespace tavelin::options
