// Fuzz target for the text decoders. Each input is read four ways: by the fast
// UTF-8 decoder, by the validating UTF-8 loader, as UTF-16LE units by the UTF-16
// loader, and as the text of a url literal by the percent decoder. The two UTF-8
// readers must agree on what is valid; what loads must write back out to the very
// same bytes (a decoded url: encode and decode to the same text); what does not
// load must be refused with a language error. A crash, a sanitizer report or a
// broken rule (abort) is a finding.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "support.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/url.h"
#include "runtime/core/exits.h"
#include "runtime/text/unicode.h"

namespace {

using namespace zol;

// Nothing reclaims series without the collector, so the runtime starts afresh
// every so many inputs to keep memory bounded.
constexpr int INPUTS_PER_RUNTIME = 20000;

void require(bool rule) {
  if (!rule) std::abort();
}

// Runs fn; false when it raised a language error.
template <class Fn>
bool completes(Fn&& fn) {
  return stack::try_run(fn);
}

bool fast_decoder_accepts(const uint8_t* p, const uint8_t* end) {
  while (p < end) {
    uint32_t cp = 0;
    const uint8_t* next = unicode::decode_utf8_char(p, end, &cp);
    require(next > p && next <= end);
    if (cp == unicode::INVALID) return false;
    p = next;
  }
  return true;
}

bool same_bytes(const void* a, const void* b, size_t n) { return n == 0 || std::memcmp(a, b, n) == 0; }

// The loaded text written back as UTF-16LE reloads to the same characters.
void check_utf16_round_trip(const Cell* text) {
  int32_t units = -1;
  const uint8_t* wide = unicode::to_utf16_len(text, &units, false);
  require(wide != nullptr);
  Cell again;
  string::make_at(&again, 0);
  unicode::load_utf16(wide, uint32_t(units), &again, false);
  require(string::length(&again) == string::length(text));
  for (int32_t i = 0; i < string::length(text); i++)
    require(string::char_at(&again, i) == string::char_at(text, i));
}

void fuzz_utf8(const uint8_t* data, size_t size) {
  const uint8_t* end = data + size;
  require(unicode::skip_utf8_chars(data, end, int32_t(size) + 1) == end);
  require(unicode::count_utf8_chars(data, end) <= int32_t(size));

  Cell text;
  bool valid = fast_decoder_accepts(data, end);
  bool loaded = completes([&] { string::load(data, uint32_t(size), &text, string::ENCODING_UTF8); });
  require(valid == loaded);
  if (!loaded) return;

  size_t mark = size >= 3 && same_bytes(data, "\xEF\xBB\xBF", 3) ? 3 : 0;   // the loader drops it
  int32_t length = -1;
  const char* back = unicode::to_utf8(&text, &length);
  require(size_t(length) == size - mark && same_bytes(back, data + mark, size_t(length)));
  check_utf16_round_trip(&text);
}

void fuzz_utf16(const uint8_t* data, size_t size) {
  uint32_t count = uint32_t(size / 2);
  Cell text;
  string::make_at(&text, 0);
  if (!completes([&] { unicode::load_utf16(data, count, &text, false); })) return;
  int32_t units = -1;
  const uint8_t* back = unicode::to_utf16_len(&text, &units, false);
  require(back != nullptr && uint32_t(units) == count && same_bytes(back, data, size_t(count) * 2));
}

// Percent-decoding: what decodes, encoded in the strict set and decoded again, is
// the same text.
void fuzz_percent(const uint8_t* data, size_t size) {
  Cell* top = stack::top;
  Cell decoded;
  if (completes([&] { decoded = *url::load_decoded(data, uint32_t(size)); })) {
    Cell encoded, again;
    string::make_at(&encoded, 0);
    string::make_at(&again, 0);
    url::encode_percent(&decoded, &encoded, url::MODE_STRICT);
    url::decode_percent(&encoded, &again);
    require(string::length(&again) == string::length(&decoded));
    for (int32_t i = 0; i < string::length(&decoded); i++)
      require(string::char_at(&again, i) == string::char_at(&decoded, i));
  }
  stack::top = top;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zol::fuzz::start_runtime_every(INPUTS_PER_RUNTIME);
  fuzz_utf8(data, size);
  fuzz_utf16(data, size);
  fuzz_percent(data, size);
  return 0;
}
