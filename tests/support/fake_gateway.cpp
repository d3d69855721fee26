#include "support/fake_gateway.h"
#include "support/file_bytes.h"

#include <openssl/evp.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/helper_process.h"
#include "text/cp1252.h"

namespace portavel::testing {
namespace {

namespace fs = std::filesystem;

std::string Base64Encode(const std::string& bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                          reinterpret_cast<const unsigned char*>(bytes.data()),
                          static_cast<int>(bytes.size()));
  text.resize(static_cast<size_t>(n));
  return text;
}

std::string Base64Decode(const std::string& text) {
  std::string bytes(3 * (text.size() / 4) + 3, '\0');
  int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                          reinterpret_cast<const unsigned char*>(text.data()),
                          static_cast<int>(text.size()));
  if (n < 0) throw std::runtime_error("fake gateway: a request body that is not base64");
  // EVP_DecodeBlock counts the padding as zero bytes.
  size_t padding = text.ends_with("==") ? 2 : text.ends_with("=") ? 1 : 0;
  bytes.resize(static_cast<size_t>(n) - padding);
  return bytes;
}

}  // namespace

std::string GatewayRequest::Header(const std::string& name) const {
  for (const auto& [header, value] : headers) {
    if (EqualsNoCase1252(header, name)) return value;
  }
  return "";
}

FakeGateway::FakeGateway(const Options& options) : owner_(getpid()) {
  std::string pattern = (fs::temp_directory_path() / "portavel-gateway-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;

  std::vector<std::string> argv = {"/usr/bin/python3",
                                   PORTAVEL_SOURCE_DIR "/demo-support/fake-card-gateway.py",
                                   "--folder",
                                   folder_.string(),
                                   "--quiet",
                                   "--parent",
                                   std::to_string(owner_)};
  if (options.mode == Mode::kDemo) argv.push_back("--demo");
  if (options.untrusted_certificate) argv.push_back("--untrusted");
  const fs::path errors = folder_ / "stderr.txt";
  StartedProcess started = StartHelperProcess(argv, errors);
  pid_ = started.pid;
  if (pid_ == 0) {
    error_ = "cannot start /usr/bin/python3";
  } else if (started.first_line.starts_with("READY ")) {
    port_ = std::stoi(started.first_line.substr(6));
  } else {
    StopHelperProcess(pid_);
    pid_ = 0;
    error_ = "the fake gateway did not start (" +
             (started.first_line.empty() ? "no answer" : started.first_line) +
             "): " + ReadFileBytes(errors);
  }
}

FakeGateway::~FakeGateway() {
  // A forked copy of a test must not stop the gateway of the original.
  if (getpid() != owner_) return;
  StopHelperProcess(pid_);
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

std::string FakeGateway::base_url() const {
  return "https://127.0.0.1:" + std::to_string(port_) + "/";
}

std::string FakeGateway::ca_file() const {
  return (folder_ / "ca.pem").string();
}

std::string FakeGateway::other_ca_file() const {
  return (folder_ / "other-ca.pem").string();
}

void FakeGateway::Queue(const GatewayAnswer& answer) {
  nlohmann::json entry;
  if (answer.hang_up) {
    entry["close"] = true;
  } else {
    entry["status"] = answer.status;
    entry["content_type"] = answer.content_type;
    entry["body_base64"] = Base64Encode(answer.body);
    if (answer.reset) entry["reset"] = true;
    if (answer.cut_after >= 0) entry["cut_after"] = answer.cut_after;
    if (answer.content_length_extra != 0) {
      entry["content_length_extra"] = answer.content_length_extra;
    }
    if (answer.body_repeat != 1) entry["body_repeat"] = answer.body_repeat;
  }
  if (answer.delay_ms > 0) entry["delay_ms"] = answer.delay_ms;
  char name[32];
  std::snprintf(name, sizeof name, "%08d.json", ++queued_);
  fs::path target = folder_ / "queue" / name;
  fs::path draft = folder_ / (std::string(name) + ".draft");
  std::ofstream(draft, std::ios::binary) << entry.dump();
  // Renamed into place whole, so the gateway never reads half an answer.
  fs::rename(draft, target);
}

bool FakeGateway::WaitForRequests(size_t count, int timeout_ms) const {
  constexpr int kPollMs = 20;
  for (int waited = 0; waited <= timeout_ms; waited += kPollMs) {
    if (Requests().size() >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
  return false;
}

std::vector<GatewayRequest> FakeGateway::Requests() const {
  std::vector<GatewayRequest> requests;
  std::istringstream lines(ReadFileBytes(folder_ / "requests.jsonl"));
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    nlohmann::json record = nlohmann::json::parse(line);
    GatewayRequest request;
    request.method = record["method"];
    request.path = record["path"];
    for (const auto& header : record["headers"]) request.headers.emplace_back(header[0], header[1]);
    request.body = Base64Decode(record["body_base64"]);
    requests.push_back(std::move(request));
  }
  return requests;
}

}  // namespace portavel::testing
