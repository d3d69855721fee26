// Hands one message to an SMTP server: connect, upgrade or start with TLS
// as configured, authenticate, send, disconnect.
#pragma once

#include <string>
#include <vector>

#include "mail/smtp_security.h"

namespace portavel {

struct SmtpServer {
  std::string host;
  int port = kDefaultSmtpPort;
  SmtpSecurity security = SmtpSecurity::kPlain;
  std::string user_name;  // no authentication when empty
  std::string password;
};

struct SmtpDelivery {
  std::string from;                     // the envelope sender
  std::vector<std::string> recipients;  // the envelope recipients
  std::string message;                  // headers and body, CRLF line ends
};

struct SmtpSendResult {
  enum class Outcome {
    kSent,
    kErrorReply,  // the server answered a command with a 4xx or 5xx reply
    kFailed,      // anything else: name lookup, connection, TLS, a dropped line
  };
  Outcome outcome = Outcome::kFailed;
  // The server's error reply, or what failed; empty when sent.
  std::string text;
};

// The server's certificate is not checked: dealers' mail servers often
// have self-signed ones. Gives up after a bounded time rather than hold up
// the request.
SmtpSendResult SendSmtpMessage(const SmtpServer& server, const SmtpDelivery& delivery);

}  // namespace portavel
