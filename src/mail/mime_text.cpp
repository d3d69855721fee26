#include "mail/mime_text.h"

#include <algorithm>

namespace portavel {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
// An encoded-word is at most 75 characters, the charset and markers
// included.
constexpr size_t kMaxEncodedWord = 75;
constexpr size_t kMaxBodyLine = 76;

bool IsControl(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

bool IsPlainAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; }) &&
         text.find("=?") == std::string_view::npos;
}

std::string HexEscape(unsigned char c) {
  return {'=', kHexDigits[c >> 4], kHexDigits[c & 0x0F]};
}

// A character that may stand for itself in a "Q" encoded-word anywhere,
// display names included.
bool IsEncodedWordLiteral(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '!' ||
         c == '*' || c == '+' || c == '-' || c == '/';
}

// The text as "Q" encoded-words, each within the length limit, folded
// onto continuation lines; the blank between them is not part of the text.
std::string EncodedWords(std::string_view text) {
  const std::string prefix = "=?" + std::string(kMailCharset) + "?Q?";
  const std::string suffix = "?=";
  const size_t room = kMaxEncodedWord - prefix.size() - suffix.size();
  std::string result;
  std::string word;
  auto flush = [&] {
    if (!result.empty()) result += "\r\n ";
    result += prefix + word + suffix;
    word.clear();
  };
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    std::string piece = c == ' '                  ? std::string("_")
                        : IsEncodedWordLiteral(c) ? std::string(1, ch)
                                                  : HexEscape(c);
    if (word.size() + piece.size() > room) flush();
    word += piece;
  }
  if (!word.empty() || result.empty()) flush();
  return result;
}

// RFC 5322 atext: what a display name may hold without quotes.
bool IsAtomText(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         std::string_view("!#$%&'*+-/=?^_`{|}~").find(static_cast<char>(c)) !=
             std::string_view::npos;
}

// Words of atext separated by single blanks.
bool IsPlainPhrase(std::string_view name) {
  if (name.empty() || name.front() == ' ' || name.back() == ' ') return false;
  if (name.find("  ") != std::string_view::npos) return false;
  return std::all_of(name.begin(), name.end(),
                     [](char c) { return c == ' ' || IsAtomText(static_cast<unsigned char>(c)); });
}

std::string QuotedString(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// One body line, encoded and broken with soft line breaks ("=" at the end
// of a line that continues on the next).
void AppendQuotedPrintableLine(std::string_view line, std::string& out) {
  size_t width = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    bool last = i + 1 == line.size();
    bool blank = c == ' ' || c == '\t';
    bool literal = (c >= 33 && c <= 126 && c != '=') || (blank && !last);
    std::string piece = literal ? std::string(1, line[i]) : HexEscape(c);
    // Keep room for the "=" of a soft break, unless this piece ends the line.
    size_t limit = last ? kMaxBodyLine : kMaxBodyLine - 1;
    if (width + piece.size() > limit) {
      out += "=\r\n";
      width = 0;
    }
    out += piece;
    width += piece.size();
  }
  out += "\r\n";
}

}  // namespace

std::string StripControlCharacters(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    if (!IsControl(static_cast<unsigned char>(c))) result += c;
  }
  return result;
}

std::string EncodeHeaderText(std::string_view text) {
  std::string clean = StripControlCharacters(text);
  return IsPlainAscii(clean) ? clean : EncodedWords(clean);
}

std::string EncodeDisplayName(std::string_view name) {
  std::string clean = StripControlCharacters(name);
  if (!IsPlainAscii(clean)) return EncodedWords(clean);
  return IsPlainPhrase(clean) ? clean : QuotedString(clean);
}

std::string FormatMailbox(std::string_view name, std::string_view address) {
  std::string clean_address = StripControlCharacters(address);
  if (StripControlCharacters(name).empty()) return clean_address;
  return EncodeDisplayName(name) + " <" + clean_address + ">";
}

std::string QuotedPrintableBody(const std::vector<std::string>& lines) {
  std::string body;
  for (const std::string& line : lines) AppendQuotedPrintableLine(line, body);
  return body;
}

}  // namespace portavel
