// The optional card trace files ("debug.txt" of the web module,
// "debug2.txt" of the form-post gateway client, "debug3.txt" of the XML
// gateway client): dated lines about card traffic, written only while
// tracing is switched on. Callers mask card data before it gets here.
#pragma once

#include <string>
#include <string_view>

namespace portavel {

class Platform;

class CardTrace {
 public:
  enum class Numbering {
    kCounted,  // "<counter> <short date> <long time> - <text>", from 0
    kNone,     // "<short date> <long time> - <text>"
  };

  explicit CardTrace(Numbering numbering = Numbering::kCounted) : numbering_(numbering) {}
  ~CardTrace();
  CardTrace(const CardTrace&) = delete;
  CardTrace& operator=(const CardTrace&) = delete;

  // Opens the file for appending. A missing file is not created, and a
  // file another process holds is not shared: the lines are then lost, as
  // is every other trace failure.
  void Open(const std::string& path);
  // One line, ending in CR LF.
  void Write(Platform& platform, std::string_view text);
  void Close();
  bool is_open() const { return fd_ >= 0; }

 private:
  Numbering numbering_;
  int fd_ = -1;
  int counter_ = 0;
};

}  // namespace portavel
