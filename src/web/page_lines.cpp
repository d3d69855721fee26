#include "web/page_lines.h"

namespace portavel {

std::string JoinPageLines(const PageLines& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace portavel
