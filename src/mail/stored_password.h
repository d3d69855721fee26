// The SMTP password as the dealer's configuration table keeps it: the
// bits of the text shuffled and masked with a key taken from the
// database identity, so the table alone does not give the password away.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/guid.h"

namespace portavel {

// The key of the stored password: the GUID's first field, its two 16-bit
// fields and the eight bytes of its last field added as unsigned numbers,
// modulo 2^32.
uint32_t PasswordMailKey(const Guid& database_id);

// The text of `stored` (at least one byte; empty gives empty), as many
// characters as there are bytes.
std::string DecodeStoredPassword(std::string_view stored, uint32_t key);
// The inverse: DecodeStoredPassword(EncodeStoredPassword(t, k), k) == t.
std::string EncodeStoredPassword(std::string_view text, uint32_t key);

}  // namespace portavel
