#include "text/html_escape.h"

#include <array>
#include <cstdint>

namespace portavel {
namespace {

// Per byte: 0 when it stays as it is, else 1 + the index of its entity.
constexpr std::array<uint8_t, 256> kEntityOf = [] {
  std::array<uint8_t, 256> table{};
  table[static_cast<unsigned char>('&')] = 1;
  table[static_cast<unsigned char>('<')] = 2;
  table[static_cast<unsigned char>('>')] = 3;
  table[static_cast<unsigned char>('"')] = 4;
  table[static_cast<unsigned char>('\'')] = 5;
  return table;
}();

constexpr std::string_view kEntities[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&#39;"};

}  // namespace

void AppendHtmlEscaped(std::string& out, std::string_view value) {
  // Most values have nothing to escape: runs between special bytes are
  // appended whole.
  const char* run = value.data();
  const char* const end = run + value.size();
  for (const char* p = run; p != end; ++p) {
    const uint8_t entity = kEntityOf[static_cast<unsigned char>(*p)];
    if (entity == 0) continue;
    out.append(run, static_cast<size_t>(p - run));
    out += kEntities[entity - 1];
    run = p + 1;
  }
  out.append(run, static_cast<size_t>(end - run));
}

std::string HtmlEscape(std::string_view value) {
  std::string escaped;
  escaped.reserve(value.size());
  AppendHtmlEscaped(escaped, value);
  return escaped;
}

}  // namespace portavel
