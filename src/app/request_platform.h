// The platform as one request sees it: everything passes through to the
// process's platform, and each operator message gets the time it was made
// and the request it belongs to, so that a line in the log says when and
// for what as well as what happened.
#pragma once

#include <string>

#include "platform/platform.h"

namespace portavel {

class RequestPlatform : public Platform {
 public:
  // `method` and `path` as the web server passed them; empty ones show
  // as "-".
  RequestPlatform(Platform& process, std::string method, std::string path);

  DateTime Now() override { return process_.Now(); }
  std::optional<Guid> NewGuid() override { return process_.NewGuid(); }
  int ProcessId() override { return process_.ProcessId(); }
  uint32_t TickCount() override { return process_.TickCount(); }
  std::optional<std::string> UserName() override { return process_.UserName(); }
  std::string TempDirectory() override { return process_.TempDirectory(); }
  bool DirectoryExists(const std::string& path) override { return process_.DirectoryExists(path); }
  bool CreateDirectory(const std::string& path) override { return process_.CreateDirectory(path); }
  bool RemoveDirectory(const std::string& path) override { return process_.RemoveDirectory(path); }
  void SleepMilliseconds(int ms) override { process_.SleepMilliseconds(ms); }
  // "yyyy-mm-dd hh:nn:ss METHOD /path: text".
  void OperatorMessage(std::string_view text) override;
  bool DebuggerAttached() override { return process_.DebuggerAttached(); }
  std::string ExecutablePath() override { return process_.ExecutablePath(); }

 private:
  Platform& process_;
  std::string request_line_;
};

}  // namespace portavel
