#include "text/email_address.h"

#include <algorithm>

namespace portavel {

std::string_view TrimAddressBlanks(std::string_view address) {
  size_t begin = address.find_first_not_of(' ');
  if (begin == std::string_view::npos) return {};
  return address.substr(begin, address.find_last_not_of(' ') - begin + 1);
}

// Text is windows-1252, a single-byte character set, so the looser test
// that multi-byte locales get never applies.
bool IsValidEmailAddress(std::string_view address) {
  std::string_view trimmed = TrimAddressBlanks(address);
  if (trimmed.empty() || trimmed.back() == '@') return false;
  size_t at = trimmed.find('@', 1);
  if (at == std::string_view::npos) return false;
  // A control character (a line break above all) could never be part of
  // an address, and would break the mail's header and the SMTP commands.
  return std::none_of(trimmed.begin(), trimmed.end(), [](char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

}  // namespace portavel
