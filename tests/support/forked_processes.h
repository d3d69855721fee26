// Runs a piece of work in several processes at the same moment, as the web
// server runs requests, and tells which of them failed.
#pragma once

#include <atomic>
#include <functional>
#include <vector>

namespace portavel::testing {

// Forks `count` processes, each running work(i), and waits for all. A
// process fails when its work throws (it prints why) or returns false.
// Returns the indexes of the processes that failed.
std::vector<int> RunInForkedProcesses(int count, const std::function<bool(int)>& work);

// Made before the fork: each forked process waits at Wait() until all
// `count` have arrived, so that their next steps overlap as closely as the
// machine allows instead of following process start-up.
class StartingLine {
 public:
  explicit StartingLine(int count);
  ~StartingLine();
  StartingLine(const StartingLine&) = delete;
  StartingLine& operator=(const StartingLine&) = delete;
  void Wait();

 private:
  std::atomic<int>* arrived_;  // in memory shared with the forked processes
  int count_;
};

}  // namespace portavel::testing
