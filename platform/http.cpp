// The HTTP exchange over libcurl's easy interface: one handle per request, made
// and cleaned up within the call, so no state lives between requests.
#include "platform/http.h"

#include <curl/curl.h>

#include <strings.h>

#include <mutex>

namespace zol::platform {
namespace {

// libcurl's global start-up is not thread-safe; it runs once, on first use.
void start_library() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t take_body(char* data, size_t size, size_t count, void* user) {
  static_cast<HttpResponse*>(user)->body.append(data, size * count);
  return size * count;
}

bool starts_status_line(const char* data, size_t length) {
  return length >= 5 && std::string(data, 5) == "HTTP/";
}

// Each response (a redirect, a 100 Continue, the final one) begins with its status
// line: starting over there keeps only the last response's headers.
size_t take_header(char* data, size_t size, size_t count, void* user) {
  auto* response = static_cast<HttpResponse*>(user);
  size_t length = size * count;
  if (starts_status_line(data, length)) response->headers.clear();
  else response->headers.append(data, length);
  return length;
}

// The request's header list: the caller's pairs, and empty values for the
// headers libcurl would add of its own accord (Accept, Expect, and the
// Content-Type of a posted body) unless the caller names them, which removes them.
curl_slist* header_list(const HttpRequest& request) {
  auto named = [&](const char* name) {
    for (const auto& [key, value] : request.headers)
      if (strcasecmp(key.c_str(), name) == 0) return true;
    return false;
  };
  curl_slist* list = nullptr;
  // "Name;" is libcurl's spelling of a header sent with an empty value.
  for (const auto& [key, value] : request.headers)
    list = curl_slist_append(list, (value.empty() ? key + ";" : key + ": " + value).c_str());
  for (const char* own : {"Accept", "Expect", "Content-Type"})
    if (!named(own)) list = curl_slist_append(list, (std::string(own) + ":").c_str());
  return list;
}

void set_method(CURL* curl, const HttpRequest& request) {
  if (request.method == "HEAD") curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  if (request.has_body) {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
  }
  bool plain = request.method == "HEAD" || (request.method == "GET" && !request.has_body) ||
               (request.method == "POST" && request.has_body);
  if (!plain) curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
}

}  // namespace

bool http_exchange(const HttpRequest& request, HttpResponse* response) {
  start_library();
  *response = {};
  CURL* curl = curl_easy_init();
  if (!curl) return false;
  curl_slist* headers = header_list(request);
  curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, request.connect_timeout);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, request.stall_timeout);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, take_body);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, response);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, take_header);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, response);
  set_method(curl, request);
  bool ok = curl_easy_perform(curl) == CURLE_OK;
  if (ok) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response->status);
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return ok;
}

}  // namespace zol::platform
