#include "support/helper_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

extern char** environ;

namespace portavel::testing {
namespace {

// Long enough for Python to start and make certificates on a busy machine;
// a helper that has not answered by then is not coming.
constexpr int kStartTimeoutMs = 20'000;

// The first line on `fd`, or "" when the writer ends or stays silent.
std::string ReadFirstLine(int fd) {
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
  while (line.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) return "";
    char buffer[256];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return "";
    line.append(buffer, static_cast<size_t>(n));
  }
  return line.substr(0, line.find('\n'));
}

}  // namespace

StartedProcess StartHelperProcess(const std::vector<std::string>& argv,
                                  const std::filesystem::path& error_file) {
  std::vector<std::string> words = argv;
  std::vector<char*> pointers;
  for (std::string& word : words) pointers.push_back(word.data());
  pointers.push_back(nullptr);

  int output[2];
  if (pipe2(output, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&files, output[1], 1);
  posix_spawn_file_actions_addopen(&files, 2, error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  StartedProcess started;
  int spawned = posix_spawn(&started.pid, pointers[0], &files, nullptr, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  close(output[1]);
  if (spawned != 0) {
    close(output[0]);
    started.pid = 0;
    return started;
  }
  started.first_line = ReadFirstLine(output[0]);
  close(output[0]);
  return started;
}

void StopHelperProcess(pid_t pid) {
  if (pid == 0) return;
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
}

}  // namespace portavel::testing
