#include "platform/version.h"

#include "platform/build_version.h"

namespace portavel {

// The version is stamped in by the build (the project version in
// CMakeLists.txt) rather than read from resources in the program file.
static_assert(build::kVersionMajor <= 0xFFFF && build::kVersionMinor <= 0xFFFF &&
                  build::kVersionRelease <= 0xFFFF && build::kVersionBuild <= 0xFFFF,
              "each part of the version must fit in 16 bits");

void TVersion::ReadVersion() {
  major_ = static_cast<uint16_t>(build::kVersionMajor);
  minor_ = static_cast<uint16_t>(build::kVersionMinor);
  release_ = static_cast<uint16_t>(build::kVersionRelease);
  build_ = static_cast<uint16_t>(build::kVersionBuild);
}

std::string TVersion::VersionText() const {
  return "Version " + std::to_string(major_) + "." + std::to_string(minor_) + "." +
         std::to_string(release_) + "." + std::to_string(build_);
}

}  // namespace portavel
