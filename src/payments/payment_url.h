// The payment address a few installations keep in their own table
// (PMNT_URL). It is read at process start and kept; no page uses it yet.
#pragma once

#include <optional>
#include <string>

namespace portavel {

class Store;

// Creates the table when the installation has none, then reads the first
// row's URL; nullopt when there is no row or its URL is null.
std::optional<std::string> ReadPaymentUrl(Store& store);

}  // namespace portavel
