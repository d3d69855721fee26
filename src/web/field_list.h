// The name=value lists of a request (query string, form body, cookies):
// ordered, looked up by name without regard to case, first item wins.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace portavel {

class FieldList {
 public:
  using Item = std::pair<std::string, std::string>;

  FieldList() = default;
  explicit FieldList(std::vector<Item> items) : items_(std::move(items)) {}

  // "name=value" items split at `separator` (a separator inside a
  // double-quoted stretch does not split). Query and form items are
  // percent-decoded ("%21" is "!", "+" is a blank); cookie items are taken
  // as they stand, with the leading blanks of each item skipped. A broken
  // escape ("%2", "%zz") is kept as it stands.
  static FieldList ParseQuery(std::string_view text);    // '&', decoded
  static FieldList ParseCookies(std::string_view text);  // ';', not decoded

  // The value of the first item with that name (any case); "" when none.
  std::string Value(std::string_view name) const;
  bool Contains(std::string_view name) const;
  const std::vector<Item>& items() const { return items_; }

 private:
  std::vector<Item> items_;
};

// "%XX" to the byte, "+" to a blank.
std::string PercentDecode(std::string_view text);

}  // namespace portavel
