#include "web/dispatcher.h"

#include "text/cp1252.h"

namespace portavel {
namespace {

bool SameLetter(char a, char b) {
  return ToUpper1252(a) == ToUpper1252(b);
}

// Whether `c` is in the set "[...]" whose contents (between the brackets)
// are `set`: single characters, ranges "a-z", a leading "!" negates.
bool InSet(std::string_view set, char c) {
  bool negated = false;
  if (!set.empty() && set.front() == '!') {
    negated = true;
    set.remove_prefix(1);
  }
  const auto upper = [](char x) { return static_cast<unsigned char>(ToUpper1252(x)); };
  bool found = false;
  for (size_t i = 0; i < set.size() && !found; ++i) {
    if (i + 2 < set.size() && set[i + 1] == '-') {
      found = upper(c) >= upper(set[i]) && upper(c) <= upper(set[i + 2]);
      i += 2;
    } else {
      found = SameLetter(set[i], c);
    }
  }
  return found != negated;
}

// Matches one mask element (not "*") at `pos` against `c`; on a match,
// `next` is the position after the element. A "[" without its "]" is an
// ordinary character.
bool MatchesElement(std::string_view mask, size_t pos, char c, size_t& next) {
  if (mask[pos] == '?') {
    next = pos + 1;
    return true;
  }
  if (mask[pos] == '[') {
    const size_t first = pos + 1 < mask.size() && mask[pos + 1] == '!' ? pos + 2 : pos + 1;
    const size_t close = mask.find(']', first);
    if (close != std::string_view::npos) {
      next = close + 1;
      return InSet(mask.substr(pos + 1, close - pos - 1), c);
    }
  }
  next = pos + 1;
  return SameLetter(mask[pos], c);
}

bool MethodMatches(MethodType wanted, RequestMethod method) {
  switch (wanted) {
    case MethodType::mtAny:
      return true;
    case MethodType::mtGet:
      return method == RequestMethod::kGet;
    case MethodType::mtPost:
      return method == RequestMethod::kPost;
    case MethodType::mtPut:
      return method == RequestMethod::kPut;
    case MethodType::mtHead:
      return method == RequestMethod::kHead;
  }
  return false;
}

// True when the handler leaves the request handled. An item without a
// handler takes the request and writes nothing.
bool RunHandler(const ActionHandler& handler, const WebRequest& request, WebResponse& response) {
  bool handled = true;
  if (handler) handler(request, response, handled);
  return handled;
}

}  // namespace

bool MatchesMask(std::string_view mask, std::string_view text) {
  // Greedy matching that returns to the last "*" on a mismatch.
  size_t m = 0;
  size_t t = 0;
  size_t star_mask = std::string_view::npos;
  size_t star_text = 0;
  while (t < text.size()) {
    size_t next = 0;
    if (m < mask.size() && mask[m] == '*') {
      star_mask = ++m;
      star_text = t;
    } else if (m < mask.size() && MatchesElement(mask, m, text[t], next)) {
      m = next;
      ++t;
    } else if (star_mask != std::string_view::npos) {
      m = star_mask;
      t = ++star_text;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

bool DispatchRequest(const WebRequest& request, WebResponse& response,
                     const ActionHandler& before_dispatch, const std::vector<ActionItem>& items) {
  bool handled = false;
  if (before_dispatch) before_dispatch(request, response, handled);
  if (handled) return true;

  const ActionItem* default_item = nullptr;
  for (const ActionItem& item : items) {
    if (item.is_default && default_item == nullptr) default_item = &item;
    if (!item.enabled || !MethodMatches(item.method, request.method) ||
        !MatchesMask(item.path_info, request.path_info)) {
      continue;
    }
    if (RunHandler(item.handler, request, response)) return true;
  }
  // The default item takes whatever nobody took, unchecked.
  return default_item != nullptr && RunHandler(default_item->handler, request, response);
}

}  // namespace portavel
