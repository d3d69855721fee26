// A fresh secret for [session] secret in the configuration file.
#pragma once

#include <string>

namespace portavel {

inline constexpr size_t kNewSessionSecretLength = 64;

// kNewSessionSecretLength letters and digits from the system's
// cryptographic random source, safe to put between TOML quotes as they
// are. Throws std::runtime_error when the source fails.
std::string NewSessionSecret();

}  // namespace portavel
