#include "text/cp1252.h"

#include <algorithm>
#include <array>

namespace portavel {
namespace {

// Code points of bytes 0x80..0x9F. The five bytes windows-1252 leaves
// undefined keep their C1 code point so that every byte survives a round
// trip.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char32_t CodePointOf(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : byte;
}

std::optional<unsigned char> ByteOf(char32_t code_point) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    return static_cast<unsigned char>(code_point);
  }
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == code_point) return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    // Every windows-1252 character lies in the basic multilingual plane.
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at pos, refusing overlong forms, surrogates
// and anything past U+10FFFF.
std::optional<char32_t> DecodeUtf8(std::string_view text, size_t& pos) {
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  // Lead byte form, sequence length, and the smallest code point that
  // needs that length.
  struct Form {
    unsigned char mask, pattern;
    int length;
    char32_t minimum;
  };
  static constexpr Form kForms[] = {
      {0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};
  const Form* form = nullptr;
  for (const Form& f : kForms) {
    if ((lead & f.mask) == f.pattern) form = &f;
  }
  if (form == nullptr) return std::nullopt;
  const int length = form->length;
  char32_t cp = lead & static_cast<unsigned char>(~form->mask);
  if (text.size() - pos < static_cast<size_t>(length)) return std::nullopt;
  for (int i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < form->minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
  pos += length;
  return cp;
}

bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

std::optional<std::string> Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    std::optional<char32_t> cp = DecodeUtf8(utf8, pos);
    if (!cp) return std::nullopt;
    std::optional<unsigned char> byte = ByteOf(*cp);
    if (!byte) return std::nullopt;
    out += static_cast<char>(*byte);
  }
  return out;
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size());
  for (char c : cp1252) AppendUtf8(out, CodePointOf(static_cast<unsigned char>(c)));
  return out;
}

namespace {

constexpr unsigned char UpperOf(unsigned char b) {
  if (b >= 'a' && b <= 'z') return static_cast<unsigned char>(b - 0x20);
  // The Latin-1 lower-case letters sit 0x20 above their capitals, except
  // the division sign 0xF7; 0xFF's capital is 0x9F.
  if (b >= 0xE0 && b <= 0xFE && b != 0xF7) return static_cast<unsigned char>(b - 0x20);
  switch (b) {
    case 0x9A:
      return 0x8A;
    case 0x9C:
      return 0x8C;
    case 0x9E:
      return 0x8E;
    case 0xFF:
      return 0x9F;
    default:
      return b;
  }
}

// Names of tables, fields and aliases are compared without regard to case
// on every look-up: one load per byte.
constexpr auto kUpper = [] {
  std::array<unsigned char, 256> upper{};
  for (int b = 0; b < 256; ++b) upper[b] = UpperOf(static_cast<unsigned char>(b));
  return upper;
}();

unsigned char Upper(char c) {
  return kUpper[static_cast<unsigned char>(c)];
}

}  // namespace

char ToUpper1252(char c) {
  return static_cast<char>(Upper(c));
}

std::string ToUpper1252(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ToUpper1252(c);
  return out;
}

int CompareNoCase1252(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const int x = Upper(a[i]);
    const int y = Upper(b[i]);
    if (x != y) return x - y;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool EqualsNoCase1252(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNoCase1252(a, b) == 0;
}

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view Trim(std::string_view text) {
  return TrimRight(TrimLeft(text));
}

}  // namespace portavel
