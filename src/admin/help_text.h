// What `--help` prints, for the tool and for each command.
#pragma once

#include <optional>
#include <string_view>

namespace portavel {

inline constexpr std::string_view kToolName = "portavel-db";

std::string_view ToolHelp();
// nullopt for a command the tool does not have. `action` picks the text of
// one of the command's actions ("smtp set"); the command's own text stands
// for any other.
std::optional<std::string_view> CommandHelp(std::string_view command, std::string_view action = {});

}  // namespace portavel
