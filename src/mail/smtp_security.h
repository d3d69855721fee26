// How the connection to the dealer's mail server is protected, chosen by
// the port number alone as mail clients conventionally do.
#pragma once

namespace portavel {

enum class SmtpSecurity {
  kPlain,        // port 25: no TLS at all
  kStartTls,     // port 587: plain greeting, then STARTTLS, which must succeed
  kImplicitTls,  // any other port: TLS from the first byte
};

inline constexpr int kDefaultSmtpPort = 25;

SmtpSecurity ConfigureSmtpSecurity(int port);

}  // namespace portavel
