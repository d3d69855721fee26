#include "support/forked_processes.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <stdexcept>

namespace portavel::testing {

std::vector<int> RunInForkedProcesses(int count, const std::function<bool(int)>& work) {
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    std::fflush(nullptr);  // nothing buffered is written twice
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
      int status = 1;
      try {
        status = work(i) ? 0 : 1;
      } catch (const std::exception& error) {
        std::fprintf(stderr, "process %d: %s\n", i, error.what());
      }
      _exit(status);
    }
    children.push_back(pid);
  }
  std::vector<int> failed;
  for (int i = 0; i < count; ++i) {
    int status = 0;
    if (waitpid(children[i], &status, 0) != children[i] || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
      failed.push_back(i);
    }
  }
  return failed;
}

}  // namespace portavel::testing
