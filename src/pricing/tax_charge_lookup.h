// Whether the tax list of an account, or of a tank, names a tax and
// charges it. The answer decides what becomes of a line's link to that
// tax.
#pragma once

#include <cstdint>

namespace portavel {

class Store;

// The answers of the lookups.
inline constexpr int kTaxNotListed = 2;        // the list does not name the tax
inline constexpr int kTaxCharged = 1;          // both lists charge it
inline constexpr int kTaxListedUncharged = 0;  // taxable, but not charged
inline constexpr int kTaxNotCharged = -1;      // the list names it as not charged

// `wanted_charge` is the ChargeTax of the line's link. With a row in the
// list: kTaxCharged when both it and the row's ChargeTax are 1,
// kTaxNotCharged when it is 1 and the row's is 0, else kTaxListedUncharged.
// The first row of the list counts.
int LookupTankChargeTax(Store& store, int32_t tank_key, int32_t tax_key, int64_t wanted_charge);
int LookupAccountChargeTax(Store& store, int32_t account_key, int32_t tax_key,
                           int64_t wanted_charge);

}  // namespace portavel
