#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "sync/sync_runner.h"

namespace tavelin::sync {

// Makes the sync of one data file over one client; the window and the command line get it
// from main(). Empty: this build cannot sync.
using SyncRunnerFactory =
    std::function<std::unique_ptr<SyncRunner>(const QString& dataFile, CardDavClient& client)>;

}  // namespace tavelin::sync
