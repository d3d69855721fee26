// The program's own version number.
#pragma once

#include <cstdint>
#include <string>

namespace portavel {

class TVersion {
 public:
  // All four numbers start at 0; then the version is read.
  TVersion() { ReadVersion(); }

  // Takes the version built into this program.
  void ReadVersion();
  // "Version " + major.minor.release.build, each in decimal.
  std::string VersionText() const;

  uint16_t major() const { return major_; }
  uint16_t minor() const { return minor_; }
  uint16_t release() const { return release_; }
  uint16_t build() const { return build_; }

 private:
  uint16_t major_ = 0;
  uint16_t minor_ = 0;
  uint16_t release_ = 0;
  uint16_t build_ = 0;
};

}  // namespace portavel
