#include "dates/accounting_period.h"

namespace portavel {

std::string PeriodOf(DateTime date) {
  std::string month = std::to_string(date.month());
  if (month.size() < 2) month.insert(0, 1, '0');
  std::string period = std::to_string(date.year() % 100) + month;
  if (period.size() < 4) period.insert(0, 4 - period.size(), '0');
  return period;
}

}  // namespace portavel
