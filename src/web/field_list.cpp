#include "web/field_list.h"

#include <optional>

#include "text/cp1252.h"

namespace portavel {
namespace {

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

// Splits at `separator` outside double-quoted stretches; the quotes stay
// part of the item. Empty items are dropped.
std::vector<std::string_view> SplitItems(std::string_view text, char separator) {
  std::vector<std::string_view> items;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size()) {
      if (text[i] == '"') quoted = !quoted;
      if (quoted || text[i] != separator) continue;
    }
    if (i > start) items.push_back(text.substr(start, i - start));
    start = i + 1;
  }
  return items;
}

// Name and value are split before decoding, so an escaped "=" ("%3D")
// in a name stays part of the name.
FieldList::Item SplitNameValue(std::string_view item) {
  const size_t equals = item.find('=');
  if (equals == std::string_view::npos) return {std::string(item), std::string()};
  return {std::string(item.substr(0, equals)), std::string(item.substr(equals + 1))};
}

const FieldList::Item* FindFirst(const std::vector<FieldList::Item>& items, std::string_view name) {
  for (const FieldList::Item& item : items) {
    if (EqualsNoCase1252(item.first, name)) return &item;
  }
  return nullptr;
}

}  // namespace

std::string PercentDecode(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      decoded += ' ';
      continue;
    }
    if (c == '%' && i + 2 < text.size()) {
      const std::optional<int> high = HexDigit(text[i + 1]);
      const std::optional<int> low = HexDigit(text[i + 2]);
      if (high && low) {
        decoded += static_cast<char>(*high * 16 + *low);
        i += 2;
        continue;
      }
    }
    decoded += c;
  }
  return decoded;
}

FieldList FieldList::ParseQuery(std::string_view text) {
  std::vector<Item> items;
  for (std::string_view raw : SplitItems(text, '&')) {
    Item item = SplitNameValue(raw);
    items.emplace_back(PercentDecode(item.first), PercentDecode(item.second));
  }
  return FieldList(std::move(items));
}

FieldList FieldList::ParseCookies(std::string_view text) {
  std::vector<Item> items;
  for (std::string_view raw : SplitItems(text, ';')) {
    while (!raw.empty() && raw.front() == ' ') raw.remove_prefix(1);
    if (!raw.empty()) items.push_back(SplitNameValue(raw));
  }
  return FieldList(std::move(items));
}

std::string FieldList::Value(std::string_view name) const {
  const Item* item = FindFirst(items_, name);
  return item != nullptr ? item->second : std::string();
}

bool FieldList::Contains(std::string_view name) const {
  return FindFirst(items_, name) != nullptr;
}

}  // namespace portavel
