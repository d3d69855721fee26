// A platform that passes everything on to another one, for a platform
// that differs from it in one or two answers (a request's operator
// messages, a clock held at another day): it overrides only those.
#pragma once

#include "platform/platform.h"

namespace portavel {

class ForwardingPlatform : public Platform {
 public:
  explicit ForwardingPlatform(Platform& target) : target_(target) {}

  DateTime Now() override { return target_.Now(); }
  std::optional<Guid> NewGuid() override { return target_.NewGuid(); }
  int ProcessId() override { return target_.ProcessId(); }
  uint32_t TickCount() override { return target_.TickCount(); }
  std::optional<std::string> UserName() override { return target_.UserName(); }
  std::string TempDirectory() override { return target_.TempDirectory(); }
  bool DirectoryExists(const std::string& path) override { return target_.DirectoryExists(path); }
  bool CreateDirectory(const std::string& path) override { return target_.CreateDirectory(path); }
  bool RemoveDirectory(const std::string& path) override { return target_.RemoveDirectory(path); }
  void SleepMilliseconds(int ms) override { target_.SleepMilliseconds(ms); }
  void OperatorMessage(std::string_view text) override { target_.OperatorMessage(text); }
  bool DebuggerAttached() override { return target_.DebuggerAttached(); }
  std::string ExecutablePath() override { return target_.ExecutablePath(); }

 protected:
  Platform& target() { return target_; }

 private:
  Platform& target_;
};

}  // namespace portavel
