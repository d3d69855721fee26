// A JSON value as the admin tool reads it: numbers keep the text they were
// written with, so that amounts are never rounded on the way in.
#pragma once

#include <string>
#include <vector>

namespace portavel {

struct JsonValue {
  enum class Kind { kNull, kBoolean, kNumber, kString, kArray, kObject };

  Kind kind = Kind::kNull;
  bool boolean = false;
  // A number's text as written ("45.50", "1e3"), or a string (UTF-8).
  std::string text;
  // The elements of an array, or the member values of an object.
  std::vector<JsonValue> items;
  // The member names of an object, parallel to `items`.
  std::vector<std::string> keys;

  // "a number", "a text", "true", ... for messages.
  std::string Describe() const;
};

}  // namespace portavel
