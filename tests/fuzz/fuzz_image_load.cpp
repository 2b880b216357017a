// libFuzzer target: random bytes decoded as an image through the image datatype's
// load-binary. Bytes of no known kind give none; bytes of a known kind give an
// image of at most 65535 pixels a side whose store matches its size, or raise
// bad-media or no-memory. A crash, a sanitizer report, an allocation past the
// malloc limit, a hang or a broken rule (abort) is a finding.
#include <cstdint>
#include <cstdlib>

#include "support.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/memory/memory.h"

namespace {

using namespace zol;

constexpr int INPUTS_PER_RUNTIME = 5000;

void require(bool rule) {
  if (!rule) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::start_runtime_every(INPUTS_PER_RUNTIME);
  if (size > (1u << 20)) return 0;
  Cell bytes;
  binary::load(data, uint32_t(size), &bytes);
  Cell out = values::none;
  bool loaded = stack::try_run([&] { image::load_binary(&bytes, &out); });
  if (!loaded) {
    require(error::category_of(&exits::value) == err::ACCESS ||
            error::category_of(&exits::value) == err::INTERNAL);
    return 0;
  }
  if (!image::known_format(data, size)) {
    require(out.is(T_NONE));
    return 0;
  }
  require(out.is(T_IMAGE));
  require(image::pixel_count(&out) > 0);
  SeriesBuffer* store = memory::buffer_of(series_cell::node(&out));
  require(int64_t(store->length()) == image::pixel_count(&out));
  return 0;
}
