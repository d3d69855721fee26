#include "dates/date_format.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

namespace portavel {
namespace {

// Pattern letters and AM/PM markers are ASCII; other bytes (windows-1252
// letters included) stay as they are, as in the "C" locale.
char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool StartsWithNoCase(std::string_view text, size_t pos, std::string_view prefix) {
  if (text.size() - pos < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Upper(text[pos + i]) != Upper(prefix[i])) return false;
  }
  return true;
}

// An hour letter uses the 12-hour clock when the next "a" or "h" after it,
// outside quotes, starts "am/pm" or "ampm".
bool UsesTwelveHourClock(std::string_view pattern, size_t pos) {
  char quote = 0;
  for (; pos < pattern.size(); ++pos) {
    char c = pattern[pos];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (Upper(c) == 'H') {
      return false;
    } else if (Upper(c) == 'A') {
      return StartsWithNoCase(pattern, pos, "am/pm") || StartsWithNoCase(pattern, pos, "ampm");
    }
  }
  return false;
}

// Length of the run of `c` (either case) at pos.
size_t RunLength(std::string_view pattern, size_t pos) {
  size_t end = pos;
  while (end < pattern.size() && Upper(pattern[end]) == Upper(pattern[pos])) ++end;
  return end - pos;
}

// Reads one unsigned number of 1..max_digits digits at pos.
bool ReadNumber(std::string_view text, size_t& pos, size_t max_digits, int& value) {
  size_t start = pos;
  value = 0;
  while (pos < text.size() && pos - start < max_digits && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + (text[pos++] - '0');
  }
  return pos > start && (pos == text.size() || text[pos] < '0' || text[pos] > '9');
}

void SkipBlanks(std::string_view text, size_t& pos) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
}

// A pattern read once into the parts it prints; a column of dates is
// formatted with one pattern, so the reading is kept (see CachedPattern).
enum class PartKind : uint8_t {
  kText,  // text[offset, offset + length) as it is
  kDateSeparator,
  kTimeSeparator,
  kYear,  // digits 2: the year of the century
  kMonth,
  kDay,
  kHour,
  kTwelveHour,
  kMinute,
  kSecond,
  kMillisecond,
  kAmPmAsWritten,  // text[offset, offset + 5) is the pattern's "am/pm"
  kAmPmUpper,
};

struct PatternPart {
  PartKind kind = PartKind::kText;
  uint8_t digits = 0;  // at least this many, zero-padded
  uint32_t offset = 0;
  uint32_t length = 0;
};

struct DatePattern {
  std::vector<PatternPart> parts;
  std::string text;  // the literal text the parts refer to

  void AddText(std::string_view literal) {
    if (literal.empty()) return;
    if (parts.empty() || parts.back().kind != PartKind::kText) {
      parts.push_back({PartKind::kText, 0, static_cast<uint32_t>(text.size()), 0});
    }
    text += literal;
    parts.back().length += static_cast<uint32_t>(literal.size());
  }
  void Add(PartKind kind, size_t digits) {
    parts.push_back({kind, static_cast<uint8_t>(digits), 0, 0});
  }
};

DatePattern ReadPattern(std::string_view pattern) {
  DatePattern result;
  char last_letter = 0;  // the previous pattern letter, so "m" after "h" means minutes
  size_t pos = 0;
  while (pos < pattern.size()) {
    const char c = pattern[pos];
    if (c == '"' || c == '\'') {
      size_t close = pattern.find(c, pos + 1);
      if (close == std::string_view::npos) close = pattern.size();
      result.AddText(pattern.substr(pos + 1, close - pos - 1));
      pos = close + 1;
      continue;
    }
    char token = Upper(c);
    if (token < 'A' || token > 'Z') {
      if (c == '/') {
        result.Add(PartKind::kDateSeparator, 0);
      } else if (c == ':') {
        result.Add(PartKind::kTimeSeparator, 0);
      } else {
        result.AddText(pattern.substr(pos, 1));
      }
      ++pos;
      continue;
    }
    if (token == 'M' && last_letter == 'H') token = 'N';
    last_letter = token;
    const size_t run = RunLength(pattern, pos);
    switch (token) {
      case 'Y':
        result.Add(PartKind::kYear, run <= 2 ? 2 : 4);
        pos += run;
        break;
      case 'M':
      case 'D':
      case 'N':
      case 'S': {
        const size_t count = run < 2 ? 1 : 2;
        result.Add(token == 'M'   ? PartKind::kMonth
                   : token == 'D' ? PartKind::kDay
                   : token == 'N' ? PartKind::kMinute
                                  : PartKind::kSecond,
                   count);
        pos += count;
        break;
      }
      case 'H': {
        const size_t count = run < 2 ? 1 : 2;
        result.Add(
            UsesTwelveHourClock(pattern, pos + count) ? PartKind::kTwelveHour : PartKind::kHour,
            count);
        pos += count;
        break;
      }
      case 'Z':
        result.Add(PartKind::kMillisecond, run <= 2 ? 1 : 3);
        pos += run;
        break;
      case 'A':
        if (StartsWithNoCase(pattern, pos, "am/pm")) {
          // Written in the pattern's own case, as "am/pm" or "AM/PM".
          result.parts.push_back(
              {PartKind::kAmPmAsWritten, 0, static_cast<uint32_t>(result.text.size()), 5});
          result.text += pattern.substr(pos, 5);
          pos += 5;
        } else if (StartsWithNoCase(pattern, pos, "ampm")) {
          result.Add(PartKind::kAmPmUpper, 0);
          pos += 4;
        } else {
          result.AddText(pattern.substr(pos, 1));
          ++pos;
        }
        break;
      default:
        result.AddText(pattern.substr(pos, 1));
        ++pos;
        break;
    }
  }
  return result;
}

// The few patterns in use (a table's date columns, the log's time stamp)
// are read once per thread and kept.
constexpr size_t kCachedPatterns = 4;

const DatePattern& CachedPattern(std::string_view pattern) {
  struct Cache {
    std::string key[kCachedPatterns];
    DatePattern read[kCachedPatterns];
    bool used[kCachedPatterns] = {};
    size_t next_victim = 0;
  };
  thread_local Cache cache;
  for (size_t i = 0; i < kCachedPatterns; ++i) {
    if (cache.used[i] && cache.key[i] == pattern) return cache.read[i];
  }
  DatePattern read = ReadPattern(pattern);
  const size_t slot = cache.next_victim;
  cache.next_victim = (slot + 1) % kCachedPatterns;
  cache.used[slot] = false;  // if the copy below throws, the slot stays unused
  cache.read[slot] = std::move(read);
  cache.key[slot].assign(pattern);
  cache.used[slot] = true;
  return cache.read[slot];
}

// Writes value with at least min_digits characters, zero-padded after a
// minus sign, as printf's "%0*d" does; returns the end. Needs 11 + 4 bytes.
char* WriteNumber(char* out, int value, int min_digits) {
  // Months, days, hours, minutes, seconds and two-digit years.
  if (value >= 0 && value < 100 && min_digits <= 2) {
    if (value >= 10 || min_digits == 2) *out++ = static_cast<char>('0' + value / 10);
    *out++ = static_cast<char>('0' + value % 10);
    return out;
  }
  unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  if (value < 0) {
    *out++ = '-';
    --min_digits;
  }
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  for (int i = count; i < min_digits; ++i) *out++ = '0';
  while (count > 0) *out++ = digits[--count];
  return out;
}

// Collects the formatted text in a stack buffer; a date takes one string
// allocation at most, and none for short text.
class TextWriter {
 public:
  // Room for any part but literal text: a number (with its padding) or a
  // separator.
  static constexpr size_t kMaxPart = 16;

  char* Reserve(size_t size) {
    if (static_cast<size_t>(std::end(buffer_) - end_) < size) Flush();
    return end_;
  }
  void Commit(char* end) { end_ = end; }
  void Append(std::string_view text) {
    if (text.size() > kMaxPart) {
      Flush();
      spilled_ += text;
    } else {
      // Mostly a single separator such as "-": not worth a memcpy call.
      char* out = Reserve(text.size());
      for (size_t i = 0; i < text.size(); ++i) out[i] = text[i];
      end_ = out + text.size();
    }
  }
  std::string Finish() {
    if (spilled_.empty()) return std::string(buffer_, end_);
    Flush();
    return std::move(spilled_);
  }

 private:
  void Flush() {
    spilled_.append(buffer_, end_);
    end_ = buffer_;
  }

  char buffer_[64];
  char* end_ = buffer_;
  std::string spilled_;
};

const LocaleFormats& DefaultLocale() {
  static const LocaleFormats locale;
  return locale;
}

}  // namespace

std::string FormatDateTime(std::string_view pattern, DateTime value, const LocaleFormats& locale) {
  const DatePattern& read = CachedPattern(pattern);
  const std::string_view text = read.text;
  TextWriter writer;
  for (const PatternPart& part : read.parts) {
    if (part.kind == PartKind::kText) {
      writer.Append(text.substr(part.offset, part.length));
      continue;
    }
    char* out = writer.Reserve(TextWriter::kMaxPart);
    switch (part.kind) {
      case PartKind::kText:
        break;
      case PartKind::kDateSeparator:
        *out++ = locale.date_separator;
        break;
      case PartKind::kTimeSeparator:
        *out++ = locale.time_separator;
        break;
      case PartKind::kYear:
        out = WriteNumber(out, part.digits == 2 ? value.year() % 100 : value.year(), part.digits);
        break;
      case PartKind::kMonth:
        out = WriteNumber(out, value.month(), part.digits);
        break;
      case PartKind::kDay:
        out = WriteNumber(out, value.day_of_month(), part.digits);
        break;
      case PartKind::kHour:
        out = WriteNumber(out, value.hour(), part.digits);
        break;
      case PartKind::kTwelveHour: {
        int hour = value.hour();
        if (hour == 0) {
          hour = 12;
        } else if (hour > 12) {
          hour -= 12;
        }
        out = WriteNumber(out, hour, part.digits);
        break;
      }
      case PartKind::kMinute:
        out = WriteNumber(out, value.minute(), part.digits);
        break;
      case PartKind::kSecond:
        out = WriteNumber(out, value.second(), part.digits);
        break;
      case PartKind::kMillisecond:
        out = WriteNumber(out, value.millisecond(), part.digits);
        break;
      case PartKind::kAmPmAsWritten: {
        const char* marker = text.data() + part.offset + (value.hour() >= 12 ? 3 : 0);
        *out++ = marker[0];
        *out++ = marker[1];
        break;
      }
      case PartKind::kAmPmUpper:
        *out++ = value.hour() >= 12 ? 'P' : 'A';
        *out++ = 'M';
        break;
    }
    writer.Commit(out);
  }
  return writer.Finish();
}

std::string FormatDateTime(std::string_view pattern, DateTime value) {
  return FormatDateTime(pattern, value, DefaultLocale());
}

std::string FormatMmDdYy(DateTime value) {
  return FormatDateTime("mm-dd-yy", value);
}

std::string FormatShortDate(DateTime value) {
  return FormatShortDate(value, DefaultLocale());
}

std::string FormatShortDate(DateTime value, const LocaleFormats& locale) {
  return FormatDateTime(locale.short_date, value, locale);
}

std::string FormatLongTime(DateTime value) {
  return FormatLongTime(value, DefaultLocale());
}

std::string FormatLongTime(DateTime value, const LocaleFormats& locale) {
  return FormatDateTime(locale.long_time, value, locale);
}

std::optional<DateTime> ParseShortDate(std::string_view text, const LocaleFormats& locale) {
  // The field order is the order of the first d, m and y of the pattern.
  std::string order;
  for (char c : locale.short_date) {
    char u = Upper(c);
    if ((u == 'D' || u == 'M' || u == 'Y') && order.find(u) == std::string::npos) order += u;
  }
  if (order.size() != 3) return std::nullopt;

  int fields[3];
  size_t digits[3];
  size_t pos = 0;
  SkipBlanks(text, pos);
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != locale.date_separator) return std::nullopt;
      ++pos;
    }
    size_t start = pos;
    if (!ReadNumber(text, pos, 4, fields[i])) return std::nullopt;
    digits[i] = pos - start;
  }
  SkipBlanks(text, pos);
  if (pos != text.size()) return std::nullopt;

  int year = 0, month = 0, day = 0;
  for (int i = 0; i < 3; ++i) {
    if (order[i] == 'Y') {
      year = fields[i];
      if (digits[i] <= 2) year += year < 50 ? 2000 : 1900;
    } else if (order[i] == 'M') {
      month = fields[i];
    } else {
      day = fields[i];
    }
  }
  return DateTime::FromCivil(year, month, day);
}

std::optional<DateTime> ParseLongTime(std::string_view text) {
  int hour = 0, minute = 0, second = 0;
  size_t pos = 0;
  SkipBlanks(text, pos);
  if (!ReadNumber(text, pos, 2, hour)) return std::nullopt;
  if (pos >= text.size() || text[pos] != ':') return std::nullopt;
  ++pos;
  if (!ReadNumber(text, pos, 2, minute)) return std::nullopt;
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    if (!ReadNumber(text, pos, 2, second)) return std::nullopt;
  }
  SkipBlanks(text, pos);
  const bool am = StartsWithNoCase(text, pos, "AM");
  const bool pm = StartsWithNoCase(text, pos, "PM");
  if (am || pm) {
    if (hour < 1 || hour > 12) return std::nullopt;
    hour = hour % 12 + (pm ? 12 : 0);
    pos += 2;
    SkipBlanks(text, pos);
  }
  if (pos != text.size()) return std::nullopt;
  std::optional<DateTime> time = DateTime::FromCivil(1899, 12, 30, hour, minute, second);
  if (!time) return std::nullopt;
  return time->TimeOnly();
}

}  // namespace portavel
