// The request documents of Authorize.Net's XML API: a root named after the
// request kind with the merchant's login, then the request itself.
#pragma once

#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "money/money.h"

namespace portavel {

// Appended to the base address.
inline constexpr const char* kAnetServicePath = "xml/v1/request.api";

struct AnetLogin {
  std::string api_login_id;
  std::string transaction_key;
};

// Makes the root element of an empty document and its
// merchantAuthentication child.
pugi::xml_node BuildAnetHeader(pugi::xml_document& document, std::string_view kind,
                               const AnetLogin& login);

struct AnetEnteredCard {
  std::string card_number;
  std::string expiry;  // YYYY-MM, passed on unchanged
  std::string cvn;
};

void AppendAnetEnteredCardSale(pugi::xml_node root, Money amount, const AnetEnteredCard& card,
                               std::string_view invoice_number);

// The card on file: the customer profile and its payment profile kept at
// Authorize.Net.
void AppendAnetStoredCardSale(pugi::xml_node root, Money amount,
                              std::string_view customer_profile_id,
                              std::string_view payment_profile_id, std::string_view invoice_number);

void AppendProfileDeletion(pugi::xml_node root, std::string_view customer_profile_id);

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Authorize.Net puts a UTF-8 byte-order mark in front of its answers;
// this drops it. An answer without one loses its first byte instead, as
// it always has, so an answer that does not start with the mark does not
// parse.
std::string_view DropAnswerLead(std::string_view answer);

}  // namespace portavel
