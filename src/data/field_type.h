// The type vocabulary of the dealer's tables and the definitions of
// tables, fields and indexes built on it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace portavel {

enum class FieldType {
  Integer,   // 32-bit signed
  SmallInt,  // 16-bit signed
  AutoInc,   // 32-bit, assigned by the store on insert
  String,    // size = most characters
  Memo,      // text of any length
  Graphic,   // binary of any length
  Bytes,     // size = exact byte count
  Boolean,
  Date,
  Time,
  DateTime,
  Float,  // 64-bit binary floating point
  BCD,    // size = decimals kept (0..4)
  Money,  // four decimals kept
};

struct FieldDef {
  std::string name;
  FieldType type = FieldType::Integer;
  // String(n) and Bytes(n): n; BCD(d): d; Money: 4; otherwise 0.
  int size = 0;
};

// Helpers to write field lists briefly.
inline FieldDef IntegerField(std::string n) {
  return {std::move(n), FieldType::Integer, 0};
}
inline FieldDef SmallIntField(std::string n) {
  return {std::move(n), FieldType::SmallInt, 0};
}
inline FieldDef AutoIncField(std::string n) {
  return {std::move(n), FieldType::AutoInc, 0};
}
inline FieldDef StringField(std::string n, int size = 20) {
  return {std::move(n), FieldType::String, size};
}
inline FieldDef MemoField(std::string n) {
  return {std::move(n), FieldType::Memo, 0};
}
inline FieldDef GraphicField(std::string n) {
  return {std::move(n), FieldType::Graphic, 0};
}
inline FieldDef BytesField(std::string n, int size) {
  return {std::move(n), FieldType::Bytes, size};
}
inline FieldDef BooleanField(std::string n) {
  return {std::move(n), FieldType::Boolean, 0};
}
inline FieldDef DateField(std::string n) {
  return {std::move(n), FieldType::Date, 0};
}
inline FieldDef TimeField(std::string n) {
  return {std::move(n), FieldType::Time, 0};
}
inline FieldDef DateTimeField(std::string n) {
  return {std::move(n), FieldType::DateTime, 0};
}
inline FieldDef FloatField(std::string n) {
  return {std::move(n), FieldType::Float, 0};
}
inline FieldDef BcdField(std::string n, int decimals = 4) {
  return {std::move(n), FieldType::BCD, decimals};
}
inline FieldDef MoneyField(std::string n) {
  return {std::move(n), FieldType::Money, 4};
}

struct IndexField {
  std::string name;
  bool descending = false;
  bool case_insensitive = false;  // windows-1252 case folding
};

struct IndexDef {
  std::string name;  // the dealer's index name, e.g. "IRevAccountKey"
  std::vector<IndexField> fields;
};

struct TableDef {
  std::string alias;  // "UserData" or "LocalData"
  std::string name;   // without extension, e.g. "Accounts"
  std::vector<FieldDef> fields;
  std::vector<IndexDef> indexes;

  const FieldDef* FindField(std::string_view field_name) const;  // any case
  const IndexDef* FindIndex(std::string_view index_name) const;  // any case
};

// "Money" and "BCD" hold currency; their values are ten-thousandths.
bool IsCurrencyType(FieldType type);
bool IsTextType(FieldType type);     // String, Memo
bool IsBinaryType(FieldType type);   // Bytes, Graphic
bool IsIntegerType(FieldType type);  // Integer, SmallInt, AutoInc
// The type as the tables describe it: "String(30)", "BCD(2)", "Integer".
std::string DescribeFieldType(const FieldDef& field);

}  // namespace portavel
