// Runs the built portavel-db as a separate process against a store of its
// own, in a temporary folder with its own configuration file.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace portavel::testing {

struct ToolRun {
  int exit_code = -1;
  std::string out;
  std::string err;
};

class AdminToolRunner {
 public:
  AdminToolRunner();
  ~AdminToolRunner();
  AdminToolRunner(const AdminToolRunner&) = delete;
  AdminToolRunner& operator=(const AdminToolRunner&) = delete;

  // The tool with `args`, "--config" and the folder's configuration file
  // first, `input` on standard input.
  ToolRun Run(const std::vector<std::string>& args, const std::string& input = "");
  // The same without the --config option.
  ToolRun RunBare(const std::vector<std::string>& args, const std::string& input = "");

  // `load -` of the JSON text.
  ToolRun Load(const std::string& json) { return Run({"load", "-"}, json); }
  // `dump` parsed, keeping the field order; fails the test when the dump
  // does not succeed.
  nlohmann::ordered_json Dump(const std::string& table,
                              const std::vector<std::string>& conditions = {});

  const std::filesystem::path& folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
  std::string config_path_;
};

}  // namespace portavel::testing
