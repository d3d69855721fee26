// Text is windows-1252 bytes throughout the program; these convert at the
// edges (JSON files, terminals) and compare without regard to case.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace portavel {

// UTF-8 to windows-1252. A character windows-1252 cannot hold, or bytes
// that are not UTF-8, give nullopt.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);
std::string Cp1252ToUtf8(std::string_view cp1252);

// Case folding of windows-1252 letters (ASCII, the accented Latin-1
// letters, and the letter pairs of 0x8A/0x9A, 0x8C/0x9C, 0x8E/0x9E,
// 0x9F/0xFF).
char ToUpper1252(char c);
std::string ToUpper1252(std::string_view text);
// <0, 0, >0 like memcmp, comparing the upper-cased bytes.
int CompareNoCase1252(std::string_view a, std::string_view b);
bool EqualsNoCase1252(std::string_view a, std::string_view b);

// Removes leading and trailing characters at or below the blank (control
// characters and blanks), as the desktop program's trim does.
std::string_view Trim(std::string_view text);
std::string_view TrimLeft(std::string_view text);
std::string_view TrimRight(std::string_view text);

}  // namespace portavel
