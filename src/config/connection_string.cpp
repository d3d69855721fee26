#include "config/connection_string.h"

#include <optional>
#include <utility>
#include <vector>

namespace portavel {
namespace {

// The messages never quote the string: it may hold a secret.
constexpr std::string_view kNotAConnectionString =
    "not a libpq connection string (keyword=value settings, or a postgresql:// URI)";
constexpr std::string_view kUnterminatedQuote =
    "not a libpq connection string: a quoted value has no closing '";
constexpr std::string_view kKeepThePasswordApart =
    "; keep it in a libpq password file (~/.pgpass, PGPASSFILE or passfile=) or a service file "
    "(PGSERVICEFILE or service=)";

std::string PasswordProblem(std::string_view where) {
  return "must not hold a password (" + std::string(where) + ")" +
         std::string(kKeepThePasswordApart);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// libpq's keywords are words of letters and underscores. Anything else
// is a mistyped string (an upper-case URI scheme, a stray character) that
// libpq would refuse too, quoting the text, password and all, in its
// message.
bool IsKeyword(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) {
      return false;
    }
  }
  return true;
}

using Settings = std::vector<std::pair<std::string, std::string>>;

// The keyword=value form: blanks around "=" are allowed; a value is either
// quoted ('a b') or runs to the next blank; a backslash takes the next
// character as it is, inside quotes and out.
std::optional<Settings> ParseKeywords(std::string_view text, std::string* problem) {
  Settings settings;
  size_t i = 0;
  while (i < text.size()) {
    if (IsBlank(text[i])) {
      ++i;
      continue;
    }
    size_t name_start = i;
    while (i < text.size() && text[i] != '=' && !IsBlank(text[i])) ++i;
    std::string name(text.substr(name_start, i - name_start));
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i == text.size() || text[i] != '=' || !IsKeyword(name)) {
      *problem = kNotAConnectionString;
      return std::nullopt;
    }
    ++i;
    while (i < text.size() && IsBlank(text[i])) ++i;
    std::string value;
    if (i < text.size() && text[i] == '\'') {
      ++i;
      while (true) {
        if (i == text.size()) {
          *problem = kUnterminatedQuote;
          return std::nullopt;
        }
        if (text[i] == '\\') {
          if (++i < text.size()) value += text[i++];
        } else if (text[i] == '\'') {
          ++i;
          break;
        } else {
          value += text[i++];
        }
      }
    } else {
      while (i < text.size() && !IsBlank(text[i])) {
        if (text[i] == '\\') {
          if (++i < text.size()) value += text[i++];
        } else {
          value += text[i++];
        }
      }
    }
    settings.emplace_back(std::move(name), std::move(value));
  }
  return settings;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> PercentDecoded(std::string_view text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    int high = HexDigit(text[i + 1]);
    int low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

bool HasUriScheme(std::string_view text) {
  return text.starts_with("postgresql://") || text.starts_with("postgres://");
}

// A dbname value that is itself a connection string is taken as one by
// libpq's expand_dbname, so its password would count too.
std::string DbnameProblem(std::string_view dbname) {
  if (!HasUriScheme(dbname) && dbname.find('=') == std::string_view::npos) return "";
  return ConnectionStringProblem(dbname);
}

// postgresql://[user[:password]@][hosts][/dbname][?keyword=value&...]
std::string UriProblem(std::string_view uri) {
  std::string_view rest = uri.substr(uri.find("://") + 3);
  // libpq takes everything before the first "@" that comes before any "/"
  // as the user part, and what follows a ":" in it as the password.
  size_t user_end = rest.find_first_of("@/");
  if (user_end != std::string_view::npos && rest[user_end] == '@') {
    if (rest.substr(0, user_end).find(':') != std::string_view::npos) {
      return PasswordProblem("user:password@");
    }
    rest.remove_prefix(user_end + 1);
  }
  size_t query_start = rest.find('?');
  std::string_view query =
      query_start == std::string_view::npos ? std::string_view() : rest.substr(query_start + 1);
  std::string_view location = rest.substr(0, query_start);
  if (size_t slash = location.find('/'); slash != std::string_view::npos) {
    std::optional<std::string> dbname = PercentDecoded(location.substr(slash + 1));
    if (!dbname) return std::string(kNotAConnectionString);
    if (std::string problem = DbnameProblem(*dbname); !problem.empty()) return problem;
  }
  while (!query.empty()) {
    size_t end = query.find('&');
    std::string_view parameter = query.substr(0, end);
    query = end == std::string_view::npos ? std::string_view() : query.substr(end + 1);
    size_t equals = parameter.find('=');
    if (equals == std::string_view::npos) return std::string(kNotAConnectionString);
    std::optional<std::string> name = PercentDecoded(parameter.substr(0, equals));
    std::optional<std::string> value = PercentDecoded(parameter.substr(equals + 1));
    if (!name || !value) return std::string(kNotAConnectionString);
    if (*name == "password") return PasswordProblem("?password=");
    if (*name == "dbname") {
      if (std::string problem = DbnameProblem(*value); !problem.empty()) return problem;
    }
  }
  return "";
}

}  // namespace

std::string ConnectionStringProblem(std::string_view conninfo) {
  if (HasUriScheme(conninfo)) return UriProblem(conninfo);
  std::string problem;
  std::optional<Settings> settings = ParseKeywords(conninfo, &problem);
  if (!settings) return problem;
  for (const auto& [name, value] : *settings) {
    if (name == "password") return PasswordProblem("password=");
    if (name == "dbname") {
      if (std::string nested = DbnameProblem(value); !nested.empty()) return nested;
    }
  }
  return "";
}

}  // namespace portavel
