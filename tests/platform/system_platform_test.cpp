#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/fake_platform.h"
#include "support/scoped_env.h"

namespace portavel {
namespace {

namespace fs = std::filesystem;

TEST(SystemPlatformTest, ProcessFacts) {
  Platform& platform = SystemPlatform();
  EXPECT_EQ(platform.ProcessId(), getpid());
  if (const passwd* entry = getpwuid(geteuid())) {
    EXPECT_EQ(platform.UserName(), std::string(entry->pw_name));
  }
  std::string executable = platform.ExecutablePath();
  ASSERT_FALSE(executable.empty());
  EXPECT_TRUE(fs::is_regular_file(executable)) << executable;
}

TEST(SystemPlatformTest, GuidsAreVersion4InBinaryLayoutAndDistinct) {
  std::set<Guid::Bytes> seen;
  for (int i = 0; i < 50; ++i) {
    std::optional<Guid> guid = SystemPlatform().NewGuid();
    ASSERT_TRUE(guid.has_value());
    // The version is the first digit of the third group in the text form
    // and the high nibble of byte 7 in the little-endian binary layout.
    EXPECT_EQ(guid->bytes()[7] >> 4, 4);
    EXPECT_EQ(guid->bytes()[8] >> 6, 2);
    std::string text = guid->ToString();
    EXPECT_EQ(text[15], '4') << text;
    EXPECT_NE(std::string("89AB").find(text[20]), std::string::npos) << text;
    seen.insert(guid->bytes());
  }
  EXPECT_EQ(seen.size(), 50u);
}

TEST(SystemPlatformTest, TempDirectoryFollowsTmpdirAndEndsInSlash) {
  Platform& platform = SystemPlatform();
  {
    ScopedEnv tmpdir("TMPDIR", "/var/tmp/portavel");
    EXPECT_EQ(platform.TempDirectory(), "/var/tmp/portavel/");
  }
  {
    ScopedEnv tmpdir("TMPDIR", nullptr);
    EXPECT_EQ(platform.TempDirectory(), "/tmp/");
  }
}

TEST(SystemPlatformTest, CreatesAndRemovesDirectoryTrees) {
  FakePlatform scratch;  // only for its scratch directory
  Platform& platform = SystemPlatform();
  std::string top = scratch.TempDirectory() + "PRTVPVT0000ABCD";
  std::string nested = top + "/inner/deeper";

  EXPECT_FALSE(platform.DirectoryExists(top));
  EXPECT_TRUE(platform.CreateDirectory(nested));
  EXPECT_TRUE(platform.DirectoryExists(nested));
  EXPECT_TRUE(platform.CreateDirectory(nested)) << "an existing directory is fine";
  std::ofstream(top + "/inner/file.tmp") << "x";

  EXPECT_TRUE(platform.RemoveDirectory(top));
  EXPECT_FALSE(platform.DirectoryExists(top));
  EXPECT_FALSE(platform.RemoveDirectory(top));

  // A file in the way is not a directory.
  std::string file = scratch.TempDirectory() + "plain";
  std::ofstream(file) << "x";
  EXPECT_FALSE(platform.DirectoryExists(file));
  EXPECT_FALSE(platform.CreateDirectory(file + "/below"));
  EXPECT_FALSE(platform.RemoveDirectory(file));
  EXPECT_TRUE(fs::exists(file));
}

TEST(SystemPlatformTest, OperatorMessagesAppendOneLineEachToTheLog) {
  FakePlatform scratch;
  std::string log = scratch.TempDirectory() + "operator.log";
  ScopedEnv log_env("PORTAVEL_OPERATOR_LOG", log.c_str());

  SystemPlatform().OperatorMessage("Charge is less than the minimum.");
  SystemPlatform().OperatorMessage("Error: 550 mailbox\r\nunavailable");

  std::ifstream in(log, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  EXPECT_EQ(content.str(),
            "Portavel: Charge is less than the minimum.\n"
            "Portavel: Error: 550 mailbox  unavailable\n");
}

}  // namespace
}  // namespace portavel
