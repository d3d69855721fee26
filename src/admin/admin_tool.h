// The admin tool portavel-db: sets up the dealer's store, loads and dumps
// table rows as JSON, installs a demo data set, and stores the settings of
// the mail server the password e-mails go through.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace portavel {

class Platform;

// Runs the tool on the words after the program name and returns its exit
// status (kExitDone, kExitBadData, kExitUsage). Results go to `out`;
// messages, one line each, and progress lines go to `err`.
int RunAdminTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                 std::ostream& err, Platform& platform);

}  // namespace portavel
