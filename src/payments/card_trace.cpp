#include "payments/card_trace.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "dates/date_format.h"
#include "platform/platform.h"

namespace portavel {

CardTrace::~CardTrace() {
  Close();
}

void CardTrace::Open(const std::string& path) {
  Close();
  counter_ = 0;
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return;
  }
  fd_ = fd;
}

void CardTrace::Write(Platform& platform, std::string_view text) {
  if (fd_ < 0) return;
  DateTime now = platform.Now();
  std::string line;
  if (numbering_ == Numbering::kCounted) line = std::to_string(counter_++) + " ";
  line += FormatShortDate(now) + " " + FormatLongTime(now) + " - " + std::string(text) + "\r\n";
  [[maybe_unused]] ssize_t ignored = ::write(fd_, line.data(), line.size());
}

void CardTrace::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace portavel
