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
  // Faults of the line, as a broken gateway or network shows them.
  int delay_ms = 0;              // answer this long after the request came
  bool reset = false;            // a TCP reset instead of an answer
  int cut_after = -1;            // only this many bytes of the whole answer
  int content_length_extra = 0;  // a Content-Length this much above the body
  int body_repeat = 1;           // the body this many times over

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
  static GatewayAnswer Delayed(GatewayAnswer answer, int delay_ms) {
    answer.delay_ms = delay_ms;
    return answer;
  }
  static GatewayAnswer Reset() {
    GatewayAnswer answer;
    answer.reset = true;
    return answer;
  }
  // The connection closed after `bytes` of status line, headers and body.
  static GatewayAnswer CutAfter(std::string body, int bytes) {
    GatewayAnswer answer = Text(std::move(body));
    answer.cut_after = bytes;
    return answer;
  }
  static GatewayAnswer ShortBody(std::string body, int missing_bytes) {
    GatewayAnswer answer = Text(std::move(body));
    answer.content_length_extra = missing_bytes;
    return answer;
  }
  static GatewayAnswer Repeated(std::string body, int times) {
    GatewayAnswer answer = Text(std::move(body));
    answer.body_repeat = times;
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
  // Waits until at least `count` requests came (true) or `timeout_ms`
  // passed (false): a test acts while a charge is in flight.
  bool WaitForRequests(size_t count, int timeout_ms) const;

 private:
  std::filesystem::path folder_;
  pid_t pid_ = 0;
  pid_t owner_ = 0;  // the process that started it, the only one to stop it
  int port_ = 0;
  int queued_ = 0;
  std::string error_;
};

}  // namespace portavel::testing
