#pragma once

#include <exception>
#include <string>

namespace portavel {

// The class name the error page shows for an exception.
std::string ExceptionClassName(const std::exception& error);

// The message the error page shows. The program's own messages are meant
// for the caller and stay as they are; a store, file or configuration
// error names statements, paths and keys that are the operator's business,
// so the visitor only learns what kind of failure it was.
std::string VisitorMessage(const std::exception& error);

// Everything the exception says, for the operator log.
std::string FullMessage(const std::exception& error);

}  // namespace portavel
