#include "fuzz_checks.h"

namespace tavelin::fuzz {

const std::vector<FuzzTarget>& fuzzTargets() {
  static const std::vector<FuzzTarget> targets = {
      {"data_file", checkDataFile},       {"text_codec", checkTextCodec},
      {"options_file", checkOptionsFile}, {"clipboard_import", checkClipboardImport},
      {"mail_files", checkMailFiles},     {"sync_state", checkSyncState},
      {"dav_response", checkDavResponse}, {"vcard_reader", checkVCardReader},
      {"csv_reader", checkCsvReader},     {"card_merge", checkCardMerge},
  };
  return targets;
}

}  // namespace tavelin::fuzz
