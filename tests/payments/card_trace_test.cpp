#include "payments/card_trace.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "support/fake_platform.h"

namespace portavel {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

TEST(CardTraceTest, AppendsCountedOrPlainDatedLines) {
  FakePlatform platform;  // 2024-03-15 10:00:00
  std::string path = platform.TempDirectory() + "debug2.txt";
  std::ofstream(path) << "earlier\r\n";
  {
    CardTrace counted;
    counted.Open(path);
    counted.Write(platform, "first");
    platform.Advance(1000);
    counted.Write(platform, "second");
  }
  {
    CardTrace plain(CardTrace::Numbering::kNone);
    plain.Open(path);
    plain.Write(platform, "third");
  }
  EXPECT_EQ(ReadAll(path),
            "earlier\r\n"
            "0 3/15/2024 10:00:00 AM - first\r\n"
            "1 3/15/2024 10:00:01 AM - second\r\n"
            "3/15/2024 10:00:01 AM - third\r\n");
}

TEST(CardTraceTest, AMissingFileIsNotCreated) {
  FakePlatform platform;
  std::string path = platform.TempDirectory() + "debug3.txt";
  CardTrace trace;
  trace.Open(path);
  trace.Write(platform, "lost");
  EXPECT_FALSE(trace.is_open());
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace portavel
