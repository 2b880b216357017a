// HTTP requests as values: the service behind the url! read and write actions for
// urls that begin with "http". A request is made of a method word, the url, an
// optional header block and optional data; the answer is the response body as a
// string!, binary! or block of lines, or [status headers body] with /info, or none
// when no response came. The exchange itself is platform/http.h.
#pragma once
#include <string>

#include "runtime/core/cell.h"
#include "runtime/datatypes/url.h"

namespace zol::http {

// Pushes the answer on the value stack and answers it. `headers` (a block of
// alternating names and values) and `data` may be null; none data is no data.
// Without a header block three default headers go. A name or value holding a
// line break or NUL raises invalid-arg.
Cell* request(const Cell* method, const Cell* url, const Cell* headers, const Cell* data,
              const url::HttpOptions& how);

// The map! of response header lines ("Name: value" each ending in CR LF): word
// keys as the names are written, string! values, or a block of strings for a name
// that comes more than once. Lines without a colon add nothing. Into `out`.
void parse_headers(const std::string& text, Cell* out);

// Installs request behind the url! actions.
void install();

}  // namespace zol::http
