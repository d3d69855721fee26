#include "web/error_report.h"

#include "dates/date_format.h"
#include "platform/platform.h"
#include "web/exception_names.h"
#include "web/web_response.h"

namespace portavel {

void LogFailure(Platform& platform, std::string_view method, std::string_view path,
                std::string_view class_name, std::string_view message) {
  std::string line = FormatDateTime("yyyy-mm-dd hh:nn:ss", platform.Now());
  line += ' ';
  line += method.empty() ? std::string_view("-") : method;
  line += ' ';
  line += path.empty() ? std::string_view("-") : path;
  line += " failed: ";
  line += class_name;
  line += ": ";
  line += message;
  platform.OperatorMessage(line);
}

std::string ReportFailure(Platform& platform, std::string_view method, std::string_view path,
                          const std::exception& error) {
  const std::string class_name = ExceptionClassName(error);
  LogFailure(platform, method, path, class_name, FullMessage(error));
  return ErrorResponseBytes(class_name, VisitorMessage(error));
}

}  // namespace portavel
