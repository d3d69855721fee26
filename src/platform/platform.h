// Everything the program asks of the operating system, behind one
// interface so that tests can fix the clock, the GUIDs and the rest.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dates/date_time.h"
#include "platform/guid.h"

namespace portavel {

class Platform {
 public:
  virtual ~Platform() = default;

  virtual DateTime Now() = 0;
  // nullopt when the system cannot make one.
  virtual std::optional<Guid> NewGuid() = 0;
  virtual int ProcessId() = 0;
  // Milliseconds since an arbitrary start; wraps around.
  virtual uint32_t TickCount() = 0;
  // The name of the user the process runs as; nullopt when unknown.
  virtual std::optional<std::string> UserName() = 0;

  // Ends with '/', so a name can be appended directly.
  virtual std::string TempDirectory() = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  virtual bool CreateDirectory(const std::string& path) = 0;
  // Removes the directory and everything in it.
  virtual bool RemoveDirectory(const std::string& path) = 0;

  virtual void SleepMilliseconds(int ms) = 0;
  // A message for the operator. Reported without waiting for anybody:
  // standard error, or a log file when one is set.
  virtual void OperatorMessage(std::string_view text) = 0;
  virtual bool DebuggerAttached() = 0;
  // Full path of the running executable; empty when unknown.
  virtual std::string ExecutablePath() = 0;
};

// The real operating system. Lives for the whole process.
Platform& SystemPlatform();

}  // namespace portavel
