#include "support/smtp_test_server.h"
#include "support/file_bytes.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "support/helper_process.h"

namespace portavel::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kBusyAttempts = 10;
constexpr useconds_t kBusyPauseUs = 200'000;

const char* ModeName(SmtpTestServer::Mode mode) {
  switch (mode) {
    case SmtpTestServer::Mode::kPlain:
      return "plain";
    case SmtpTestServer::Mode::kStartTls:
      return "starttls";
    case SmtpTestServer::Mode::kImplicitTls:
      return "implicit";
    case SmtpTestServer::Mode::kHangUp:
      return "hangup";
  }
  return "";
}

}  // namespace

SmtpTestServer::SmtpTestServer(const Options& options) {
  std::string pattern = (fs::temp_directory_path() / "portavel-smtp-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;

  std::vector<std::string> words = {"/usr/bin/python3",
                                    PORTAVEL_SOURCE_DIR "/tests/mail/smtp_test_server.py",
                                    "--mode",
                                    ModeName(options.mode),
                                    "--port",
                                    std::to_string(options.port),
                                    "--out",
                                    (folder_ / "mail").string(),
                                    "--user",
                                    kSmtpTestUser,
                                    "--password",
                                    kSmtpTestPassword,
                                    "--reject",
                                    options.reject_recipient};
  // A fixed port may be held for a moment by another test's server.
  for (int attempt = 0; attempt < kBusyAttempts; ++attempt) {
    if (attempt > 0) usleep(kBusyPauseUs);
    if (Start(words) || !busy_) return;
  }
}

bool SmtpTestServer::Start(const std::vector<std::string>& argv) {
  const fs::path errors = folder_ / "stderr.txt";
  StartedProcess started = StartHelperProcess(argv, errors);
  pid_ = started.pid;
  if (pid_ == 0) {
    error_ = "cannot start /usr/bin/python3";
    return false;
  }
  const std::string& line = started.first_line;
  if (line.starts_with("READY ")) {
    port_ = std::stoi(line.substr(6));
    error_.clear();
    return true;
  }
  busy_ = line == "BUSY";
  Stop();
  error_ = "the test mail server did not start (" + (line.empty() ? "no answer" : line) +
           "): " + ReadFileBytes(errors);
  return false;
}

SmtpTestServer::~SmtpTestServer() {
  Stop();
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

void SmtpTestServer::Stop() {
  StopHelperProcess(pid_);
  pid_ = 0;
}

std::vector<ReceivedMail> SmtpTestServer::Messages() const {
  std::vector<ReceivedMail> messages;
  for (int n = 1;; ++n) {
    fs::path base = folder_ / "mail" / ("message-" + std::to_string(n));
    fs::path envelope_file = fs::path(base).replace_extension(".json");
    if (!fs::exists(envelope_file)) break;
    nlohmann::json envelope = nlohmann::json::parse(ReadFileBytes(envelope_file));
    ReceivedMail mail;
    mail.mail_from = envelope["mail_from"];
    mail.rcpt_tos = envelope["rcpt_tos"].get<std::vector<std::string>>();
    if (!envelope["login"].is_null()) mail.login = envelope["login"];
    mail.tls = envelope["tls"];
    mail.data = ReadFileBytes(fs::path(base).replace_extension(".eml"));
    messages.push_back(std::move(mail));
  }
  return messages;
}

int UnusedLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  // Closed without listening: connections to the port are refused.
  if (fd >= 0) close(fd);
  return port;
}

}  // namespace portavel::testing
