// Windows-1252 text made fit for the header and body of an e-mail:
// encoded-words for header text that is not plain ASCII, quoted-printable
// for the body, and no control characters in a header.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace portavel {

inline constexpr std::string_view kMailCharset = "windows-1252";

// The text without control characters. A carriage return or line feed in
// a header value would end the header and let the rest pose as headers of
// its own.
std::string StripControlCharacters(std::string_view text);

// Unstructured header text (Subject, Organization): plain ASCII as it
// stands, anything else as encoded-words.
std::string EncodeHeaderText(std::string_view text);
// A display name: plain words as they stand, other ASCII as a quoted
// string, anything else as encoded-words.
std::string EncodeDisplayName(std::string_view name);
// "Name <address>", or the bare address when the name is empty.
std::string FormatMailbox(std::string_view name, std::string_view address);

// The lines as a quoted-printable body: each line ends with CRLF, no line
// is longer than 76 characters, and blanks at a line's end are encoded.
std::string QuotedPrintableBody(const std::vector<std::string>& lines);

}  // namespace portavel
