#include "dates/accounting_period.h"

#include <gtest/gtest.h>

namespace portavel {
namespace {

TEST(PeriodOf, YearModuloHundredThenTwoDigitMonth) {
  struct Case {
    int year, month, day;
    const char* period;
  };
  const Case cases[] = {
      {2024, 3, 15, "2403"},  {2005, 3, 15, "0503"},  {2000, 11, 2, "0011"},
      {2009, 12, 1, "0912"},  {2009, 12, 31, "0912"}, {2000, 1, 1, "0001"},
      {1999, 10, 31, "9910"}, {2010, 1, 31, "1001"},  {9999, 12, 31, "9912"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PeriodOf(*DateTime::FromCivil(c.year, c.month, c.day, 23, 59)), c.period)
        << c.year << "-" << c.month << "-" << c.day;
  }
}

}  // namespace
}  // namespace portavel
