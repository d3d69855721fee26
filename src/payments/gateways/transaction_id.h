// The transaction id that JetPay requires on every request: unique per
// request, drawn from a new GUID.
#pragma once

#include <string>

namespace portavel {

class Platform;

// 18 upper-case hexadecimal digits: from the GUID's registry form, the
// first group, the second group, and the last three digits of the third
// and of the fourth. Throws std::runtime_error when no GUID can be made.
std::string NewTransactionId(Platform& platform);

}  // namespace portavel
