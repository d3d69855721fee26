// The production platform: Linux system calls behind the Platform
// interface.
#include <fcntl.h>
#include <pwd.h>
#include <sys/random.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace portavel {
namespace {

namespace fs = std::filesystem;

// Writes the whole buffer with one call where the kernel allows; a
// message that cannot be written is dropped rather than holding up the
// request.
void WriteLine(int fd, const std::string& line) {
  ssize_t written;
  do {
    written = ::write(fd, line.data(), line.size());
  } while (written < 0 && errno == EINTR);
}

class LinuxPlatform final : public Platform {
 public:
  DateTime Now() override {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    // A leap second (tm_sec 60) has no place in a DateTime.
    int second = std::min(local.tm_sec, 59);
    return DateTime::FromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                               local.tm_min, second, static_cast<int>(now.tv_nsec / 1'000'000))
        .value_or(DateTime());
  }

  std::optional<Guid> NewGuid() override {
    Guid::Bytes bytes;
    // The kernel's generator: no need to start a crypto library for it.
    if (getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
      return std::nullopt;
    }
    // Version 4, variant 10xx. The third group is stored little-endian,
    // so its high byte (holding the version) is byte 7.
    bytes[7] = static_cast<uint8_t>((bytes[7] & 0x0F) | 0x40);
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);
    return Guid::FromBytes(bytes);
  }

  int ProcessId() override { return static_cast<int>(getpid()); }

  uint32_t TickCount() override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1'000'000;
    return static_cast<uint32_t>(ms);
  }

  std::optional<std::string> UserName() override {
    long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
    for (;;) {
      passwd entry{};
      passwd* found = nullptr;
      int error = getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found);
      if (error == ERANGE && buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
        continue;
      }
      if (error != 0 || found == nullptr || found->pw_name == nullptr) return std::nullopt;
      return std::string(found->pw_name);
    }
  }

  std::string TempDirectory() override {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string path = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
    if (path.back() != '/') path += '/';
    return path;
  }

  bool DirectoryExists(const std::string& path) override {
    std::error_code error;
    return fs::is_directory(path, error);
  }

  bool CreateDirectory(const std::string& path) override {
    std::error_code error;
    fs::create_directories(path, error);
    return !error && fs::is_directory(path, error);
  }

  bool RemoveDirectory(const std::string& path) override {
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(path, error))) return false;
    fs::remove_all(path, error);
    return !error;
  }

  void SleepMilliseconds(int ms) override {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }

  void OperatorMessage(std::string_view text) override {
    std::string line = "Portavel: ";
    line += text;
    // One message, one line: a line break in the text would let it pose
    // as further messages in the log.
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    line += '\n';

    const char* log_path = std::getenv("PORTAVEL_OPERATOR_LOG");
    if (log_path != nullptr && *log_path != '\0') {
      int fd = ::open(log_path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0640);
      if (fd >= 0) {
        WriteLine(fd, line);
        ::close(fd);
        return;
      }
      // The log cannot be opened: standard error still reaches somebody.
    }
    WriteLine(STDERR_FILENO, line);
  }

  bool DebuggerAttached() override {
    std::ifstream status("/proc/self/status");
    std::string line;
    constexpr std::string_view kTracer = "TracerPid:";
    while (std::getline(status, line)) {
      if (line.compare(0, kTracer.size(), kTracer) == 0) {
        return std::atoi(line.c_str() + kTracer.size()) != 0;
      }
    }
    return false;
  }

  std::string ExecutablePath() override {
    std::error_code error;
    fs::path path = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
  }
};

}  // namespace

Platform& SystemPlatform() {
  static LinuxPlatform platform;
  return platform;
}

}  // namespace portavel
