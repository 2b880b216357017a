// One synchronous HTTP exchange over libcurl, kept here so that nothing above the
// platform sees the library: the caller gives the method, the url, the exact
// request headers and an optional body, and gets back the final response's
// status, header lines and body bytes. Redirects are followed; the answer is the
// last response's. Bodies are bytes, never text, so they cross binary-safe.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace zol::platform {

struct HttpRequest {
  std::string method;   // "GET", "HEAD" (sent without asking for a body), "POST", ...
  std::string url;      // already percent-encoded
  // Sent exactly, in order; nothing else is added but what the protocol needs
  // (Host, Content-Length).
  std::vector<std::pair<std::string, std::string>> headers;
  bool has_body = false;
  std::string body;
  // Seconds to wait for the connection, and without any progress once connected.
  long connect_timeout = 60;
  long stall_timeout = 30;
};

struct HttpResponse {
  long status = 0;
  // The final response's header lines, each ending in CR LF, without its status
  // line: what came before a redirect or a 1xx answer is dropped.
  std::string headers;
  std::string body;
};

// False when no response came (refused or failed connection, TLS failure,
// timeout, a url the library refuses); an HTTP error status is a response.
bool http_exchange(const HttpRequest& request, HttpResponse* response);

}  // namespace zol::platform
