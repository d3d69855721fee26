#include "data/field_type.h"

#include "text/cp1252.h"

namespace portavel {

namespace {

// Linear search: the widest table has a few hundred fields and lookups
// happen when a table is opened, not per row.
template <typename Item>
const Item* FindByName(const std::vector<Item>& items, std::string_view name) {
  for (const Item& item : items) {
    if (EqualsNoCase1252(item.name, name)) return &item;
  }
  return nullptr;
}

}  // namespace

const FieldDef* TableDef::FindField(std::string_view field_name) const {
  return FindByName(fields, field_name);
}

const IndexDef* TableDef::FindIndex(std::string_view index_name) const {
  return FindByName(indexes, index_name);
}

bool IsCurrencyType(FieldType type) {
  return type == FieldType::Money || type == FieldType::BCD;
}

bool IsTextType(FieldType type) {
  return type == FieldType::String || type == FieldType::Memo;
}

bool IsBinaryType(FieldType type) {
  return type == FieldType::Bytes || type == FieldType::Graphic;
}

bool IsIntegerType(FieldType type) {
  return type == FieldType::Integer || type == FieldType::SmallInt || type == FieldType::AutoInc;
}

std::string DescribeFieldType(const FieldDef& field) {
  auto sized = [&field](const char* type_name) {
    return std::string(type_name) + "(" + std::to_string(field.size) + ")";
  };
  switch (field.type) {
    case FieldType::Integer:
      return "Integer";
    case FieldType::SmallInt:
      return "SmallInt";
    case FieldType::AutoInc:
      return "AutoInc";
    case FieldType::String:
      return sized("String");
    case FieldType::Memo:
      return "Memo";
    case FieldType::Graphic:
      return "Graphic";
    case FieldType::Bytes:
      return sized("Bytes");
    case FieldType::Boolean:
      return "Boolean";
    case FieldType::Date:
      return "Date";
    case FieldType::Time:
      return "Time";
    case FieldType::DateTime:
      return "DateTime";
    case FieldType::Float:
      return "Float";
    case FieldType::BCD:
      return sized("BCD");
    case FieldType::Money:
      return "Money";
  }
  return "Unknown";
}

}  // namespace portavel
