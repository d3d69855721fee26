// A request document as it may be written to a trace: card data and the
// gateway's secret replaced, everything else as sent.
#pragma once

#include <string>

#include <pugixml.hpp>

namespace portavel {

// The serialized text of a copy of the request in which every card number
// is masked to its last four digits, and the CVN, the track data and the
// transaction key read "****". The request itself is left as it is.
std::string MaskedRequestText(const pugi::xml_document& request);

}  // namespace portavel
