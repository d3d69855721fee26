#include "admin/help_text.h"

namespace portavel {
namespace {

constexpr std::string_view kToolHelp =
    R"(Usage: portavel-db [--config FILE] COMMAND [ARGUMENTS]

Sets up and fills the databases of the Portavel customer portal.

Commands:
  init                  create the database files, tables, indexes and key rows
  load FILE.json        load table rows from a JSON file ("-" reads standard input)
  dump TABLE            write the rows of a table as JSON
  demo                  set up the store and fill it with a demo data set

Options:
  --config FILE         the configuration file (else PORTAVEL_CONFIG,
                        portavel.toml beside the program, /etc/portavel/portavel.toml)
  -h, --help            this text; "portavel-db COMMAND --help" describes a command

Exit status: 0 done, 1 data refused or a database failure, 2 usage or configuration error.
)";

constexpr std::string_view kInitHelp =
    R"(Usage: portavel-db init [--config FILE]

Creates what is missing: the two database files, every table with its
indexes, and a row in Keys for each key sequence (NextNumber 1). An
existing store keeps all its data; init only adds. Prints what it created.
)";

constexpr std::string_view kLoadHelp =
    R"(Usage: portavel-db load [--config FILE] FILE.json
       portavel-db load [--config FILE] -        (reads standard input)

Loads a JSON object whose members are tables ("Accounts" or "accounts.db")
holding arrays of rows keyed by field name (any case). Every value is
checked first; one refused value stops the load with a message naming the
table, row and field, and nothing is written. A Keys row for a sequence
that already has one sets its NextNumber. Prints the rows loaded per table.
)";

constexpr std::string_view kDumpHelp =
    R"(Usage: portavel-db dump [--config FILE] TABLE [--where FIELD=VALUE]...

Writes the rows of TABLE as one JSON array, all fields in declared order,
in the form that load reads. Each --where keeps the rows whose FIELD
equals VALUE as a whole (text exactly); an empty VALUE matches null.
)";

constexpr std::string_view kDemoHelp =
    R"(Usage: portavel-db demo [--config FILE]

Runs init, then loads a demo dealer with customers, tanks, invoices and
payments dated back from today, and prints the demo logins. Refused when
the store already holds accounts.
)";

}  // namespace

std::string_view ToolHelp() {
  return kToolHelp;
}

std::optional<std::string_view> CommandHelp(std::string_view command) {
  if (command == "init") return kInitHelp;
  if (command == "load") return kLoadHelp;
  if (command == "dump") return kDumpHelp;
  if (command == "demo") return kDemoHelp;
  return std::nullopt;
}

}  // namespace portavel
