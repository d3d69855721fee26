// The folders under src/ are layers, and a file includes only headers of
// its own folder or of a layer below it: the shared pieces at the bottom,
// then the configuration, the store, the posting tables and receivables,
// pricing, the subsystems, the web tier, and the programs at the top. A
// subsystem that included the web tier, or the store that included a
// subsystem, would make the two one piece that cannot be understood,
// tested or changed apart.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace portavel::testing {
namespace {

namespace fs = std::filesystem;

// The layer of each folder under src/; a folder may include from its own
// layer's other folders only where the table below says so (none do).
const std::map<std::string, int>& Layers() {
  static const std::map<std::string, int> layers = {
      {"dates", 0},    {"money", 0},   {"text", 0},    {"platform", 1},
      {"config", 2},   {"data", 3},    {"posting", 4}, {"receivables", 4},
      {"pricing", 5},  {"account", 6}, {"mail", 6},    {"payments", 6},
      {"delivery", 6}, {"web", 7},     {"app", 8},     {"admin", 8},
  };
  return layers;
}

// Why `from` may not include `to`; nothing when it may.
std::optional<std::string> UpwardInclude(const std::string& from, const std::string& to) {
  if (from == to) return std::nullopt;
  const auto from_layer = Layers().find(from);
  const auto to_layer = Layers().find(to);
  if (from_layer == Layers().end()) return "src/" + from + " has no layer";
  if (to_layer == Layers().end()) return "src/" + to + " has no layer";
  if (to_layer->second < from_layer->second) return std::nullopt;
  return from + " (layer " + std::to_string(from_layer->second) + ") includes " + to + " (layer " +
         std::to_string(to_layer->second) + ")";
}

struct Include {
  std::string file;  // relative to src/
  int line = 0;
  std::string folder;
};

std::vector<Include> IncludesOf(const fs::path& source_root) {
  static const std::regex kInclude(R"(^\s*#\s*include\s*"([A-Za-z0-9_]+)/)");
  std::vector<Include> includes;
  for (const auto& entry : fs::recursive_directory_iterator(source_root)) {
    if (!entry.is_regular_file()) continue;
    const std::string extension = entry.path().extension().string();
    if (extension != ".h" && extension != ".cpp" && extension != ".in") continue;
    std::ifstream in(entry.path());
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
      std::smatch match;
      if (std::regex_search(text, match, kInclude)) {
        includes.push_back(
            {fs::relative(entry.path(), source_root).string(), line, match[1].str()});
      }
    }
  }
  return includes;
}

TEST(LayeringTest, TheRuleTellsDownwardFromUpward) {
  const struct {
    const char* from;
    const char* to;
    bool allowed;
  } kCases[] = {
      {"web", "payments", true},       {"payments", "web", false}, {"delivery", "pricing", true},
      {"pricing", "delivery", false},  {"data", "config", true},   {"config", "data", false},
      {"payments", "delivery", false}, {"app", "admin", false},    {"text", "text", true},
      {"web", "newfolder", false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(!UpwardInclude(c.from, c.to).has_value(), c.allowed) << c.from << " -> " << c.to;
  }
}

TEST(LayeringTest, EveryFolderHasALayer) {
  for (const auto& entry : fs::directory_iterator(fs::path(PORTAVEL_SOURCE_DIR) / "src")) {
    if (!entry.is_directory()) continue;
    const std::string folder = entry.path().filename().string();
    EXPECT_TRUE(Layers().contains(folder)) << "src/" << folder << " has no layer";
  }
}

TEST(LayeringTest, NoSourceFileIncludesALayerAboveItsOwn) {
  const fs::path source_root = fs::path(PORTAVEL_SOURCE_DIR) / "src";
  const std::vector<Include> includes = IncludesOf(source_root);
  ASSERT_FALSE(includes.empty());
  for (const Include& include : includes) {
    const std::string folder = fs::path(include.file).begin()->string();
    if (const std::optional<std::string> why = UpwardInclude(folder, include.folder)) {
      ADD_FAILURE() << "src/" << include.file << ":" << include.line << ": " << *why;
    }
  }
}

}  // namespace
}  // namespace portavel::testing
