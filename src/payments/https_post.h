// The HTTPS requests of the card gateway clients, through libcurl on
// OpenSSL. The server's certificate and host name are checked against the
// system's CA store and gateways.ca_file unless gateways.verify_peer is off;
// TLS 1.2 at least; gateways.timeout_seconds bounds each request. Only
// https:// addresses are contacted. Bodies go out and answers come back as
// the bytes they are, with no character set conversion.
#pragma once

#include <string>

#include "data/service_context.h"

namespace portavel {

// Whether a request may have reached the gateway, and what came back.
enum class Delivery {
  kAnswered,  // a complete answer with a 2xx status (200 for an XML HTTP request)
  kNotSent,   // the request never left: no address, refused, TLS handshake
  kUnknown,   // it may have been charged: time-out, reset, cut or oversized
              // answer, an error status
};

struct GatewayReply {
  Delivery delivery = Delivery::kNotSent;
  long status = 0;      // the HTTP status, when one came
  std::string body;     // the answer's bytes (kAnswered only)
  std::string problem;  // what went wrong, in plain words; "" when answered
};

// The most of an answer that is read; a longer one counts as no definite
// answer, so that a broken gateway cannot fill the card log or the memory.
inline constexpr size_t kMaxGatewayAnswerBytes = 1 << 20;

// A form post to the form-post gateway: `body` followed by CR LF, content
// type "application/x-www-form-urlencoded", user agent "Orvik Propane
// Software". A TLS failure (handshake, certificate) also writes
// "IdHttpErr: " and the library's message, cut to 255 characters, to the
// event log, and shows it to the operator.
GatewayReply PostHttpForm(const ServiceContext& context, const std::string& url,
                          const std::string& body);

// PostHttpForm with the content type "text/xml; charset=UTF-8".
GatewayReply PostXml(const ServiceContext& context, const std::string& url, const std::string& xml);

// A POST of `xml` exactly as given, with the header "Content-Type:
// text/xml", the way an XML HTTP request object sends it, and without the
// event-log line of a TLS failure.
GatewayReply SendXmlHttpRequest(const ServiceContext& context, const std::string& url,
                                const std::string& xml);

}  // namespace portavel
