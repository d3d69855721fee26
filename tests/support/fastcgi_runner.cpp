#include "support/fastcgi_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace portavel::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCgiFcgi = "/usr/bin/cgi-fcgi";

struct FastCgiProcess {
  pid_t owner = 0;  // the test process that started it
  pid_t pid = 0;
  int listener = -1;
  std::string folder;  // socket, clock file and standard error
  std::string working_directory;
};

std::mutex mutex;
// Never destroyed: the exit handler still needs it.
std::map<std::string, FastCgiProcess>& Processes() {
  static auto* processes = new std::map<std::string, FastCgiProcess>;
  return *processes;
}
bool exit_handler_registered = false;

bool IsRequestVariable(const std::string& name) {
  static const std::set<std::string> kNames = {
      "REQUEST_METHOD", "PATH_INFO",       "SCRIPT_NAME",    "QUERY_STRING",      "CONTENT_LENGTH",
      "CONTENT_TYPE",   "REMOTE_ADDR",     "REMOTE_HOST",    "REMOTE_PORT",       "REMOTE_USER",
      "AUTH_TYPE",      "SERVER_NAME",     "SERVER_PORT",    "SERVER_PROTOCOL",   "SERVER_SOFTWARE",
      "SERVER_ADDR",    "REQUEST_URI",     "DOCUMENT_ROOT",  "GATEWAY_INTERFACE", "HTTPS",
      "REQUEST_SCHEME", "PATH_TRANSLATED", "SCRIPT_FILENAME"};
  return name.rfind("HTTP_", 0) == 0 || kNames.count(name) > 0;
}

std::string SocketPath(const FastCgiProcess& process) {
  return process.folder + "/portavel.sock";
}
std::string ClockPath(const FastCgiProcess& process) {
  return process.folder + "/clock";
}
std::string ErrorPath(const FastCgiProcess& process) {
  return process.folder + "/stderr";
}

// Ends the process and tells whether it ended cleanly (exit code 0, or the
// code it was expected to end with).
bool Stop(FastCgiProcess& process, int expected_exit_code = 0) {
  // A listening socket that is shut down fails the process's accept: its
  // serving loop ends and it exits as it would at a web server's stop.
  shutdown(process.listener, SHUT_RDWR);
  close(process.listener);
  int status = 0;
  bool ended = false;
  for (int i = 0; i < 1000 && !ended; ++i) {
    ended = waitpid(process.pid, &status, WNOHANG) == process.pid;
    if (!ended) usleep(10'000);
  }
  if (!ended) {
    kill(process.pid, SIGKILL);
    waitpid(process.pid, &status, 0);
  }
  RemoveStaleClockSegments(process.pid);
  const bool clean = ended && WIFEXITED(status) && WEXITSTATUS(status) == expected_exit_code;
  std::ifstream errors(ErrorPath(process));
  std::stringstream text;
  text << errors.rdbuf();
  if (!clean || expected_exit_code != 0) {
    std::cerr << "FastCGI process " << process.pid << " ended "
              << (WIFEXITED(status) ? "with exit code " + std::to_string(WEXITSTATUS(status))
                                    : std::string("by a signal"))
              << "; its standard error:\n"
              << text.str() << std::flush;
  } else if (!text.str().empty()) {
    std::cerr << "FastCGI process " << process.pid << " wrote:\n" << text.str() << std::flush;
  }
  std::error_code error;
  fs::remove_all(process.folder, error);
  return clean;
}

bool all_clean = true;

void StopAtExit() {
  if (!StopFastCgiProcesses()) {
    std::fprintf(stderr, "a FastCGI process of the tests did not end cleanly\n");
    _exit(1);
  }
}

FastCgiProcess Start(const std::map<std::string, std::string>& process_environment, bool has_clock,
                     const std::string& working_directory) {
  FastCgiProcess process;
  process.owner = getpid();
  process.working_directory = working_directory;
  std::string pattern = (fs::temp_directory_path() / "portavel-fastcgi-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  process.folder = pattern;

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socket_path = SocketPath(process);
  if (socket_path.size() >= sizeof address.sun_path) throw std::runtime_error("socket path long");
  std::strcpy(address.sun_path, socket_path.c_str());
  process.listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (process.listener < 0 ||
      bind(process.listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(process.listener, 64) != 0) {
    throw std::runtime_error("cannot listen on " + socket_path);
  }

  std::map<std::string, std::string> environment = process_environment;
  if (has_clock) {
    environment["FAKETIME_TIMESTAMP_FILE"] = ClockPath(process);
    environment["FAKETIME_NO_CACHE"] = "1";
  }
  std::vector<std::string> entries = ProgramEnvironment(environment);
  std::vector<char*> envp;
  for (std::string& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string program = std::string(PORTAVEL_BIN_DIR) + "/Portavel";
  char* argv[] = {program.data(), nullptr};
  const int errors =
      open(ErrorPath(process).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int nothing = open("/dev/null", O_RDWR | O_CLOEXEC);
  // Ends with the test when the thread that starts it is the one that
  // lives as long as the test process.
  const bool from_main_thread = gettid() == getpid();

  process.pid = fork();
  if (process.pid < 0) throw std::runtime_error("fork failed");
  if (process.pid == 0) {
    if (from_main_thread) prctl(PR_SET_PDEATHSIG, SIGTERM);
    RemoveStaleClockSegments(getpid());
    dup2(process.listener, 0);
    dup2(nothing, 1);
    dup2(errors, 2);
    if (!working_directory.empty() && chdir(working_directory.c_str()) != 0) _exit(126);
    execve(program.c_str(), argv, envp.data());
    _exit(127);
  }
  close(errors);
  close(nothing);
  if (!exit_handler_registered) {
    exit_handler_registered = true;
    std::atexit(StopAtExit);
  }
  return process;
}

// Written whole and renamed into place: the process never reads half a time.
void WriteClock(const FastCgiProcess& process, const std::string& faketime) {
  // "@<time>" starts a running clock at the process's start; a process that
  // serves many requests gets each request's time as a standing clock.
  const std::string time = faketime.rfind('@', 0) == 0 ? faketime.substr(1) : faketime;
  const std::string partial = ClockPath(process) + ".new";
  std::ofstream(partial, std::ios::trunc) << time << "\n";
  fs::rename(partial, ClockPath(process));
}

}  // namespace

CgiResult RunFastCgiRequest(const std::map<std::string, std::string>& environment,
                            const std::string& body, const std::string& working_directory) {
  std::lock_guard<std::mutex> lock(mutex);
  std::map<std::string, std::string> process_environment;
  std::vector<std::string> request_entries;
  std::optional<std::string> faketime;
  for (const auto& [name, value] : environment) {
    if (name == "FAKETIME") {
      faketime = value;
    } else if (IsRequestVariable(name)) {
      request_entries.push_back(name + "=" + value);
    } else {
      process_environment[name] = value;
    }
  }
  std::string key =
      std::to_string(getpid()) + "\n" + working_directory + "\n" + (faketime ? "clock" : "") + "\n";
  for (const auto& [name, value] : process_environment) key += name + "=" + value + "\n";

  auto& processes = Processes();
  // The folders of finished tests are gone: their processes have served.
  for (auto it = processes.begin(); it != processes.end();) {
    if (it->second.owner == getpid() && !it->second.working_directory.empty() &&
        !fs::exists(it->second.working_directory)) {
      if (!Stop(it->second)) all_clean = false;
      it = processes.erase(it);
    } else {
      ++it;
    }
  }
  auto found = processes.find(key);
  if (found == processes.end()) {
    found =
        processes.emplace(key, Start(process_environment, faketime.has_value(), working_directory))
            .first;
  }
  FastCgiProcess& process = found->second;
  if (faketime) WriteClock(process, *faketime);

  CgiResult result =
      RunProgram(kCgiFcgi, {"-bind", "-connect", SocketPath(process)}, request_entries, body, "");
  result.fastcgi_pid = process.pid;
  if (result.exit_code != 0) {
    // The process ends after such a request; the next one starts anew.
    if (!Stop(process, result.exit_code)) all_clean = false;
    processes.erase(found);
  }
  return result;
}

bool StopFastCgiProcesses() {
  std::lock_guard<std::mutex> lock(mutex);
  auto& processes = Processes();
  for (auto it = processes.begin(); it != processes.end();) {
    if (it->second.owner == getpid()) {
      if (!Stop(it->second)) all_clean = false;
      it = processes.erase(it);
    } else {
      ++it;
    }
  }
  return all_clean;
}

}  // namespace portavel::testing
