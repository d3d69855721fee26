#include "config/config_lookup.h"

#include <cstdlib>
#include <filesystem>

namespace portavel {

std::string LocateConfigFile(Platform& platform, const std::optional<std::string>& explicit_path) {
  if (explicit_path && !explicit_path->empty()) return *explicit_path;
  const char* from_environment = std::getenv(kConfigEnvironmentVariable);
  if (from_environment != nullptr && *from_environment != '\0') return from_environment;
  std::string executable = platform.ExecutablePath();
  if (!executable.empty()) {
    std::filesystem::path beside =
        std::filesystem::path(executable).parent_path() / kConfigFileName;
    std::error_code error;
    if (std::filesystem::is_regular_file(beside, error)) return beside.string();
  }
  return kSystemConfigPath;
}

}  // namespace portavel
