// The JSON codec's routine bodies (see json.cpp).
#pragma once

namespace zol::library::json {

// Registers the bodies of json-decode, json-unescape and json-encode by name.
void init();

}  // namespace zol::library::json
