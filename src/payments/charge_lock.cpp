#include "payments/charge_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace portavel {
namespace {

// One byte of the file per account. Open-file-description locks belong to
// this open file, not to the process, so a FastCGI process that opens the
// file again for another request never shares or drops a lock by accident.
struct flock AccountByte(int32_t account_key, short type) {
  struct flock region {};
  region.l_type = type;
  region.l_whence = SEEK_SET;
  region.l_start = static_cast<off_t>(static_cast<uint32_t>(account_key));
  region.l_len = 1;
  return region;
}

}  // namespace

ChargeLock::ChargeLock(const std::string& lock_path, int32_t account_key) {
  fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0660);
  if (fd_ < 0) {
    throw std::runtime_error("cannot open the charge lock " + lock_path + ": " +
                             std::strerror(errno));
  }
  struct flock region = AccountByte(account_key, F_WRLCK);
  while (::fcntl(fd_, F_OFD_SETLKW, &region) != 0) {
    if (errno == EINTR) continue;
    const int error = errno;
    ::close(fd_);
    throw std::runtime_error("cannot lock " + lock_path + ": " + std::strerror(error));
  }
}

ChargeLock::~ChargeLock() {
  // Closing the only descriptor of the open file releases its locks.
  ::close(fd_);
}

std::string ChargeLockPath(const std::string& userdata_path) {
  return userdata_path + ".charges.lock";
}

}  // namespace portavel
