#include "payments/https_post.h"

#include <memory>
#include <string_view>
#include <vector>

#include "config/config.h"
#include "payments/gateway_event_log.h"
#include "platform/curl_library.h"
#include "platform/platform.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

constexpr const char* kUserAgent = "Orvik Propane Software";

struct CurlDeleter {
  void operator()(CURL* curl) const { LoadCurlLibrary(nullptr)->easy_cleanup(curl); }
  void operator()(curl_slist* list) const { LoadCurlLibrary(nullptr)->slist_free_all(list); }
};

bool IsTlsFailure(CURLcode code) {
  switch (code) {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
      return true;
    default:
      return false;
  }
}

struct AnswerBuffer {
  std::string bytes;
  bool oversized = false;
};

// Refusing the bytes past the limit ends the transfer (CURLE_WRITE_ERROR).
size_t OnBody(char* data, size_t size, size_t count, void* buffer_pointer) {
  auto* buffer = static_cast<AnswerBuffer*>(buffer_pointer);
  const size_t n = size * count;
  if (buffer->bytes.size() + n > kMaxGatewayAnswerBytes) {
    buffer->oversized = true;
    return 0;
  }
  buffer->bytes.append(data, n);
  return n;
}

// Whether the last answer's headers came to their end: a connection
// closed inside them is no answer, though libcurl reports success.
size_t OnHeader(char* data, size_t size, size_t count, void* complete_pointer) {
  const std::string_view line(data, size * count);
  auto* complete = static_cast<bool*>(complete_pointer);
  if (line.starts_with("HTTP/")) *complete = false;  // a new answer (after a 100, say)
  if (line == "\r\n" || line == "\n") *complete = true;
  return line.size();
}

// Failures after which the gateway cannot have seen the request.
bool NeverSent(CURLcode code) {
  switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
      return true;
    default:
      return IsTlsFailure(code);
  }
}

bool IsHttpsAddress(std::string_view url) {
  constexpr std::string_view kScheme = "https://";
  return url.size() > kScheme.size() && EqualsNoCase1252(url.substr(0, kScheme.size()), kScheme);
}

// One POST of `body` with `headers`; never throws. `ok_status` tells the
// statuses that count as an answer.
GatewayReply Post(const GatewayConfig& settings, const std::string& url,
                  const std::vector<std::string>& headers, const std::string& user_agent,
                  const std::string& body, bool (*ok_status)(long), bool* tls_failed) {
  GatewayReply reply;
  // Anything else (an unconfigured base leaves only a path) is not sent.
  if (!IsHttpsAddress(url)) {
    reply.problem = "no https address: " + url;
    return reply;
  }
  const char* load_error = nullptr;
  const CurlLibrary* api = LoadCurlLibrary(&load_error);
  if (!api) {
    reply.problem = load_error;
    return reply;
  }
  std::unique_ptr<curl_slist, CurlDeleter> header_list;
  for (const std::string& header : headers) {
    curl_slist* longer = api->slist_append(header_list.get(), header.c_str());
    if (!longer) return reply;
    header_list.release();
    header_list.reset(longer);
  }
  char error_text[CURL_ERROR_SIZE] = "";
  std::unique_ptr<CURL, CurlDeleter> curl(api->easy_init());
  if (!curl) return reply;
  CURL* handle = curl.get();
  AnswerBuffer answer;
  long timeout = settings.timeout_seconds;
  api->easy_setopt(handle, CURLOPT_URL, url.c_str());
  api->easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https");
  api->easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  api->easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, timeout);
  api->easy_setopt(handle, CURLOPT_TIMEOUT, timeout);
  api->easy_setopt(handle, CURLOPT_ERRORBUFFER, error_text);
  api->easy_setopt(handle, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
  api->easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, settings.verify_peer ? 1L : 0L);
  api->easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, settings.verify_peer ? 2L : 0L);
  // Replaces only the bundle file: the system's certificate folder
  // (/etc/ssl/certs) stays trusted beside it.
  if (settings.ca_file) api->easy_setopt(handle, CURLOPT_CAINFO, settings.ca_file->c_str());
  if (!user_agent.empty()) api->easy_setopt(handle, CURLOPT_USERAGENT, user_agent.c_str());
  api->easy_setopt(handle, CURLOPT_HTTPHEADER, header_list.get());
  api->easy_setopt(handle, CURLOPT_POST, 1L);
  api->easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
  api->easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  api->easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnBody);
  api->easy_setopt(handle, CURLOPT_WRITEDATA, &answer);
  bool headers_complete = false;
  api->easy_setopt(handle, CURLOPT_HEADERFUNCTION, OnHeader);
  api->easy_setopt(handle, CURLOPT_HEADERDATA, &headers_complete);

  const CURLcode code = api->easy_perform(handle);
  api->easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &reply.status);
  if (code == CURLE_OK) {
    if (!headers_complete) {
      reply.delivery = Delivery::kUnknown;
      reply.problem = "an answer cut off in its headers";
    } else if (ok_status(reply.status)) {
      reply.delivery = Delivery::kAnswered;
      reply.body = std::move(answer.bytes);
    } else {
      reply.delivery = Delivery::kUnknown;
      reply.problem = "HTTP status " + std::to_string(reply.status);
    }
    return reply;
  }
  const std::string error = error_text[0] != '\0' ? error_text : api->easy_strerror(code);
  if (tls_failed) *tls_failed = IsTlsFailure(code);
  // A time-out before anything was sent is a connection that never came.
  long request_bytes = 0;
  api->easy_getinfo(handle, CURLINFO_REQUEST_SIZE, &request_bytes);
  const bool sent = !NeverSent(code) && !(code == CURLE_OPERATION_TIMEDOUT && request_bytes == 0);
  reply.delivery = sent ? Delivery::kUnknown : Delivery::kNotSent;
  reply.problem = answer.oversized
                      ? "an answer longer than " + std::to_string(kMaxGatewayAnswerBytes) + " bytes"
                      : error;
  return reply;
}

bool IsSuccessStatus(long status) {
  return status >= 200 && status <= 299;
}
bool IsOkStatus(long status) {
  return status == 200;
}

GatewayReply PostForText(const ServiceContext& context, const std::string& url,
                         const std::string& body, const char* content_type) {
  if (url.empty()) {
    GatewayReply reply;
    reply.problem = "no address";
    return reply;
  }
  bool tls_failed = false;
  // "Expect:" keeps libcurl from waiting for a 100 Continue on large bodies.
  GatewayReply reply =
      Post(context.config.gateways, url, {std::string("Content-Type: ") + content_type, "Expect:"},
           kUserAgent, body + "\r\n", IsSuccessStatus, &tls_failed);
  if (tls_failed) {
    const std::string text = "IdHttpErr: " + reply.problem;
    WriteGatewayLogEntry(context.store, context.platform, text);
    context.platform.OperatorMessage("HTTP Post Error: " + text);
  }
  return reply;
}

}  // namespace

GatewayReply PostHttpForm(const ServiceContext& context, const std::string& url,
                          const std::string& body) {
  return PostForText(context, url, body, "application/x-www-form-urlencoded");
}

GatewayReply PostXml(const ServiceContext& context, const std::string& url,
                     const std::string& xml) {
  return PostForText(context, url, xml, "text/xml; charset=UTF-8");
}

GatewayReply SendXmlHttpRequest(const ServiceContext& context, const std::string& url,
                                const std::string& xml) {
  return Post(context.config.gateways, url, {"Content-Type: text/xml", "Expect:"}, "", xml,
              IsOkStatus, nullptr);
}

}  // namespace portavel
