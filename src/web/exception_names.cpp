#include "web/exception_names.h"

#include <filesystem>
#include <ios>
#include <new>
#include <stdexcept>

#include "config/config_error.h"
#include "data/key_broker.h"
#include "data/not_found_error.h"
#include "data/table_access.h"
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

std::string VisitorMessage(const std::exception& error) {
  if (dynamic_cast<const StoreError*>(&error)) return "Database error";
  if (dynamic_cast<const ConfigError*>(&error)) return "Configuration error";
  if (dynamic_cast<const std::filesystem::filesystem_error*>(&error) ||
      dynamic_cast<const std::ios_base::failure*>(&error)) {
    return "File error";
  }
  return error.what();
}

std::string FullMessage(const std::exception& error) {
  std::string message = error.what();
  if (const auto* edit = dynamic_cast<const EEditFailed*>(&error)) {
    if (!edit->detail().empty()) message += ": " + edit->detail();
  }
  return message;
}

}  // namespace portavel
