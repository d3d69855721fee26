#include "config/config_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>

#include "config/config_error.h"
#include "text/cp1252.h"

namespace portavel {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kGuidForm =
    "not a GUID in registry form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";

// The whole file, or the reason it cannot be read.
std::string ReadWholeFile(const ConfigDocument& document) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(document.path().c_str(), "rb"),
                                             &std::fclose);
  if (!file) document.Fail("", std::string("cannot open: ") + std::strerror(errno));
  std::string content;
  char buffer[8192];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) content.append(buffer, n);
  if (std::ferror(file.get()))
    document.Fail("", std::string("cannot read: ") + std::strerror(errno));
  return content;
}

std::string WrongType(std::string_view wanted, const toml::node& found) {
  std::ostringstream problem;
  problem << "must be " << wanted << " (found " << found.type() << ")";
  return problem.str();
}

}  // namespace

// ---- ConfigDocument ----

ConfigDocument::ConfigDocument(std::string path) : path_(std::move(path)) {
  std::error_code error_code;
  folder_ = fs::absolute(path_, error_code).parent_path();
  std::string content = ReadWholeFile(*this);
  try {
    root_ = toml::parse(content, path_);
  } catch (const toml::parse_error& error) {
    std::ostringstream where;
    where << "line " << error.source().begin.line << ", column " << error.source().begin.column
          << ": " << error.description();
    Fail("", where.str());
  }
}

ConfigSection ConfigDocument::Section(std::string_view name) {
  read_sections_.emplace(name);
  const toml::node* node = root_.get(name);
  if (node != nullptr && !node->is_table()) Fail(name, WrongType("a section", *node));
  return ConfigSection(*this, std::string(name), node != nullptr ? node->as_table() : nullptr);
}

void ConfigDocument::RejectUnknownSections() const {
  for (const auto& [key, node] : root_) {
    if (!read_sections_.contains(key.str())) {
      Fail(key.str(), node.is_table() ? "unknown section" : "unknown key");
    }
  }
}

void ConfigDocument::Fail(std::string_view key, std::string_view problem) const {
  std::string message = path_ + ": ";
  if (!key.empty()) message.append(key).append(": ");
  message.append(problem);
  throw ConfigError(message);
}

// ---- ConfigSection ----

ConfigSection::ConfigSection(const ConfigDocument& document, std::string name,
                             const toml::table* table)
    : document_(document), name_(std::move(name)), table_(table) {}

const toml::node* ConfigSection::Find(std::string_view key) {
  read_keys_.emplace(key);
  return table_ != nullptr ? table_->get(key) : nullptr;
}

bool ConfigSection::Contains(std::string_view key) const {
  return table_ != nullptr && table_->contains(key);
}

template <typename T>
T ConfigSection::Require(std::string_view key, std::optional<T> value) const {
  if (!value) Fail(key, "required, but missing or empty");
  return std::move(*value);
}

std::optional<std::string> ConfigSection::String(std::string_view key) {
  const toml::node* node = Find(key);
  if (node == nullptr) return std::nullopt;
  if (!node->is_string()) Fail(key, WrongType("a string", *node));
  return node->as_string()->get();
}

std::optional<std::string> ConfigSection::Text(std::string_view key) {
  std::optional<std::string> utf8 = String(key);
  if (!utf8) return std::nullopt;
  std::optional<std::string> text = Utf8ToCp1252(*utf8);
  if (!text) Fail(key, "has characters that windows-1252 cannot hold");
  return text;
}

std::optional<std::string> ConfigSection::Utf8Text(std::string_view key) {
  return String(key);
}

std::string ConfigSection::RequiredText(std::string_view key) {
  return Require(key, Text(key));
}

std::vector<std::pair<std::string, std::string>> ConfigSection::StringEntries(
    std::string_view key, size_t max_entries, std::string_view what) {
  std::vector<std::pair<std::string, std::string>> result;
  const toml::node* node = Find(key);
  if (node == nullptr) return result;
  if (!node->is_array()) Fail(key, WrongType(what, *node));
  const toml::array& entries = *node->as_array();
  if (entries.size() > max_entries) {
    Fail(key, "at most " + std::to_string(max_entries) + " entries");
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    std::string entry_key = Qualified(key) + "[" + std::to_string(i) + "]";
    const toml::node& entry = entries[i];
    if (!entry.is_string()) document_.Fail(entry_key, WrongType("a string", entry));
    result.emplace_back(std::move(entry_key), entry.as_string()->get());
  }
  return result;
}

std::vector<std::string> ConfigSection::TextList(std::string_view key, size_t max_entries) {
  std::vector<std::string> texts;
  for (auto& [entry_key, entry] : StringEntries(key, max_entries, "a list of strings")) {
    std::optional<std::string> text = Utf8ToCp1252(entry);
    if (!text) document_.Fail(entry_key, "has characters that windows-1252 cannot hold");
    texts.push_back(std::move(*text));
  }
  return texts;
}

std::optional<std::string> ConfigSection::Path(std::string_view key) {
  std::optional<std::string> text = String(key);
  if (!text || text->empty()) return std::nullopt;
  return (document_.folder() / fs::path(*text)).lexically_normal().string();
}

std::string ConfigSection::RequiredPath(std::string_view key) {
  return Require(key, Path(key));
}

std::optional<bool> ConfigSection::Bool(std::string_view key) {
  const toml::node* node = Find(key);
  if (node == nullptr) return std::nullopt;
  if (!node->is_boolean()) Fail(key, WrongType("true or false", *node));
  return node->as_boolean()->get();
}

std::optional<int64_t> ConfigSection::Integer(std::string_view key, int64_t min, int64_t max) {
  const toml::node* node = Find(key);
  if (node == nullptr) return std::nullopt;
  if (!node->is_integer()) Fail(key, WrongType("an integer", *node));
  int64_t value = node->as_integer()->get();
  if (value < min || value > max) {
    Fail(key, "must be from " + std::to_string(min) + " to " + std::to_string(max));
  }
  return value;
}

std::optional<portavel::Guid> ConfigSection::Guid(std::string_view key) {
  std::optional<std::string> text = String(key);
  if (!text || text->empty()) return std::nullopt;
  return ParseGuid(Qualified(key), *text);
}

std::vector<portavel::Guid> ConfigSection::GuidList(std::string_view key, size_t max_entries) {
  std::vector<portavel::Guid> guids;
  for (auto& [entry_key, entry] : StringEntries(key, max_entries, "a list of GUID strings")) {
    guids.push_back(ParseGuid(entry_key, entry));
  }
  return guids;
}

portavel::Guid ConfigSection::ParseGuid(std::string_view qualified_key,
                                        std::string_view text) const {
  std::optional<portavel::Guid> guid = portavel::Guid::Parse(text);
  if (!guid) document_.Fail(qualified_key, kGuidForm);
  if (guid->IsNull()) document_.Fail(qualified_key, "must not be the null GUID");
  return *guid;
}

void ConfigSection::RejectUnknownKeys() const {
  if (table_ == nullptr) return;
  for (const auto& [key, node] : *table_) {
    if (!read_keys_.contains(key.str())) Fail(key.str(), "unknown key");
  }
}

void ConfigSection::Fail(std::string_view key, std::string_view problem) const {
  document_.Fail(Qualified(key), problem);
}

std::string ConfigSection::Qualified(std::string_view key) const {
  return name_ + "." + std::string(key);
}

}  // namespace portavel
