#include "support/forked_processes.h"

#include <sched.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>

#include "support/fastcgi_runner.h"

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
      // The FastCGI processes this copy started end with it.
      if (!StopFastCgiProcesses()) status = 1;
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

StartingLine::StartingLine(int count) : count_(count) {
  void* shared = mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) throw std::runtime_error("mmap failed");
  arrived_ = new (shared) std::atomic<int>(0);
}

StartingLine::~StartingLine() {
  munmap(arrived_, sizeof(std::atomic<int>));
}

void StartingLine::Wait() {
  arrived_->fetch_add(1);
  while (arrived_->load() < count_) sched_yield();
}

}  // namespace portavel::testing
