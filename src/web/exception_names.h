#pragma once

#include <exception>
#include <string>

namespace portavel {

// The class name the error page shows for an exception.
std::string ExceptionClassName(const std::exception& error);

}  // namespace portavel
