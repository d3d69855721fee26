#include "mail/smtp_security.h"

namespace portavel {

SmtpSecurity ConfigureSmtpSecurity(int port) {
  if (port == 587) return SmtpSecurity::kStartTls;
  if (port == 25) return SmtpSecurity::kPlain;
  return SmtpSecurity::kImplicitTls;
}

}  // namespace portavel
