// How a customer's web password is kept in the account's WALPW field. The
// one place that says so: the demo data and any later password tools must
// agree with what the login page compares against.
#pragma once

#include <string>
#include <string_view>

namespace portavel {

// Declared size of WALPW; a password keeps one byte for its end mark.
inline constexpr size_t kWebPasswordBytes = 21;

// The stored bytes: the password as plain text, then zero bytes up to the
// field's size.
std::string StoredWebPassword(std::string_view password);

}  // namespace portavel
