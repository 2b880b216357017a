// Fuzz target for the base decoders. The input is decoded in each base as text of
// unit 1 and, widened, of units 2 and 4; the three must agree. What decodes must
// encode and decode again to the same bytes; and the input taken as bytes must
// come back from its own text in every base. A crash, a sanitizer report, a write
// past the sizes the callers allocate or a broken rule (abort) is a finding.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "runtime/datatypes/binary/basecode.h"

namespace {

using namespace zol;

void require(bool rule) {
  if (!rule) std::abort();
}

std::vector<uint8_t> widened(const uint8_t* data, size_t size, uint32_t unit) {
  std::vector<uint8_t> out(size * unit, 0);
  for (size_t i = 0; i < size; i++) out[i * unit] = data[i];
  return out;
}

// Decodes into a buffer of exactly the promised capacity (so ASan sees overruns).
int64_t decoded(int base, const uint8_t* text, size_t n, uint32_t unit, std::vector<uint8_t>* out) {
  out->assign(binary::decoded_capacity(base, n), 0);
  int64_t got = binary::decode(base, text, n, unit, out->data());
  if (got >= 0) out->resize(size_t(got));
  return got;
}

std::vector<uint8_t> encoded(int base, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> text(binary::encoded_size(base, bytes.size()));
  uint8_t* end = binary::encode(base, text.data(), bytes.data(), bytes.size());
  require(end <= text.data() + text.size());
  text.resize(size_t(end - text.data()));
  return text;
}

void check_base(int base, const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes;
  int64_t got = decoded(base, data, size, 1, &bytes);
  for (uint32_t unit : {2u, 4u}) {
    std::vector<uint8_t> wide = widened(data, size, unit), again;
    require(decoded(base, wide.data(), size, unit, &again) == got);
    if (got >= 0) require(again == bytes);
  }
  if (got >= 0) {
    std::vector<uint8_t> text = encoded(base, bytes), again;
    require(decoded(base, text.data(), text.size(), 1, &again) == int64_t(bytes.size()));
    require(again == bytes);
  }
  std::vector<uint8_t> raw(data, data + size), back;
  std::vector<uint8_t> text = encoded(base, raw);
  require(decoded(base, text.data(), text.size(), 1, &back) == int64_t(size));
  require(back == raw);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;   // base 58 is quadratic in the length
  for (int base : {2, 16, 58, 64}) check_base(base, data, size);
  return 0;
}
