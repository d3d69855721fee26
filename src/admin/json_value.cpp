#include "admin/json_value.h"

namespace portavel {

std::string JsonValue::Describe() const {
  switch (kind) {
    case Kind::kNull:
      return "null";
    case Kind::kBoolean:
      return boolean ? "true" : "false";
    case Kind::kNumber:
      return "the number " + text;
    case Kind::kString:
      return "a text";
    case Kind::kArray:
      return "an array";
    case Kind::kObject:
      return "an object";
  }
  return "a value";
}

}  // namespace portavel
