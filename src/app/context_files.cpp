#include "app/context_files.h"

#include <sys/stat.h>

namespace portavel {

FileStamp FileStamp::Of(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return FileStamp{};
  return FileStamp{
      true,
      status.st_dev,
      status.st_ino,
      status.st_size,
      static_cast<long long>(status.st_mtim.tv_sec) * 1'000'000'000LL + status.st_mtim.tv_nsec,
      static_cast<long long>(status.st_ctim.tv_sec) * 1'000'000'000LL + status.st_ctim.tv_nsec};
}

void ContextFiles::Add(const std::string& path) {
  paths_.push_back(path);
  stamps_.push_back(FileStamp::Of(path));
}

bool ContextFiles::Changed() const {
  for (size_t i = 0; i < paths_.size(); ++i) {
    if (FileStamp::Of(paths_[i]) != stamps_[i]) return true;
  }
  return false;
}

}  // namespace portavel
