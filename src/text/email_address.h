// E-mail addresses as customers and the office type them: checked before
// a configuration accepts one or a password e-mail is sent to one.
#pragma once

#include <string_view>

namespace portavel {

// Without the blanks around it: an address as a customer typed it may
// carry some.
std::string_view TrimAddressBlanks(std::string_view address);

// An "@" after the first character and not at the end, and no control
// character, once trimmed of blanks.
bool IsValidEmailAddress(std::string_view address);

}  // namespace portavel
