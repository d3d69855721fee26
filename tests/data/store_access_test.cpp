// A store the process may read but not write (made by root, served by the
// web server's user) is refused when it is opened, with a message that
// names the file and the user, instead of a bare "attempt to write a
// readonly database" on every request.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "data/store.h"
#include "data/value.h"

namespace portavel::testing {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

// What opening UserData says, as a user that is not the files' owner:
// "" when it opens. Root may write anything, so the store is opened by a
// child process that has become nobody and tells through a pipe.
std::string OpenAsNobody(const StorePaths& paths) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return "(no pipe)";
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    std::string message = "(the child could not change user)";
    if (setgid(kNobody) == 0 && setuid(kNobody) == 0) {
      try {
        Store store(paths);
        store.SetProcessUser("nobody");
        store.Connection("UserData");
        message = "";
      } catch (const StoreError& error) {
        message = error.what();
      }
    }
    const ssize_t written = write(pipe_ends[1], message.data(), message.size());
    _exit(written == static_cast<ssize_t>(message.size()) ? 0 : 1);
  }
  close(pipe_ends[1]);
  std::string message;
  char buffer[512];
  for (ssize_t got; (got = read(pipe_ends[0], buffer, sizeof buffer)) > 0;) {
    message.append(buffer, static_cast<size_t>(got));
  }
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return message;
}

class StoreAccessTest : public ::testing::Test {
 protected:
  StoreAccessTest() {
    char pattern[] = "/tmp/portavel-access-XXXXXX";
    folder_ = mkdtemp(pattern);
    fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
    paths_.userdata = (folder_ / "store" / "UserData.sqlite").string();
    paths_.localdata = (folder_ / "store" / "LocalData.sqlite").string();
    fs::create_directory(folder_ / "store");
    Store owner(paths_, true);
    owner.Execute("UserData", "CREATE TABLE t (x)");
  }
  ~StoreAccessTest() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // Only the owner may write; everybody may read.
  static void ReadableByAll(const fs::path& path) {
    fs::permissions(
        path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read |
                  (fs::is_directory(path)
                       ? fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec
                       : fs::perms::none));
  }

  fs::path folder_;
  StorePaths paths_;
};

TEST_F(StoreAccessTest, AFileOrFolderThisUserCannotWriteIsNamedWithTheUser) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make files of another owner";
  const fs::path store = folder_ / "store";
  ReadableByAll(store);
  ReadableByAll(paths_.userdata);
  EXPECT_EQ(OpenAsNobody(paths_),
            "The UserData database " + paths_.userdata +
                " cannot be written: the file is not writable for user nobody. Give that user "
                "the file and its folder.");

  // The file is the user's, but the log and its index could not be made
  // beside it.
  chown(paths_.userdata.c_str(), kNobody, kNobody);
  fs::remove(paths_.userdata + "-wal");
  fs::remove(paths_.userdata + "-shm");
  EXPECT_EQ(OpenAsNobody(paths_),
            "The UserData database " + paths_.userdata + " cannot be written: its folder " +
                store.string() +
                " (where the write-ahead log and its index are made) is not writable for user "
                "nobody. Give that user the file and its folder.");

  // Both the user's: it opens.
  chown(store.c_str(), kNobody, kNobody);
  EXPECT_EQ(OpenAsNobody(paths_), "");
}

}  // namespace
}  // namespace portavel::testing
