#include "payments/https_post.h"

#include <memory>
#include <string_view>
#include <vector>

#include "config/config.h"
#include "data/event_log.h"
#include "platform/curl_library.h"
#include "platform/platform.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

constexpr const char* kUserAgent = "Orvik Propane Software";
constexpr size_t kLogEntryLength = 255;

struct CurlDeleter {
  void operator()(CURL* curl) const { LoadCurlLibrary(nullptr)->easy_cleanup(curl); }
  void operator()(curl_slist* list) const { LoadCurlLibrary(nullptr)->slist_free_all(list); }
};

enum class Outcome {
  kAnswered,         // an HTTP answer came, whatever its status
  kNotSent,          // no https:// address, or libcurl unusable
  kTransportFailed,  // no connection, time-out, a broken transfer
  kTlsFailed,        // handshake or certificate
};

struct Exchange {
  Outcome outcome = Outcome::kNotSent;
  long status = 0;
  std::string body;
  std::string error;  // what went wrong, in the library's words
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

size_t OnBody(char* data, size_t size, size_t count, void* body_pointer) {
  static_cast<std::string*>(body_pointer)->append(data, size * count);
  return size * count;
}

bool IsHttpsAddress(std::string_view url) {
  constexpr std::string_view kScheme = "https://";
  return url.size() > kScheme.size() && EqualsNoCase1252(url.substr(0, kScheme.size()), kScheme);
}

// One POST of `body` with `headers`; never throws.
Exchange Post(const GatewayConfig& settings, const std::string& url,
              const std::vector<std::string>& headers, const std::string& user_agent,
              const std::string& body) {
  Exchange exchange;
  // Anything else (an unconfigured base leaves only a path) is not sent.
  if (!IsHttpsAddress(url)) return exchange;
  const char* load_error = nullptr;
  const CurlLibrary* api = LoadCurlLibrary(&load_error);
  if (!api) {
    exchange.error = load_error;
    return exchange;
  }
  std::unique_ptr<curl_slist, CurlDeleter> header_list;
  for (const std::string& header : headers) {
    curl_slist* longer = api->slist_append(header_list.get(), header.c_str());
    if (!longer) return exchange;
    header_list.release();
    header_list.reset(longer);
  }
  char error_text[CURL_ERROR_SIZE] = "";
  std::unique_ptr<CURL, CurlDeleter> curl(api->easy_init());
  if (!curl) return exchange;
  CURL* handle = curl.get();
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
  api->easy_setopt(handle, CURLOPT_WRITEDATA, &exchange.body);

  CURLcode code = api->easy_perform(handle);
  if (code == CURLE_OK) {
    exchange.outcome = Outcome::kAnswered;
    api->easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &exchange.status);
    return exchange;
  }
  exchange.outcome = IsTlsFailure(code) ? Outcome::kTlsFailed : Outcome::kTransportFailed;
  exchange.error = error_text[0] != '\0' ? error_text : api->easy_strerror(code);
  exchange.body.clear();
  return exchange;
}

std::string PostForText(const GatewayContext& context, const std::string& url,
                        const std::string& body, const char* content_type) {
  if (url.empty()) return "";
  // "Expect:" keeps libcurl from waiting for a 100 Continue on large bodies.
  Exchange exchange =
      Post(context.config.gateways, url, {std::string("Content-Type: ") + content_type, "Expect:"},
           kUserAgent, body + "\r\n");
  if (exchange.outcome == Outcome::kTlsFailed) {
    std::string text = "IdHttpErr: " + exchange.error;
    WriteLogEntry(context.store, context.platform, text.substr(0, kLogEntryLength));
    context.platform.OperatorMessage("HTTP Post Error: " + text);
  }
  if (exchange.outcome != Outcome::kAnswered) return "";
  if (exchange.status < 200 || exchange.status > 299) return "";
  return exchange.body;
}

}  // namespace

std::string PostHttpForm(const GatewayContext& context, const std::string& url,
                         const std::string& body) {
  return PostForText(context, url, body, "application/x-www-form-urlencoded");
}

std::string PostXml(const GatewayContext& context, const std::string& url, const std::string& xml) {
  return PostForText(context, url, xml, "text/xml; charset=UTF-8");
}

XmlHttpResult SendXmlHttpRequest(const GatewayContext& context, const std::string& url,
                                 const std::string& xml) {
  Exchange exchange =
      Post(context.config.gateways, url, {"Content-Type: text/xml", "Expect:"}, "", xml);
  if (exchange.outcome != Outcome::kAnswered) {
    throw GatewayTransportError(exchange.error.empty() ? "The request could not be sent to " + url
                                                       : exchange.error);
  }
  XmlHttpResult result;
  result.ready_state = kXmlHttpCompleted;
  result.status = exchange.status;
  result.response_text = std::move(exchange.body);
  return result;
}

}  // namespace portavel
