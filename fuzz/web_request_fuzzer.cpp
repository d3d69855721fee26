// The CGI request reader and its field lists: the CGI variables a web server
// sets from what a visitor sent, and the body on standard input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>

#include "web/field_list.h"
#include "web/web_request.h"

namespace {

// The variables are taken in this order, each up to a backslash and a
// newline (see the seeds); the rest is the body.
constexpr const char* kVariables[] = {"REQUEST_METHOD", "PATH_INFO",      "QUERY_STRING",
                                      "HTTP_COOKIE",    "CONTENT_LENGTH", "CONTENT_TYPE",
                                      "HTTP_REFERER"};

// Looks the fields up the way the pages do; the first item wins.
void ReadFields(const portavel::FieldList& fields) {
  if (!fields.items().empty()) {
    const portavel::FieldList::Item& first = fields.items().front();
    if (!fields.Contains(first.first) || fields.Value(first.first) != first.second) {
      __builtin_trap();
    }
  }
  (void)fields.Value("AccountID");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  std::map<std::string, std::string, std::less<>> variables;
  for (const char* name : kVariables) variables[name] = provider.ConsumeRandomLengthString();
  std::istringstream body(provider.ConsumeRemainingBytesAsString());

  auto environment = [&variables](std::string_view name) -> std::optional<std::string> {
    auto found = variables.find(name);
    if (found == variables.end()) return std::nullopt;
    return found->second;
  };
  try {
    portavel::WebRequest request = portavel::ReadCgiRequest(environment, body);
    ReadFields(request.query_fields);
    ReadFields(request.content_fields);
    ReadFields(request.cookie_fields);
    (void)request.Header("Referer");
  } catch (const portavel::BadRequestError&) {
    // A request that cannot be read is answered as such.
  }
  // The decoder on its own, with whatever the body holds.
  // Decoding never lengthens the text.
  if (portavel::PercentDecode(std::string_view(reinterpret_cast<const char*>(data), size)).size() >
      size) {
    __builtin_trap();
  }
  return 0;
}
