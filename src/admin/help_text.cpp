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
  check                 check both databases: SQLite's integrity check, or on
                        PostgreSQL the tables, key counters and text
  copy TARGET.toml      copy the whole store into the empty store of another
                        configuration (SQLite or PostgreSQL, either way)
  smtp set OPTIONS      store the mail server settings of the password e-mail
  smtp show             show the stored mail server settings (not the password)
  new-secret            print a random secret for [session] secret
  journal list          list the card approvals kept in the payments journal
  journal replay        record the journal's approvals in the card log

Options:
  --config FILE         the configuration file (else PORTAVEL_CONFIG,
                        portavel.toml beside the program, /etc/portavel/portavel.toml)
  -h, --help            this text; "portavel-db COMMAND --help" describes a command
  --version             print the program's version and exit

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

constexpr std::string_view kCheckHelp =
    R"(Usage: portavel-db check [--config FILE]

On SQLite, runs SQLite's integrity check on the UserData and LocalData
files of the configuration, with the portal's windows-1252 collation that
some indexes use (the sqlite3 shell lacks it and cannot check them).

On PostgreSQL, checks that the database is UTF8, that every table and
column is there with the type and order (collation) init gave it, that
each key counter is ahead of its keys and its trigger enabled, and that
no text holds characters windows-1252 lacks (another program may have
stored them; the portal would read them as "?").

Prints "UserData: ok" and "LocalData: ok", or each problem found, one a
line, and then exits with 1. Point a configuration at a backup copy, or
at a database a backup was restored into, to check it.
)";

constexpr std::string_view kCopyHelp =
    R"(Usage: portavel-db copy [--config FILE] TARGET.toml

Copies the store of the configuration (--config FILE, or the usual
lookup) into the store of the configuration file TARGET.toml, whichever
engine either uses: SQLite files to PostgreSQL, PostgreSQL to SQLite, or
SQLite to other SQLite files. Every table of both databases is copied
with every row and field as dump and load carry them, the Keys rows and
the installation identity included.

The target is set up as init does and must hold no data: tables missing
or empty, Keys rows only as init writes them. Otherwise the copy is
refused (exit 1) and the target left as it was; a copy never merges.
Each database of the target is written in one transaction, so a failure
leaves nothing copied. The source is read under its write lock: stop the
portal first. Prints a line per table on standard error and the total.
)";

constexpr std::string_view kSmtpHelp =
    R"(Usage: portavel-db smtp set --host HOST --port PORT --from ADDRESS
                         [--user NAME --password-stdin] [--for-user NAME]
       portavel-db smtp show

The mail server that the portal's password e-mails go out through, kept in
the LocalData table e_stmt_smtp_cnxn_cfg. See "portavel-db smtp set --help"
and "portavel-db smtp show --help".
)";

constexpr std::string_view kSmtpSetHelp =
    R"(Usage: portavel-db smtp set [--config FILE] --host HOST --port PORT --from ADDRESS
                         [--user NAME --password-stdin] [--for-user NAME]

Stores the mail server settings, replacing those stored before for the
same user (its name compared without regard to case):
  --host HOST           the SMTP server's name or address
  --port PORT           587: STARTTLS, which must succeed; 25: no TLS;
                        any other port: TLS from the first byte
  --from ADDRESS        the sender address of the mails
  --user NAME           the login name at the server (no login without it)
  --password-stdin      read the login password from standard input (one
                        line break at its end is dropped)
  --for-user NAME       the settings of the operating-system user NAME that
                        the portal runs as; without it, the settings shared
                        by all users, used when the portal cannot tell its
                        user's name
The password is stored scrambled with a key made from the database's
installation identity (created when the store has none yet, as the portal
does on its first run); refused (exit 1) when the identity is the null GUID.
)";

constexpr std::string_view kSmtpShowHelp =
    R"(Usage: portavel-db smtp show [--config FILE]

Writes the stored mail server settings as a JSON array, one object per row
of e_stmt_smtp_cnxn_cfg, without the password: Password_Stored tells
whether one is stored.
)";

constexpr std::string_view kNewSecretHelp =
    R"(Usage: portavel-db new-secret

Prints a random secret of 64 letters and digits for the configuration
file's [session] section (secret = "..."), which signs the customers'
login cookies. Needs no configuration file and changes nothing. Putting a
new secret in place ends every customer's session.
)";

}  // namespace

std::string_view ToolHelp() {
  return kToolHelp;
}

constexpr std::string_view kJournalHelp =
    R"(Usage: portavel-db journal [--config FILE] list
       portavel-db journal [--config FILE] replay

When a card gateway approved a charge but the store could not be written
(locked too long, disk full, read-only), the portal kept the approval in
the payments journal ([payments] journal) and said so in the operator log.

  list     prints each approval and whether the card log (ccTransactions)
           already holds it, then how many do not
  replay   writes each approval into its card log row; one already there
           is left alone, so replay may be run again at any time

The journal itself is never changed: archive it by hand once replayed.
Exit status 1 when a line of the journal is damaged (the others are still
listed or replayed) or the store cannot be written.
)";

std::optional<std::string_view> CommandHelp(std::string_view command, std::string_view action) {
  if (command == "init") return kInitHelp;
  if (command == "load") return kLoadHelp;
  if (command == "dump") return kDumpHelp;
  if (command == "demo") return kDemoHelp;
  if (command == "check") return kCheckHelp;
  if (command == "copy") return kCopyHelp;
  if (command == "new-secret") return kNewSecretHelp;
  if (command == "journal") return kJournalHelp;
  if (command == "smtp") {
    if (action == "set") return kSmtpSetHelp;
    if (action == "show") return kSmtpShowHelp;
    return kSmtpHelp;
  }
  return std::nullopt;
}

}  // namespace portavel
