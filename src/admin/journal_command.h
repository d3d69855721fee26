// portavel-db journal list|replay: the approvals the portal kept in the
// payments journal because the store would not take them.
#pragma once

#include <ostream>
#include <string>

namespace portavel {

struct Config;

// `action` is "list" or "replay". Throws DataError for damaged journal
// lines (after listing or replaying the sound ones) and for store errors.
void RunJournalCommand(const std::string& action, const Config& config, std::ostream& out,
                       std::ostream& err);

}  // namespace portavel
