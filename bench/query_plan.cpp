// Shows how SQLite runs the statements a request issues, to catch a
// statement that reads a whole table where an index should lead it to a
// few rows. Opens the store of a configuration file as the programs do
// (with the windows-1252 collation, which the sqlite3 shell lacks).
//
//   query_plan --config FILE < statements
//
// One statement a line; a leading "SQL| " (what bench/sql-trace.gdb
// prints) is dropped and other lines of such a trace are skipped, so a
// trace can be piped in as it is. Each distinct statement is shown with
// its plan; the statements that scan a table come last, in a summary.
// Exits with 1 when some statement scans Invoices or Transactions.

#include <cstdio>
#include <iostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "config/config.h"
#include "data/statement.h"
#include "data/store.h"

namespace portavel {
namespace {

constexpr const char* kHelp =
    "Usage: query_plan --config FILE < statements\n"
    "\n"
    "Prints SQLite's query plan of each statement read from standard input (one a\n"
    "line; lines of a bench/sql-trace.gdb trace are taken as they are) against the\n"
    "UserData database of the configuration file, then the statements that scan a\n"
    "whole table. Exits with 1 when one of them scans Invoices or Transactions.\n";

constexpr std::string_view kTracePrefix = "SQL| ";
constexpr std::string_view kTraceOther = "EXEC| ";
constexpr size_t kShownLength = 160;

std::string Shortened(const std::string& sql) {
  return sql.size() <= kShownLength ? sql : sql.substr(0, kShownLength) + "...";
}

// The table a plan line scans ("SCAN Invoices" or "SCAN Invoices USING
// ..."), or "" when the line looks rows up by key.
std::string ScannedTable(std::string_view detail) {
  if (!detail.starts_with("SCAN ")) return "";
  std::string_view rest = detail.substr(5);
  return std::string(rest.substr(0, rest.find(' ')));
}

int Run(const std::string& config_path) {
  Config config = ReadConfigFile(config_path);
  Store store(config.database);
  EngineConnection& db = store.Connection("UserData");

  std::set<std::string> seen;
  std::vector<std::string> scans;
  bool scans_big_table = false;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line.starts_with(kTraceOther)) continue;
    if (line.starts_with(kTracePrefix)) line.erase(0, kTracePrefix.size());
    // Pragmas and SQLite's own reading of the schema are no statements of the program.
    if (line.empty() || line.starts_with("PRAGMA") || line.find("sqlite_master") != line.npos ||
        !seen.insert(line).second) {
      continue;
    }
    // Only the statement's own plan: EXPLAIN QUERY PLAN runs nothing.
    Statement plan(db, "EXPLAIN QUERY PLAN " + line);
    // The data sets prepare "... WHERE 0" to check a table's fields; SQLite
    // tests the constant before the loop, so it reads no row.
    const bool reads_nothing = line.ends_with(" WHERE 0");
    std::printf("%s\n", Shortened(line).c_str());
    while (plan.Step()) {
      const std::string text = plan.ReadUntyped(3).AsString();
      std::printf("    %.*s%s\n", static_cast<int>(text.size()), text.data(),
                  reads_nothing ? " (reads no row: WHERE 0)" : "");
      std::string table = ScannedTable(text);
      if (table.empty() || reads_nothing) continue;
      scans.push_back(table + ": " + Shortened(line));
      if (table == "Invoices" || table == "Transactions") scans_big_table = true;
    }
  }
  std::printf("\n%zu distinct statements; %zu scan a table%s\n", seen.size(), scans.size(),
              scans.empty() ? "" : ":");
  for (const std::string& scan : scans) std::printf("  %s\n", scan.c_str());
  return scans_big_table ? 1 : 0;
}

}  // namespace
}  // namespace portavel

int main(int argc, char** argv) {
  std::string config_path;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(portavel::kHelp, stdout);
      return 0;
    }
    if (arg == "--config" && i + 1 < argc) {
      config_path = argv[++i];
    } else if (arg.starts_with("--config=")) {
      config_path = arg.substr(9);
    } else {
      std::fprintf(stderr, "query_plan: unknown argument '%s'\nTry 'query_plan --help'.\n",
                   argv[i]);
      return 2;
    }
  }
  if (config_path.empty()) {
    std::fprintf(stderr, "query_plan: --config FILE is required\nTry 'query_plan --help'.\n");
    return 2;
  }
  try {
    return portavel::Run(config_path);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "query_plan: %s\n", error.what());
    return 2;
  }
}
