// The mail server settings the dealer keeps in the LocalData table
// e_stmt_smtp_cnxn_cfg: one row per operating-system user, or a shared row
// whose Surrogate_Key is null. The dealer's desktop program writes it too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace portavel {

class Store;

inline constexpr const char* kSmtpSettingsTable = "e_stmt_smtp_cnxn_cfg";

struct SmtpConfiguration {
  std::string surrogate_key;  // the user's name; empty for the shared row
  std::string host;
  std::string user_name;
  std::string stored_password;  // the scrambled bytes; empty when none
  std::string from_address;
  std::optional<int64_t> port;  // null keeps the client's default
};

// The first row of `user_name`, its case ignored; when the name is not
// known, the first shared row. nullopt when there is no such row.
std::optional<SmtpConfiguration> FindSmtpConfiguration(Store& store,
                                                       const std::optional<std::string>& user_name);

}  // namespace portavel
