// A real SMTP server on 127.0.0.1 for the mail tests: the script
// tests/mail/smtp_test_server.py run by the system's Python, started by the
// constructor and stopped by the destructor. It accepts the login
// kSmtpTestUser / kSmtpTestPassword and keeps every message it accepts.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace portavel::testing {

inline constexpr const char* kSmtpTestUser = "mailer";
inline constexpr const char* kSmtpTestPassword = "s3cret";

struct ReceivedMail {
  std::string mail_from;              // the envelope sender
  std::vector<std::string> rcpt_tos;  // the envelope recipients accepted
  std::optional<std::string> login;   // the user that logged in, if any
  bool tls = false;                   // the message came over TLS
  std::string data;                   // the message as received
};

class SmtpTestServer {
 public:
  // kHangUp greets over TLS, then drops the connection at the first command.
  enum class Mode { kPlain, kStartTls, kImplicitTls, kHangUp };
  struct Options {
    Mode mode = Mode::kImplicitTls;
    int port = 0;                  // 0: any free port
    std::string reject_recipient;  // answered with 550 at RCPT TO
  };

  explicit SmtpTestServer(const Options& options);
  ~SmtpTestServer();
  SmtpTestServer(const SmtpTestServer&) = delete;
  SmtpTestServer& operator=(const SmtpTestServer&) = delete;

  bool ready() const { return port_ != 0; }
  // The port was taken by another program.
  bool busy() const { return busy_; }
  // Why the server did not start (with its error output).
  const std::string& error() const { return error_; }
  int port() const { return port_; }

  std::vector<ReceivedMail> Messages() const;

 private:
  // One try; false when the server did not start (busy_ tells why).
  bool Start(const std::vector<std::string>& argv);
  void Stop();

  std::filesystem::path folder_;
  pid_t pid_ = 0;
  int port_ = 0;
  bool busy_ = false;
  std::string error_;
};

// A port on 127.0.0.1 where nothing listens (connections are refused).
int UnusedLoopbackPort();

}  // namespace portavel::testing
