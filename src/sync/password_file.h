#pragma once

#include <QString>
#include <optional>

namespace tavelin::sync {

struct PasswordFileRead {
  std::optional<QString> password;
  QString error;  // one line naming the file and the reason; never the file's contents
};

// The password of a scripted sync, from a file as msmtp and vdirsyncer users keep theirs: read
// only when it is a regular file of this user's that no one else may read or write (mode 600
// or 400). One trailing line end is not part of the password.
PasswordFileRead readPasswordFile(const QString& path);

}  // namespace tavelin::sync
