#include "admin/admin_tool.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "admin/admin_error.h"
#include "admin/command_line.h"
#include "admin/demo_data.h"
#include "admin/demo_setup.h"
#include "admin/help_text.h"
#include "admin/journal_command.h"
#include "admin/session_secret.h"
#include "admin/smtp_command.h"
#include "admin/store_check.h"
#include "admin/store_copy.h"
#include "admin/store_setup.h"
#include "admin/table_dump.h"
#include "admin/table_loader.h"
#include "config/config.h"
#include "platform/platform.h"
#include "platform/version.h"

namespace portavel {
namespace {

void RequireArguments(const CommandLine& line, size_t count, const std::string& what) {
  if (line.arguments.size() < count) throw UsageError(line.command + " needs " + what);
  if (line.arguments.size() > count) {
    throw UsageError("unexpected argument " + line.arguments[count] + " for " + line.command);
  }
}

// Load and dump work on a store that init has set up; they never create a
// database file, so a wrong path is reported instead of giving an empty
// database. A PostgreSQL store has no files: a wrong database fails when
// the store connects.
std::unique_ptr<Store> OpenExistingStore(const StorePaths& paths) {
  if (paths.engine == StoreEngine::kPostgresql) return std::make_unique<Store>(paths);
  for (const auto& [alias, path] :
       {std::pair{"UserData", paths.userdata}, std::pair{"LocalData", paths.localdata}}) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
      throw UsageError(std::string("the ") + alias + " database " + path +
                       " does not exist; run portavel-db init first");
    }
  }
  return std::make_unique<Store>(paths);
}

std::string ReadInput(const std::string& name, std::istream& in) {
  if (name == "-") return std::string(std::istreambuf_iterator<char>(in), {});
  std::ifstream file(name, std::ios::binary);
  if (!file) throw UsageError("cannot read " + name + ": " + std::strerror(errno));
  return std::string(std::istreambuf_iterator<char>(file), {});
}

void PrintLoadCounts(const std::vector<TableLoadCount>& counts, std::ostream& out) {
  int total = 0;
  for (const TableLoadCount& count : counts) {
    out << count.table << ": " << count.rows << (count.rows == 1 ? " row" : " rows");
    if (count.replaced_keys > 0) {
      out << " (" << count.replaced_keys << " set the NextNumber of an existing sequence)";
    }
    out << "\n";
    total += count.rows;
  }
  out << "Loaded " << total << (total == 1 ? " row" : " rows") << " into " << counts.size()
      << (counts.size() == 1 ? " table" : " tables") << "\n";
}

void RunInit(const Config& config, std::ostream& out) {
  std::vector<std::string> created = SetUpStore(config.database);
  for (const std::string& line : created) out << line << "\n";
  if (created.empty()) out << "Nothing to create: every file, table and key row exists\n";
}

void RunLoad(const CommandLine& line, const Config& config, std::istream& in, std::ostream& out,
             std::ostream& err) {
  RequireArguments(line, 1, "a JSON file (or - for standard input)");
  std::string json = ReadInput(line.arguments[0], in);
  std::unique_ptr<Store> store = OpenExistingStore(config.database);
  PrintLoadCounts(LoadTables(*store, json, err), out);
}

void RunDump(const CommandLine& line, const Config& config, std::ostream& out) {
  RequireArguments(line, 1, "a table name");
  std::vector<FieldCondition> conditions;
  for (const std::string& text : line.conditions) {
    size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) {
      throw UsageError("--where needs FIELD=VALUE, not '" + text + "'");
    }
    conditions.push_back({text.substr(0, equals), text.substr(equals + 1)});
  }
  std::unique_ptr<Store> store = OpenExistingStore(config.database);
  DumpTable(*store, line.arguments[0], conditions, out);
}

// Exit 1 with the problems listed when either database fails the check.
void RunCheck(const Config& config, std::ostream& out) {
  std::unique_ptr<Store> store = OpenExistingStore(config.database);
  std::vector<StoreProblem> problems = CheckStoreIntegrity(*store);
  for (const StoreProblem& problem : problems) {
    out << problem.alias << ": " << problem.problem << "\n";
  }
  if (!problems.empty()) throw DataError("the store failed its integrity check");
  out << "UserData: ok\nLocalData: ok\n";
}

// The source is the configuration's store, found as every other command
// finds its store; the target is named by its own configuration file.
void RunCopy(const CommandLine& line, const Config& config, std::ostream& out, std::ostream& err) {
  RequireArguments(line, 1, "the configuration file of the target store");
  Config target = ReadConfigFile(line.arguments[0]);
  std::unique_ptr<Store> source = OpenExistingStore(config.database);
  std::vector<TableLoadCount> counts = CopyStore(*source, config.database, target.database, err);
  int total = 0;
  for (const TableLoadCount& count : counts) total += count.rows;
  out << "Copied " << total << (total == 1 ? " row" : " rows") << " of " << counts.size()
      << (counts.size() == 1 ? " table" : " tables") << " into the store of " << target.path
      << "\n";
}

void RunDemo(const Config& config, std::ostream& out, std::ostream& err, Platform& platform) {
  RunInit(config, out);
  Store store(config.database);
  PrintLoadCounts(LoadDemoData(store, platform, err), out);
  out << "Demo logins (account ID, password):\n";
  for (const DemoLogin& login : DemoLogins()) {
    out << "  " << login.account_id << "  " << login.password << "  (" << login.about << ")\n";
  }
}

int RunCommand(const CommandLine& line, std::istream& in, std::ostream& out, std::ostream& err,
               Platform& platform) {
  if (line.version) {
    out << kToolName << " " << TVersion().VersionText() << "\n";
    return kExitDone;
  }
  if (line.command.empty()) {
    if (line.help) {
      out << ToolHelp();
      return kExitDone;
    }
    throw UsageError("no command given; see portavel-db --help");
  }
  std::optional<std::string_view> help =
      CommandHelp(line.command, line.arguments.empty() ? "" : line.arguments[0]);
  if (!help) throw UsageError("unknown command " + line.command + "; see portavel-db --help");
  if (line.help) {
    out << *help;
    return kExitDone;
  }
  if (!line.conditions.empty() && line.command != "dump") {
    throw UsageError("--where is only for dump");
  }
  bool smtp_set = line.command == "smtp" && !line.arguments.empty() && line.arguments[0] == "set";
  if (!smtp_set && !line.smtp_options.empty()) {
    throw UsageError(line.smtp_options.begin()->first + " is only for smtp set");
  }
  if (!smtp_set && line.password_stdin) throw UsageError("--password-stdin is only for smtp set");
  if (line.command == "smtp") {
    RequireArguments(line, 1, "set or show");
    if (line.arguments[0] != "set" && line.arguments[0] != "show") {
      throw UsageError("unknown smtp action " + line.arguments[0] +
                       "; see portavel-db smtp --help");
    }
  } else if (line.command == "journal") {
    RequireArguments(line, 1, "list or replay");
    if (line.arguments[0] != "list" && line.arguments[0] != "replay") {
      throw UsageError("unknown journal action " + line.arguments[0] +
                       "; see portavel-db journal --help");
    }
  } else if (line.command != "load" && line.command != "dump" && line.command != "copy") {
    RequireArguments(line, 0, "");
  }

  // A secret is made before there is a configuration file to put it in.
  if (line.command == "new-secret") {
    out << NewSessionSecret() << "\n";
    return kExitDone;
  }
  Config config = LoadConfig(platform, line.config_path);
  if (line.command == "init") RunInit(config, out);
  if (line.command == "load") RunLoad(line, config, in, out, err);
  if (line.command == "dump") RunDump(line, config, out);
  if (line.command == "demo") RunDemo(config, out, err, platform);
  if (line.command == "check") RunCheck(config, out);
  if (line.command == "copy") RunCopy(line, config, out, err);
  if (line.command == "journal") RunJournalCommand(line.arguments[0], config, out, err);
  if (line.command == "smtp") {
    std::unique_ptr<Store> store = OpenExistingStore(config.database);
    RunSmtpCommand(line, *store, in, out, platform);
  }
  return kExitDone;
}

}  // namespace

int RunAdminTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                 std::ostream& err, Platform& platform) {
  auto fail = [&err](int status, std::string_view message) {
    err << kToolName << ": " << message << std::endl;
    return status;
  };
  try {
    return RunCommand(ParseCommandLine(args), in, out, err, platform);
  } catch (const UsageError& error) {
    return fail(kExitUsage, error.what());
  } catch (const ConfigError& error) {
    return fail(kExitUsage, error.what());
  } catch (const std::exception& error) {
    return fail(kExitBadData, error.what());
  }
}

}  // namespace portavel
