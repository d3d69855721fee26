// A page is built as a list of lines and sent as each line followed by
// CR LF.
#pragma once

#include <string>
#include <vector>

namespace portavel {

using PageLines = std::vector<std::string>;

std::string JoinPageLines(const PageLines& lines);

}  // namespace portavel
