#include "support/postgres_cluster.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace portavel::testing {
namespace {

namespace fs = std::filesystem;

bool EnvIs(const char* name, const char* expected) {
  const char* value = getenv(name);
  return value != nullptr && std::string(value) == expected;
}

std::string ShellQuoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string PgClusterCommand(const char* action, const fs::path& folder) {
  return ShellQuoted(PORTAVEL_SOURCE_DIR "/scripts/pg-cluster") + " " + action + " " +
         ShellQuoted(folder.string());
}

// A cluster of this test program's own, started on first use. It is
// stopped when the program exits, whether its tests passed or not; only a
// program killed outright leaves it running (in a folder under the
// temporary directory).
class OwnCluster {
 public:
  OwnCluster() {
    std::string pattern = (fs::temp_directory_path() / "portavel-pg-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      failure_ = "cannot make a temporary folder for the PostgreSQL cluster";
      return;
    }
    folder_ = pattern;
    started_by_ = getpid();
    // The script's progress and errors come along so that a failure can
    // say what went wrong; the connection string is its last line.
    std::string output;
    FILE* pipe = popen((PgClusterCommand("start", folder_) + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
      failure_ = "cannot run scripts/pg-cluster";
      return;
    }
    char buffer[4096];
    size_t read = 0;
    while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, read);
    const int status = pclose(pipe);
    while (!output.empty() && output.back() == '\n') output.pop_back();
    const size_t line_start = output.rfind('\n');
    std::string last_line = output.substr(line_start == std::string::npos ? 0 : line_start + 1);
    if (status != 0 || last_line.rfind("host=", 0) != 0) {
      failure_ = "scripts/pg-cluster start " + folder_.string() + " failed:\n" + output;
      return;
    }
    connection_string_ = last_line;
  }

  ~OwnCluster() {
    // A process forked by a test runs this too when it exits; the cluster
    // belongs to the process that started it.
    if (folder_.empty() || getpid() != started_by_) return;
    // Also after a failed start, which may have got as far as the server.
    const std::string stop = PgClusterCommand("stop", folder_) + " >/dev/null 2>&1";
    if (system(stop.c_str()) != 0) {
      fprintf(stderr, "postgres_cluster: stopping the cluster in %s failed\n", folder_.c_str());
      return;  // the folder stays, for its server.log
    }
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  OwnCluster(const OwnCluster&) = delete;
  OwnCluster& operator=(const OwnCluster&) = delete;

  const std::optional<std::string>& connection_string() const { return connection_string_; }
  const std::string& failure() const { return failure_; }

 private:
  fs::path folder_;
  pid_t started_by_ = 0;
  std::optional<std::string> connection_string_;
  std::string failure_;
};

}  // namespace

std::optional<std::string> TestPostgresConnectionString(std::string* why_not) {
  if (const char* given = getenv("PORTAVEL_TEST_POSTGRES"); given != nullptr && *given != '\0') {
    return std::string(given);
  }
  if (EnvIs("PORTAVEL_SKIP_POSTGRES", "1")) {
    if (why_not != nullptr) *why_not = "PORTAVEL_SKIP_POSTGRES=1";
    return std::nullopt;
  }
  static OwnCluster cluster;
  if (!cluster.connection_string() && why_not != nullptr) *why_not = cluster.failure();
  return cluster.connection_string();
}

void PostgresTest::SetUp() {
  std::string why_not;
  std::optional<std::string> found = TestPostgresConnectionString(&why_not);
  if (found) {
    connection_string_ = *found;
  } else if (EnvIs("PORTAVEL_SKIP_POSTGRES", "1")) {
    GTEST_SKIP() << "no PostgreSQL: PORTAVEL_SKIP_POSTGRES=1";
  } else {
    FAIL() << "This test needs PostgreSQL. PORTAVEL_TEST_POSTGRES is not set and no cluster "
              "could be started: "
           << why_not
           << "\nInstall the server (scripts/install-deps), set PORTAVEL_TEST_POSTGRES to a "
              "connection string, or set PORTAVEL_SKIP_POSTGRES=1 to skip these tests.";
  }
}

}  // namespace portavel::testing
