#include "web/exception_names.h"

#include <new>
#include <stdexcept>

#include "config/config_error.h"
#include "data/key_broker.h"
#include "data/not_found_error.h"
#include "data/value.h"
#include "web/web_request.h"

namespace portavel {

std::string ExceptionClassName(const std::exception& error) {
  if (dynamic_cast<const StoreError*>(&error)) return "EDatabaseError";
  if (dynamic_cast<const ConfigError*>(&error)) return "EConfigError";
  if (dynamic_cast<const KeyDrawError*>(&error)) return "Exception";
  if (dynamic_cast<const ENotFoundException*>(&error)) return "ENotFoundException";
  if (dynamic_cast<const BadRequestError*>(&error)) return "EBadRequest";
  if (dynamic_cast<const std::bad_alloc*>(&error)) return "EOutOfMemory";
  if (dynamic_cast<const std::invalid_argument*>(&error)) return "EConvertError";
  return "Exception";
}

}  // namespace portavel
