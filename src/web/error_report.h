// A failure that ends a request: the operator log gets the whole story, the
// visitor a status-500 page that tells no more than is meant for a visitor.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace portavel {

class Platform;

// Writes one operator-log line (time, method, path, exception class and
// the full message) and returns the bytes of the error response.
std::string ReportFailure(Platform& platform, std::string_view method, std::string_view path,
                          const std::exception& error);

// Writes the operator-log line alone, for a failure answered otherwise.
void LogFailure(Platform& platform, std::string_view method, std::string_view path,
                std::string_view class_name, std::string_view message);

}  // namespace portavel
