#include "support/admin_tool_runner.h"
#include "support/file_bytes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace portavel::testing {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary);
  file << content;
}

}  // namespace

AdminToolRunner::AdminToolRunner() {
  std::string pattern = (fs::temp_directory_path() / "portavel-admin-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
  config_path_ = (folder_ / "portavel.toml").string();
  WriteFile(config_path_,
            "[database]\n"
            "userdata = \"UserData.sqlite\"\n"
            "localdata = \"LocalData.sqlite\"\n");
}

AdminToolRunner::~AdminToolRunner() {
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

ToolRun AdminToolRunner::Run(const std::vector<std::string>& args, const std::string& input) {
  std::vector<std::string> with_config = {"--config", config_path_};
  with_config.insert(with_config.end(), args.begin(), args.end());
  return RunBare(with_config, input);
}

ToolRun AdminToolRunner::RunBare(const std::vector<std::string>& args, const std::string& input) {
  const fs::path in = folder_ / "stdin.txt";
  const fs::path out = folder_ / "stdout.txt";
  const fs::path err = folder_ / "stderr.txt";
  WriteFile(in, input);

  std::string program = PORTAVEL_BIN_DIR "/portavel-db";
  std::vector<char*> argv = {program.data()};
  std::vector<std::string> words = args;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, program.c_str(), &files, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  if (spawned != 0) throw std::runtime_error("cannot start " + program);
  int status = 0;
  waitpid(pid, &status, 0);

  ToolRun run;
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadFileBytes(out);
  run.err = ReadFileBytes(err);
  return run;
}

nlohmann::ordered_json AdminToolRunner::Dump(const std::string& table,
                                             const std::vector<std::string>& conditions) {
  std::vector<std::string> args = {"dump", table};
  for (const std::string& condition : conditions) {
    args.push_back("--where");
    args.push_back(condition);
  }
  ToolRun run = Run(args);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  return run.exit_code == 0 ? nlohmann::ordered_json::parse(run.out) : nlohmann::ordered_json();
}

}  // namespace portavel::testing
