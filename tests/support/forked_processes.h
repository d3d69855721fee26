// Runs a piece of work in several processes at the same moment, as the web
// server runs requests, and tells which of them failed.
#pragma once

#include <functional>
#include <vector>

namespace portavel::testing {

// Forks `count` processes, each running work(i), and waits for all. A
// process fails when its work throws (it prints why) or returns false.
// Returns the indexes of the processes that failed.
std::vector<int> RunInForkedProcesses(int count, const std::function<bool(int)>& work);

}  // namespace portavel::testing
