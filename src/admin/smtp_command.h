// "portavel-db smtp set" and "smtp show": the mail server settings of the
// password e-mail, kept in the LocalData table e_stmt_smtp_cnxn_cfg.
#pragma once

#include <istream>
#include <ostream>

#include "admin/command_line.h"

namespace portavel {

class Platform;
class Store;

// "set" writes the row of --for-user (or the shared row), replacing any
// row of that user in another case; the password is read from `in` and
// stored scrambled with the key of the database identity. "show" writes
// the rows as JSON, without the password. Throws UsageError for bad
// options, DataError when the store has no identity to make the key from.
void RunSmtpCommand(const CommandLine& line, Store& store, std::istream& in, std::ostream& out,
                    Platform& platform);

}  // namespace portavel
