// A real HTTPS card gateway on 127.0.0.1 for the tests: the script
// demo-support/fake-card-gateway.py run by the system's Python, started by
// the constructor and stopped by the destructor. It records every request
// and answers from a queue (Queue), or, in demo mode, as the form-post
// gateway, JetPay and Authorize.Net would: the card 4111111111111111 and
// card-on-file charges approved, 4000000000000002 declined.
//
// Any process may send it requests, forked and spawned ones included, at
// the same time; answers are queued and read back by the creating process.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace portavel::testing {

inline constexpr const char* kApprovedTestCard = "4111111111111111";
inline constexpr const char* kDeclinedTestCard = "4000000000000002";

// One answer, taken by the next request.
struct GatewayAnswer {
  int status = 200;
  std::string body;  // sent as these bytes
  std::string content_type = "text/xml; charset=utf-8";
  bool hang_up = false;  // close the connection without any answer

  static GatewayAnswer Text(std::string body, int status = 200) {
    GatewayAnswer answer;
    answer.status = status;
    answer.body = std::move(body);
    return answer;
  }
  static GatewayAnswer HangUp() {
    GatewayAnswer answer;
    answer.hang_up = true;
    return answer;
  }
};

struct GatewayRequest {
  std::string method;
  std::string path;  // as on the request line: "/ws/transact.asmx/ProcessCreditCard"
  std::vector<std::pair<std::string, std::string>> headers;  // in the order sent
  std::string body;                                          // the exact bytes

  // The first header of that name (any case); "" when absent.
  std::string Header(const std::string& name) const;
};

class FakeGateway {
 public:
  enum class Mode {
    kScripted,  // only queued answers; without one: 503 "no answer queued"
    kDemo,      // queued answers first, then the gateways' own logic
  };
  struct Options {
    Mode mode = Mode::kScripted;
    // Serve a certificate of a second CA, one that ca_file() does not hold.
    bool untrusted_certificate = false;
  };

  FakeGateway() : FakeGateway(Options{}) {}
  explicit FakeGateway(const Options& options);
  ~FakeGateway();
  FakeGateway(const FakeGateway&) = delete;
  FakeGateway& operator=(const FakeGateway&) = delete;

  bool ready() const { return port_ != 0; }
  // Why the gateway did not start (with its error output).
  const std::string& error() const { return error_; }
  int port() const { return port_; }
  // "https://127.0.0.1:PORT/"
  std::string base_url() const;
  // The CA (PEM) that clients are meant to trust.
  std::string ca_file() const;
  // With untrusted_certificate: the CA that did sign the server's certificate.
  std::string other_ca_file() const;

  void Queue(const GatewayAnswer& answer);
  // Every request so far, oldest first.
  std::vector<GatewayRequest> Requests() const;

 private:
  std::filesystem::path folder_;
  pid_t pid_ = 0;
  pid_t owner_ = 0;  // the process that started it, the only one to stop it
  int port_ = 0;
  int queued_ = 0;
  std::string error_;
};

}  // namespace portavel::testing
