// Dates and times as typed on the pages, read in the order of the locale's
// short date pattern.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>

#include "dates/date_format.h"

namespace {

// The first byte picks the short date pattern, the second the separator.
portavel::LocaleFormats PickLocale(const uint8_t* data, size_t size) {
  static const char* const kShortDates[] = {"m/d/yyyy", "d/m/yyyy", "yyyy/mm/dd", "dd/mm/yy",
                                            "mm-dd-yy"};
  static const char kSeparators[] = {'/', '-', '.'};
  portavel::LocaleFormats locale;
  if (size > 0) locale.short_date = kShortDates[data[0] % std::size(kShortDates)];
  if (size > 1) locale.date_separator = kSeparators[data[1] % std::size(kSeparators)];
  return locale;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const portavel::LocaleFormats locale = PickLocale(data, size);
  const size_t skipped = size < 2 ? size : 2;
  const std::string text(reinterpret_cast<const char*>(data) + skipped, size - skipped);

  if (std::optional<portavel::DateTime> date = portavel::ParseShortDate(text, locale)) {
    // A date read from a page prints, and reads back as the same date
    // where the pattern keeps the century.
    const std::string printed = portavel::FormatShortDate(*date, locale);
    if (locale.short_date.find("yyyy") != std::string::npos &&
        portavel::ParseShortDate(printed, locale) != date) {
      __builtin_trap();
    }
  }
  if (std::optional<portavel::DateTime> time = portavel::ParseLongTime(text)) {
    (void)portavel::FormatLongTime(*time, locale);
  }
  return 0;
}
