// What `--help` prints, for the tool and for each command.
#pragma once

#include <optional>
#include <string_view>

namespace portavel {

inline constexpr std::string_view kToolName = "portavel-db";

std::string_view ToolHelp();
// nullopt for a command the tool does not have.
std::optional<std::string_view> CommandHelp(std::string_view command);

}  // namespace portavel
