// Building, sending and reading the XML documents of the card gateways.
// The documents hold UTF-8 while the program's text is windows-1252, so
// every text passes through here on its way into or out of a document.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace portavel {

// An element the program reads is not in the answer.
class MissingElementError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Appends an element; the text (windows-1252) is left out when empty.
pugi::xml_node AppendElement(pugi::xml_node parent, const char* name, std::string_view text = {});

// The document as it is sent: no XML declaration, no indentation.
std::string SerializeXml(const pugi::xml_document& document);

// Loads UTF-8 text as a whole document: exactly one top-level element,
// with only markup and blanks around it. On failure the document is left
// empty and the reason is returned.
std::optional<std::string> LoadXml(pugi::xml_document& document, std::string_view text);

// Lookups by element name; a prefix on a name in the document is ignored,
// so the namespace an answer declares takes no part. An empty node when
// there is none.
// The element at index `index` (from 0) among all elements of that name,
// in document order.
pugi::xml_node ElementNamed(const pugi::xml_node& root, std::string_view name, size_t index = 0);
// The first child element of that name, only one level down.
pugi::xml_node ChildNamed(const pugi::xml_node& parent, std::string_view name);
// The first element, in document order, at a path such as "/a/b/c" below
// the document.
pugi::xml_node SelectPath(const pugi::xml_document& document, std::string_view path);

// The text inside an element, in windows-1252; a character windows-1252
// cannot hold becomes "?".
std::string NodeText(const pugi::xml_node& node);
// The same, throwing MissingElementError for an empty node.
std::string RequiredText(const pugi::xml_node& node, std::string_view name);
// The text of the first element of that name; MissingElementError when
// there is none.
std::string RequiredElementText(const pugi::xml_node& root, std::string_view name);

// The text of the element that decides a charge, without blanks around
// it: the only element of that name in the document, not blank. nullopt when there is none, when
// there are two or more (even agreeing ones: the answer is not what the gateway is known to send)
// or when it is blank.
std::optional<std::string> DecidingText(const pugi::xml_node& root, std::string_view name);

// Bytes from a gateway (UTF-8) as windows-1252, with "?" for what does
// not convert.
std::string GatewayTextToCp1252(std::string_view utf8);

}  // namespace portavel
