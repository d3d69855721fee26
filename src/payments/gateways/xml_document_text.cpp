#include "payments/gateways/xml_document_text.h"

#include <sstream>
#include <vector>

#include "text/cp1252.h"

namespace portavel {

namespace {

// The reasons the desktop program's XML parser gives, so that event-log
// lines read the same.
constexpr const char* kNoTopLevelElement = "XML document must have a top level element.";
constexpr const char* kTextAtTopLevel = "Invalid at the top level of the document.";
constexpr const char* kSecondTopLevelElement =
    "Only one top level element is allowed in an XML document.";

std::string_view LocalName(const char* name) {
  std::string_view full(name);
  size_t colon = full.find(':');
  return colon == std::string_view::npos ? full : full.substr(colon + 1);
}

bool NameMatches(const pugi::xml_node& node, std::string_view name) {
  return node.type() == pugi::node_element && LocalName(node.name()) == name;
}

std::vector<std::string_view> PathSteps(std::string_view path) {
  std::vector<std::string_view> steps;
  while (!path.empty()) {
    size_t slash = path.find('/');
    std::string_view step = path.substr(0, slash);
    if (!step.empty()) steps.push_back(step);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return steps;
}

pugi::xml_node FindAlongPath(const pugi::xml_node& parent,
                             const std::vector<std::string_view>& steps, size_t step) {
  for (pugi::xml_node child : parent.children()) {
    if (!NameMatches(child, steps[step])) continue;
    if (step + 1 == steps.size()) return child;
    if (pugi::xml_node found = FindAlongPath(child, steps, step + 1)) return found;
  }
  return {};
}

size_t Utf8SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

pugi::xml_node AppendElement(pugi::xml_node parent, const char* name, std::string_view text) {
  pugi::xml_node element = parent.append_child(name);
  if (!text.empty()) element.text().set(Cp1252ToUtf8(text).c_str());
  return element;
}

std::string SerializeXml(const pugi::xml_document& document) {
  std::ostringstream out;
  document.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

std::optional<std::string> LoadXml(pugi::xml_document& document, std::string_view text) {
  // pugixml skips stray text at the top level; parsing as a fragment keeps
  // it, so that it can be refused here as a strict parser would.
  constexpr unsigned kOptions =
      pugi::parse_default | pugi::parse_fragment | pugi::parse_declaration | pugi::parse_doctype;
  pugi::xml_parse_result parsed =
      document.load_buffer(text.data(), text.size(), kOptions, pugi::encoding_utf8);
  std::optional<std::string> reason;
  if (!parsed) {
    reason = parsed.description();
  } else {
    int elements = 0;
    for (pugi::xml_node child : document.children()) {
      if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
        reason = kTextAtTopLevel;
        break;
      }
      if (child.type() == pugi::node_element && ++elements > 1) {
        reason = kSecondTopLevelElement;
        break;
      }
    }
    if (!reason && elements == 0) reason = kNoTopLevelElement;
  }
  if (reason) document.reset();
  return reason;
}

pugi::xml_node ElementNamed(const pugi::xml_node& root, std::string_view name, size_t index) {
  pugi::xml_node found;
  size_t seen = 0;
  root.find_node([&](const pugi::xml_node& node) {
    if (!NameMatches(node, name) || seen++ != index) return false;
    found = node;
    return true;
  });
  return found;
}

pugi::xml_node ChildNamed(const pugi::xml_node& parent, std::string_view name) {
  for (pugi::xml_node child : parent.children()) {
    if (NameMatches(child, name)) return child;
  }
  return {};
}

pugi::xml_node SelectPath(const pugi::xml_document& document, std::string_view path) {
  std::vector<std::string_view> steps = PathSteps(path);
  if (steps.empty()) return {};
  return FindAlongPath(document, steps, 0);
}

std::string NodeText(const pugi::xml_node& node) {
  std::string utf8;
  if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) utf8 = node.value();
  node.find_node([&](const pugi::xml_node& inner) {
    if (inner.type() == pugi::node_pcdata || inner.type() == pugi::node_cdata)
      utf8 += inner.value();
    return false;
  });
  return GatewayTextToCp1252(utf8);
}

std::string RequiredText(const pugi::xml_node& node, std::string_view name) {
  if (!node) throw MissingElementError("No " + std::string(name) + " element in the answer");
  return NodeText(node);
}

std::string RequiredElementText(const pugi::xml_node& root, std::string_view name) {
  return RequiredText(ElementNamed(root, name), name);
}

std::optional<std::string> DecidingText(const pugi::xml_node& root, std::string_view name) {
  pugi::xml_node element = ElementNamed(root, name);
  if (!element || ElementNamed(root, name, 1)) return std::nullopt;
  const std::string text = NodeText(element);
  // Blanks around a code are layout, not part of it.
  const std::string_view code = Trim(text);
  if (code.empty()) return std::nullopt;
  return std::string(code);
}

std::string GatewayTextToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    size_t length = Utf8SequenceLength(static_cast<unsigned char>(utf8[i]));
    bool complete = length != 0 && i + length <= utf8.size();
    for (size_t k = 1; complete && k < length; ++k) {
      complete = (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80;
    }
    if (!complete) {
      out += '?';
      ++i;
      continue;
    }
    std::optional<std::string> converted = Utf8ToCp1252(utf8.substr(i, length));
    out += converted ? *converted : std::string("?");
    i += length;
  }
  return out;
}

}  // namespace portavel
