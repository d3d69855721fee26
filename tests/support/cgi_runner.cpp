#include "support/cgi_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "support/fastcgi_runner.h"

namespace portavel::testing {
namespace {

// Writes "<prefix><pid>" into `out` without allocating.
void PathOf(const char* prefix, pid_t pid, char* out) {
  char digits[16];
  int n = 0;
  for (long v = pid; v > 0 && n < 15; v /= 10) digits[n++] = static_cast<char>('0' + v % 10);
  while (*prefix) *out++ = *prefix++;
  while (n > 0) *out++ = digits[--n];
  *out = '\0';
}

}  // namespace

void RemoveStaleClockSegments(int pid) {
  char path[64];
  PathOf("/dev/shm/faketime_shm_", pid, path);
  unlink(path);
  PathOf("/dev/shm/sem.faketime_sem_", pid, path);
  unlink(path);
}

bool FastCgiMode() {
  const char* mode = std::getenv("PORTAVEL_E2E_MODE");
  return mode != nullptr && std::string(mode) == "fastcgi";
}

std::vector<std::string> ProgramEnvironment(const std::map<std::string, std::string>& environment) {
  std::vector<std::string> entries;
  for (const auto& [name, value] : environment) entries.push_back(name + "=" + value);
  // A sanitizer build of the program needs its options, and tolerates a
  // preloaded clock library only when told to.
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
    const char* value = std::getenv(name);
    if (environment.count(name)) continue;
    std::string options = value ? value : "";
    if (std::string(name) == "ASAN_OPTIONS" && environment.count("LD_PRELOAD")) {
      options += std::string(options.empty() ? "" : ":") + "verify_asan_link_order=0";
    }
    if (!options.empty()) entries.push_back(std::string(name) + "=" + options);
  }
  return entries;
}

CgiResult RunCgi(const std::map<std::string, std::string>& environment, const std::string& body,
                 const std::string& working_directory) {
  if (FastCgiMode()) return RunFastCgiRequest(environment, body, working_directory);
  return RunProgram(std::string(PORTAVEL_BIN_DIR) + "/Portavel", {},
                    ProgramEnvironment(environment), body, working_directory);
}

CgiResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment_entries, const std::string& body,
                     const std::string& working_directory) {
  int in_pipe[2];
  int out_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0 || pipe2(out_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  std::vector<std::string> entries = environment_entries;
  std::vector<char*> envp;
  for (std::string& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> argument_texts = {program};
  argument_texts.insert(argument_texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argument_texts) argv.push_back(argument.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    // The preloaded clock library makes a shared-memory segment named after
    // the process id and refuses to start when one is left over from an
    // earlier process of the same id that was killed. Being that id now,
    // this process may remove it. Only async-signal-safe calls here.
    RemoveStaleClockSegments(getpid());
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    if (!working_directory.empty() && chdir(working_directory.c_str()) != 0) _exit(126);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  signal(SIGPIPE, SIG_IGN);
  // Write the body and read the answer together, so neither side can block the other.
  size_t written = 0;
  bool input_open = true;
  if (body.empty()) {
    close(in_pipe[1]);
    input_open = false;
  }
  CgiResult result;
  char buffer[65536];
  for (;;) {
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {input_open ? in_pipe[1] : -1, POLLOUT, 0}};
    if (poll(fds, 2, -1) < 0) break;
    if (input_open && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t n = write(in_pipe[1], body.data() + written, body.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (n < 0 || written == body.size()) {
        close(in_pipe[1]);
        input_open = false;
      }
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      ssize_t n = read(out_pipe[0], buffer, sizeof buffer);
      if (n <= 0) break;
      result.output.append(buffer, static_cast<size_t>(n));
    }
  }
  if (input_open) close(in_pipe[1]);
  close(out_pipe[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace portavel::testing
