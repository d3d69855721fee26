#include "platform/version.h"

#include <gtest/gtest.h>

#include "platform/build_version.h"

namespace portavel {
namespace {

TEST(VersionTest, ShowsTheBuildVersion) {
  TVersion version;
  EXPECT_EQ(version.major(), build::kVersionMajor);
  EXPECT_EQ(version.minor(), build::kVersionMinor);
  EXPECT_EQ(version.release(), build::kVersionRelease);
  EXPECT_EQ(version.build(), build::kVersionBuild);
  EXPECT_EQ(version.VersionText(), "Version " + std::to_string(build::kVersionMajor) + "." +
                                       std::to_string(build::kVersionMinor) + "." +
                                       std::to_string(build::kVersionRelease) + "." +
                                       std::to_string(build::kVersionBuild));
}

}  // namespace
}  // namespace portavel
