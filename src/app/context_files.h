// The files a process context was built from (the configuration and the
// two database files), as they were when it was built: a process serving
// many requests compares them before each request and starts afresh when
// one was edited or replaced.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace portavel {

// What tells one state of a file from another without reading it: which
// file (device, inode: a replaced file is another inode), its size, when
// it was last written and when it last changed. The write time can be set
// back (`cp -p`, `touch -r`), so an edit of the same size could hide
// behind it; the change time cannot be set by a user. A missing file has
// a stamp of its own.
struct FileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long long modified_ns = 0;
  long long changed_ns = 0;

  static FileStamp Of(const std::string& path);
  bool operator==(const FileStamp&) const = default;
};

class ContextFiles {
 public:
  // Takes the file's stamp now: the configuration before it is read, the
  // database files once they are open, so that a change while the context
  // is being built shows at the next comparison.
  void Add(const std::string& path);

  // True when a file is not as it was when this was made.
  bool Changed() const;

 private:
  std::vector<std::string> paths_;
  std::vector<FileStamp> stamps_;
};

}  // namespace portavel
