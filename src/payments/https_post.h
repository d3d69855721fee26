// The HTTPS requests of the card gateway clients, through libcurl on
// OpenSSL. The server's certificate and host name are checked against the
// system's CA store and gateways.ca_file unless gateways.verify_peer is off;
// TLS 1.2 at least; gateways.timeout_seconds bounds each request. Only
// https:// addresses are contacted. Bodies go out and answers come back as
// the bytes they are, with no character set conversion.
#pragma once

#include <stdexcept>
#include <string>

#include "payments/gateway_context.h"

namespace portavel {

// A form post to the form-post gateway: `body` followed by CR LF, content
// type "application/x-www-form-urlencoded", user agent "Orvik Propane
// Software". The answer's body, or "" on any failure: no address, no
// connection, time-out, an HTTP status other than 2xx. A TLS failure
// (handshake, certificate) also writes "IdHttpErr: " and the library's
// message, cut to 255 characters, to the event log, and shows it to the
// operator.
std::string PostHttpForm(const GatewayContext& context, const std::string& url,
                         const std::string& body);

// PostHttpForm with the content type "text/xml; charset=UTF-8".
std::string PostXml(const GatewayContext& context, const std::string& url, const std::string& xml);

// The connection or TLS failed, or no answer came in time.
class GatewayTransportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What an XML HTTP request object shows after a synchronous send.
struct XmlHttpResult {
  int ready_state = 0;  // 4: completed
  long status = 0;      // the HTTP status
  std::string response_text;
};

inline constexpr int kXmlHttpCompleted = 4;

// A POST of `xml` exactly as given, with the header "Content-Type:
// text/xml", the way an XML HTTP request object sends it: any HTTP status
// is an answer; a failed connection, TLS failure or time-out throws
// GatewayTransportError (nothing is logged).
XmlHttpResult SendXmlHttpRequest(const GatewayContext& context, const std::string& url,
                                 const std::string& xml);

}  // namespace portavel
