// The request documents JetPay takes: a header naming the terminal, the
// program and the transaction, then the sale itself.
#pragma once

#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "money/money.h"

namespace portavel {

struct JetPayHeader {
  std::string terminal_id;
  std::string version_text;  // "Version 1.0.0.0"
  std::string transaction_id;
};

// Makes the root element of an empty document and its header children.
pugi::xml_node BuildJetPayHeader(pugi::xml_document& document, std::string_view kind,
                                 const JetPayHeader& header);

struct JetPayEnteredCard {
  std::string card_number;
  bool card_present = false;
  std::string zip;
  std::string street;
  std::string track_data;  // a swiped card; the pages never send one
  std::string cvn;
  std::string expiry;  // MMYY
};

void AppendJetPayEnteredCardSale(pugi::xml_node root, const JetPayEnteredCard& card, Money amount);
// `token` is the stored-card reference JetPay gave for the account's card.
void AppendJetPayStoredCardSale(pugi::xml_node root, std::string_view token, Money amount);

// The amount as whole cents, rounded down, in decimal: 45.50 gives "4550".
std::string AmountInCents(Money amount);

}  // namespace portavel
