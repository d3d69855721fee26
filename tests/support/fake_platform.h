// A platform for tests: a clock that moves only when told, GUIDs and
// process facts chosen by the test, operator messages kept for checking,
// and a real scratch directory that disappears with the fake.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace portavel {

class FakePlatform : public Platform {
 public:
  // The clock starts at 2024-03-15 10:00:00.000.
  FakePlatform();
  ~FakePlatform() override;
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  void SetNow(DateTime now) { now_ = now; }
  // Moves the clock by `ms` (negative goes back), across midnight as needed.
  void Advance(int64_t ms);

  // NewGuid hands these out first, in order; nullopt simulates a failure.
  // After them it counts: {00000000-0000-4000-8000-000000000001}, ...2, ...
  void QueueGuid(std::optional<Guid> guid) { queued_guids_.push_back(guid); }

  void SetProcessId(int pid) { pid_ = pid; }
  void SetTickCount(uint32_t ticks) { ticks_ = ticks; }
  void SetUserName(std::optional<std::string> name) { user_name_ = std::move(name); }
  void SetDebuggerAttached(bool attached) { debugger_attached_ = attached; }
  void SetExecutablePath(std::string path) { executable_path_ = std::move(path); }
  // Makes CreateDirectory fail without touching the file system.
  void SetDirectoryCreationFails(bool fails) { directory_creation_fails_ = fails; }

  // Sum of all SleepMilliseconds calls.
  int64_t total_slept_ms() const { return total_slept_ms_; }
  const std::vector<std::string>& operator_messages() const { return operator_messages_; }

  DateTime Now() override { return now_; }
  std::optional<Guid> NewGuid() override;
  int ProcessId() override { return pid_; }
  uint32_t TickCount() override { return ticks_; }
  std::optional<std::string> UserName() override { return user_name_; }

  // A fresh directory of this fake, ending in '/'.
  std::string TempDirectory() override { return temp_directory_; }
  // Directory operations act on the real file system.
  bool DirectoryExists(const std::string& path) override;
  bool CreateDirectory(const std::string& path) override;
  bool RemoveDirectory(const std::string& path) override;

  // Advances the clock instead of waiting.
  void SleepMilliseconds(int ms) override;
  void OperatorMessage(std::string_view text) override { operator_messages_.emplace_back(text); }
  bool DebuggerAttached() override { return debugger_attached_; }
  std::string ExecutablePath() override { return executable_path_; }

 private:
  DateTime now_;
  std::deque<std::optional<Guid>> queued_guids_;
  uint32_t guid_counter_ = 0;
  int pid_ = 4242;
  uint32_t ticks_ = 123'456;
  std::optional<std::string> user_name_ = "portavel";
  bool debugger_attached_ = false;
  std::string executable_path_;
  bool directory_creation_fails_ = false;
  int64_t total_slept_ms_ = 0;
  std::vector<std::string> operator_messages_;
  std::string temp_directory_;
};

}  // namespace portavel
