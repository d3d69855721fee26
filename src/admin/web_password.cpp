#include "admin/web_password.h"

namespace portavel {

std::string StoredWebPassword(std::string_view password) {
  std::string stored(password.substr(0, kWebPasswordBytes - 1));
  stored.resize(kWebPasswordBytes, '\0');
  return stored;
}

}  // namespace portavel
