// The optional trace file "debug.txt": numbered, dated lines about card
// traffic, written only while the preferences switch tracing on.
#pragma once

#include <string>
#include <string_view>

namespace portavel {

class Platform;

class CardTrace {
 public:
  CardTrace() = default;
  ~CardTrace();
  CardTrace(const CardTrace&) = delete;
  CardTrace& operator=(const CardTrace&) = delete;

  // Opens the file for appending. A missing file is not created, and a
  // file another process holds is not shared: the lines are then lost, as
  // is every other trace failure.
  void Open(const std::string& path);
  // "<counter> <short date> <long time> - <text>"; the counter starts at 0.
  void Write(Platform& platform, std::string_view text);
  void Close();
  bool is_open() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  int counter_ = 0;
};

}  // namespace portavel
