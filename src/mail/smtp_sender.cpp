#include "mail/smtp_sender.h"

#include "platform/curl_library.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

namespace portavel {
namespace {

constexpr long kConnectTimeoutSeconds = 30;
constexpr long kTransferTimeoutSeconds = 60;

// Only ever used once the library is loaded.
struct CurlDeleter {
  void operator()(CURL* curl) const { LoadCurlLibrary(nullptr)->easy_cleanup(curl); }
  void operator()(curl_slist* list) const { LoadCurlLibrary(nullptr)->slist_free_all(list); }
};

// Follows the conversation as libcurl reports it, keeping the server's
// last complete reply before the client said QUIT ("250-..." lines continue
// a reply, "250 ..." ends it). The QUIT that follows a failure must not
// hide the reply that caused it.
class ReplyTracker {
 public:
  void Receive(std::string_view data) {
    if (quitting_) return;
    pending_.append(data);
    size_t end;
    while ((end = pending_.find('\n')) != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      AddLine(line);
    }
  }
  void Send(std::string_view command) {
    if (command.starts_with("QUIT")) quitting_ = true;
  }

  // The last complete reply's lines joined by blanks.
  const std::string& last_reply() const { return last_reply_; }
  bool LastReplyIsError() const {
    return last_reply_.size() >= 3 && (last_reply_[0] == '4' || last_reply_[0] == '5');
  }

 private:
  void AddLine(const std::string& line) {
    if (!current_.empty()) current_ += ' ';
    current_ += line;
    if (line.size() < 4 || line[3] != '-') {
      last_reply_ = current_;
      current_.clear();
    }
  }

  bool quitting_ = false;
  std::string pending_;
  std::string current_;
  std::string last_reply_;
};

int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* tracker_pointer) {
  auto* tracker = static_cast<ReplyTracker*>(tracker_pointer);
  if (type == CURLINFO_HEADER_IN) tracker->Receive(std::string_view(data, size));
  if (type == CURLINFO_HEADER_OUT) tracker->Send(std::string_view(data, size));
  return 0;
}

struct MessageReader {
  std::string_view rest;
};

size_t OnRead(char* buffer, size_t size, size_t count, void* reader_pointer) {
  auto* reader = static_cast<MessageReader*>(reader_pointer);
  size_t n = std::min(size * count, reader->rest.size());
  std::memcpy(buffer, reader->rest.data(), n);
  reader->rest.remove_prefix(n);
  return n;
}

std::string ServerUrl(const SmtpServer& server) {
  std::string url = server.security == SmtpSecurity::kImplicitTls ? "smtps://" : "smtp://";
  // An IPv6 address needs brackets to keep its colons apart from the port.
  bool ipv6 = server.host.find(':') != std::string::npos && !server.host.starts_with('[');
  url += ipv6 ? "[" + server.host + "]" : server.host;
  url += ":" + std::to_string(server.port);
  return url;
}

std::string AngleAddress(const std::string& address) {
  return "<" + address + ">";
}

}  // namespace

SmtpSendResult SendSmtpMessage(const SmtpServer& server, const SmtpDelivery& delivery) {
  // libcurl would only say the URL is malformed.
  if (server.host.empty()) return {SmtpSendResult::Outcome::kFailed, "no SMTP server host is set"};
  const char* load_error = nullptr;
  const CurlLibrary* api = LoadCurlLibrary(&load_error);
  if (!api) return {SmtpSendResult::Outcome::kFailed, load_error};
  // Everything the handle points to is declared before it, so that it
  // outlives the handle: cleaning up may still say QUIT and report it.
  std::unique_ptr<curl_slist, CurlDeleter> recipients;
  for (const std::string& recipient : delivery.recipients) {
    curl_slist* longer = api->slist_append(recipients.get(), AngleAddress(recipient).c_str());
    if (!longer) return {SmtpSendResult::Outcome::kFailed, "out of memory"};
    recipients.release();
    recipients.reset(longer);
  }
  std::string url = ServerUrl(server);
  std::string from = AngleAddress(delivery.from);
  char error_text[CURL_ERROR_SIZE] = "";
  ReplyTracker replies;
  MessageReader reader{delivery.message};

  std::unique_ptr<CURL, CurlDeleter> curl(api->easy_init());
  if (!curl) return {SmtpSendResult::Outcome::kFailed, "cannot create an SMTP client"};
  CURL* handle = curl.get();
  api->easy_setopt(handle, CURLOPT_URL, url.c_str());
  api->easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
  api->easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  api->easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  api->easy_setopt(handle, CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
  api->easy_setopt(handle, CURLOPT_ERRORBUFFER, error_text);
  if (server.security != SmtpSecurity::kPlain) {
    api->easy_setopt(handle, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    api->easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 0L);
    api->easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 0L);
  }
  api->easy_setopt(handle, CURLOPT_USE_SSL,
                   server.security == SmtpSecurity::kStartTls ? static_cast<long>(CURLUSESSL_ALL)
                                                              : static_cast<long>(CURLUSESSL_NONE));
  if (!server.user_name.empty()) {
    api->easy_setopt(handle, CURLOPT_USERNAME, server.user_name.c_str());
    api->easy_setopt(handle, CURLOPT_PASSWORD, server.password.c_str());
  }
  api->easy_setopt(handle, CURLOPT_MAIL_FROM, from.c_str());
  api->easy_setopt(handle, CURLOPT_MAIL_RCPT, recipients.get());
  api->easy_setopt(handle, CURLOPT_UPLOAD, 1L);
  api->easy_setopt(handle, CURLOPT_READFUNCTION, OnRead);
  api->easy_setopt(handle, CURLOPT_READDATA, &reader);
  // The server's replies reach OnDebug only; nothing is printed.
  api->easy_setopt(handle, CURLOPT_DEBUGFUNCTION, OnDebug);
  api->easy_setopt(handle, CURLOPT_DEBUGDATA, &replies);
  api->easy_setopt(handle, CURLOPT_VERBOSE, 1L);

  CURLcode code = api->easy_perform(handle);
  if (code == CURLE_OK) return {SmtpSendResult::Outcome::kSent, ""};
  if (replies.LastReplyIsError()) {
    return {SmtpSendResult::Outcome::kErrorReply, replies.last_reply()};
  }
  std::string what = error_text[0] != '\0' ? error_text : api->easy_strerror(code);
  return {SmtpSendResult::Outcome::kFailed, what};
}

}  // namespace portavel
