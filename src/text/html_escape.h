#pragma once

#include <string>
#include <string_view>

namespace portavel {

// Makes a value from the database, a request or a cookie safe to put into
// a page, as text or inside a double-quoted attribute: & < > " ' become
// entities; everything else (windows-1252 letters included) stays as it is.
std::string HtmlEscape(std::string_view value);

// The same, appended to out: a page built cell by cell escapes into the
// string it is writing rather than through a string per value.
void AppendHtmlEscaped(std::string& out, std::string_view value);

}  // namespace portavel
