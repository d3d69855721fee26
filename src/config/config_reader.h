// Typed reading of the configuration file. Every problem becomes one
// ConfigError "<file>: <section>.<key>: <what is wrong>", so a section
// reader only says which keys it wants and of what type.
#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <toml++/toml.h>

#include "platform/guid.h"

namespace portavel {

class ConfigDocument;

// One [section] of the file. Reading a key marks it as known; the keys
// left over are reported by RejectUnknownKeys.
class ConfigSection {
 public:
  // `table` is null when the file has no such section: every key is then
  // absent.
  ConfigSection(const ConfigDocument& document, std::string name, const toml::table* table);

  // Whether the key is in the file, without reading it.
  bool Contains(std::string_view key) const;

  // Strings come back in windows-1252.
  std::optional<std::string> Text(std::string_view key);
  // A string as written, in UTF-8: for text handed to a library, such as
  // a connection string, rather than to the dealer's tables.
  std::optional<std::string> Utf8Text(std::string_view key);
  std::string RequiredText(std::string_view key);
  // A list of strings; empty when absent.
  std::vector<std::string> TextList(std::string_view key,
                                    size_t max_entries = std::numeric_limits<size_t>::max());
  // A file system path; a relative one is taken from the configuration
  // file's folder. An empty string counts as absent.
  std::optional<std::string> Path(std::string_view key);
  std::string RequiredPath(std::string_view key);
  std::optional<bool> Bool(std::string_view key);
  std::optional<int64_t> Integer(std::string_view key,
                                 int64_t min = std::numeric_limits<int64_t>::min(),
                                 int64_t max = std::numeric_limits<int64_t>::max());
  // Registry form; an empty string counts as absent. The null GUID is
  // refused: it is what an unreadable identity reads as, so it must not
  // switch anything on.
  std::optional<portavel::Guid> Guid(std::string_view key);
  std::vector<portavel::Guid> GuidList(std::string_view key,
                                       size_t max_entries = std::numeric_limits<size_t>::max());

  void RejectUnknownKeys() const;
  [[noreturn]] void Fail(std::string_view key, std::string_view problem) const;

 private:
  // The key's node, or null when absent; marks the key as known.
  const toml::node* Find(std::string_view key);
  // The entries of a list key (null when absent), checked to be a list of
  // at most max_entries strings; `what` names the list in a refusal. Each
  // entry comes with its qualified key ("a.b[2]") for the caller's checks.
  std::vector<std::pair<std::string, std::string>> StringEntries(std::string_view key,
                                                                 size_t max_entries,
                                                                 std::string_view what);
  std::optional<std::string> String(std::string_view key);
  template <typename T>
  T Require(std::string_view key, std::optional<T> value) const;
  portavel::Guid ParseGuid(std::string_view qualified_key, std::string_view text) const;
  std::string Qualified(std::string_view key) const;

  const ConfigDocument& document_;
  std::string name_;
  const toml::table* table_;
  std::set<std::string, std::less<>> read_keys_;
};

// The parsed file. Sections are read through Read, which also rejects
// keys the reader did not ask for; RejectUnknownSections then rejects
// sections nobody read.
class ConfigDocument {
 public:
  // Reads and parses the file; throws ConfigError when it cannot be read
  // or is not valid TOML.
  explicit ConfigDocument(std::string path);
  ConfigDocument(const ConfigDocument&) = delete;
  ConfigDocument& operator=(const ConfigDocument&) = delete;

  template <typename Reader>
  auto Read(std::string_view section_name, Reader read) {
    ConfigSection section = Section(section_name);
    auto result = read(section);
    section.RejectUnknownKeys();
    return result;
  }
  void RejectUnknownSections() const;

  const std::string& path() const { return path_; }
  // The folder relative paths in the file start from.
  const std::filesystem::path& folder() const { return folder_; }
  // `key` is the full dotted name; empty for problems of the whole file.
  [[noreturn]] void Fail(std::string_view key, std::string_view problem) const;

 private:
  ConfigSection Section(std::string_view name);

  std::string path_;
  std::filesystem::path folder_;
  toml::table root_;
  std::set<std::string, std::less<>> read_sections_;
};

}  // namespace portavel
