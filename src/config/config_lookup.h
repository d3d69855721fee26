// Which configuration file the programs read.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace portavel {

inline constexpr const char* kConfigEnvironmentVariable = "PORTAVEL_CONFIG";
inline constexpr const char* kConfigFileName = "portavel.toml";
inline constexpr const char* kSystemConfigPath = "/etc/portavel/portavel.toml";

// In order: the path given on the command line; the path in the
// environment variable PORTAVEL_CONFIG; portavel.toml beside the
// executable when it exists there; /etc/portavel/portavel.toml. Empty
// values count as not given. The first two are taken as they are, even
// when no such file exists, so a wrong path is reported, not bypassed.
std::string LocateConfigFile(Platform& platform,
                             const std::optional<std::string>& explicit_path = {});

}  // namespace portavel
