// The platform the demo's history is posted under: the caller's platform
// in everything but the clock, which stands at the moment each posting
// happened, so that the posting code dates its batches, lines and keys as
// it would have on that day.
#pragma once

#include "platform/platform.h"

namespace portavel {

class DemoClock : public Platform {
 public:
  explicit DemoClock(Platform& platform) : platform_(platform), now_(platform.Now()) {}

  void Set(DateTime now) { now_ = now; }

  DateTime Now() override { return now_; }
  std::optional<Guid> NewGuid() override { return platform_.NewGuid(); }
  int ProcessId() override { return platform_.ProcessId(); }
  uint32_t TickCount() override { return platform_.TickCount(); }
  std::optional<std::string> UserName() override { return platform_.UserName(); }
  std::string TempDirectory() override { return platform_.TempDirectory(); }
  bool DirectoryExists(const std::string& path) override { return platform_.DirectoryExists(path); }
  bool CreateDirectory(const std::string& path) override { return platform_.CreateDirectory(path); }
  bool RemoveDirectory(const std::string& path) override { return platform_.RemoveDirectory(path); }
  void SleepMilliseconds(int ms) override { platform_.SleepMilliseconds(ms); }
  void OperatorMessage(std::string_view text) override { platform_.OperatorMessage(text); }
  bool DebuggerAttached() override { return platform_.DebuggerAttached(); }
  std::string ExecutablePath() override { return platform_.ExecutablePath(); }

 private:
  Platform& platform_;
  DateTime now_;
};

}  // namespace portavel
