#include "admin/json_field_codec.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace portavel {
namespace {

JsonValue Number(std::string text) {
  JsonValue v;
  v.kind = JsonValue::Kind::kNumber;
  v.text = std::move(text);
  return v;
}

JsonValue Text(std::string text) {
  JsonValue v;
  v.kind = JsonValue::Kind::kString;
  v.text = std::move(text);
  return v;
}

// The JSON form dump writes for what the field stores, or the refusal.
std::string RoundTrip(const FieldDef& field, const JsonValue& json) {
  try {
    return EncodeJsonField(field, DecodeJsonField(field, json)).dump();
  } catch (const FieldValueError& error) {
    return std::string("refused: ") + error.what();
  }
}

TEST(JsonFieldCodecTest, AmountsKeepExactlyTheirFieldsDecimals) {
  struct Case {
    FieldDef field;
    std::string given;
    std::string result;
  };
  const Case kCases[] = {
      {BcdField("B0", 0), "45", "\"45\""},
      {BcdField("B0", 0), "45.000", "\"45\""},
      {BcdField("B0", 0), "45.5", "refused: 45.5 has more decimals than BCD(0) keeps"},
      {BcdField("B1", 1), "-0.5", "\"-0.5\""},
      {BcdField("B2", 2), "1.005", "refused: 1.005 has more decimals than BCD(2) keeps"},
      {BcdField("B2", 2), "1e2", "\"100.00\""},
      {BcdField("B2", 2), "12.5E-1", "\"1.25\""},
      {BcdField("B3", 3), "1.005", "\"1.005\""},
      {BcdField("B4", 4), "0.0150", "\"0.0150\""},
      {BcdField("B4", 4), "0.00001", "refused: 0.00001 has more decimals than BCD(4) keeps"},
      {MoneyField("M"), "-922337203685477.5808", "\"-922337203685477.5808\""},
      {MoneyField("M"), "922337203685477.5808",
       "refused: 922337203685477.5808 is out of the range of Money"},
      {MoneyField("M"), "1e400", "refused: 1e400 is out of the range of Money"},
      {MoneyField("M"), "0e400", "\"0.0000\""},
      {MoneyField("M"), "1,000.00", "refused: \"1,000.00\" is not a decimal number"},
      {MoneyField("M"), ".5", "refused: \".5\" is not a decimal number"},
      {IntegerField("I"), "2147483647", "2147483647"},
      {IntegerField("I"), "2147483648", "refused: 2147483648 is out of the range of Integer"},
      {IntegerField("I"), "4.0", "4"},
      {IntegerField("I"), "4.25", "refused: 4.25 is not a whole number"},
      {SmallIntField("S"), "-32769", "refused: -32769 is out of the range of SmallInt"},
      {FloatField("F"), "0.1", "0.1"},
      {FloatField("F"), "1e999", "refused: 1e999 is out of the range of Float"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(DescribeFieldType(c.field) + " " + c.given);
    EXPECT_EQ(RoundTrip(c.field, Number(c.given)), c.result);
    if (IsCurrencyType(c.field.type)) {
      EXPECT_EQ(RoundTrip(c.field, Text(c.given)), c.result);
    }
  }
}

TEST(JsonFieldCodecTest, BinaryFieldsTakeHexOrOneCharacterPerByte) {
  const FieldDef bytes4 = BytesField("B", 4);
  JsonValue hex;
  hex.kind = JsonValue::Kind::kObject;
  hex.keys = {"hex"};
  hex.items = {Text("0A0b")};
  EXPECT_EQ(DecodeJsonField(bytes4, hex), Value::Bytes(std::string("\x0a\x0b\0\0", 4)));
  EXPECT_EQ(DecodeJsonField(bytes4, Text("a\xC3\xBF")), Value::Bytes(std::string("a\xff\0\0", 4)));
  EXPECT_EQ(RoundTrip(bytes4, Text("\xC4\x80")),
            "refused: text has a character above U+00FF, which is not one byte");
  EXPECT_EQ(RoundTrip(bytes4, Text("abcde")), "refused: 5 bytes are longer than Bytes(4)");
  EXPECT_EQ(RoundTrip(GraphicField("G"), Text("\x01\xC2\x80")), R"({"hex":"0180"})");
  EXPECT_EQ(RoundTrip(GraphicField("G"), Number("1")),
            "refused: expected {\"hex\": \"...\"} or a text of bytes for Graphic, found the "
            "number 1");
}

TEST(JsonFieldCodecTest, CommandLineTextIsReadByTheFieldsType) {
  EXPECT_EQ(DecodeFieldText(BooleanField("B"), "TRUE"), Value::Boolean(true));
  EXPECT_THROW(DecodeFieldText(BooleanField("B"), "yes"), FieldValueError);
  EXPECT_EQ(DecodeFieldText(BcdField("B", 2), "10"), Value::Currency(Money::FromWhole(10)));
  EXPECT_EQ(DecodeFieldText(StringField("S", 10), "Caf\xC3\xA9"), Value::Text("Caf\xE9"));
  EXPECT_EQ(DecodeFieldText(BytesField("B", 2), "ff"), Value::Bytes(std::string("\xff\0", 2)));
  EXPECT_EQ(DecodeFieldText(DateField("D"), ""), Value::Null());
}

}  // namespace
}  // namespace portavel
