// libFuzzer target: random bytes read as ZOLBIN images by both readers, as given
// (flag bit 1 set: a hostile LZ stream), with the compact flag flipped, and with the
// payload recompressed under flag bit 1. A read either builds its values or raises
// a language error; whatever it built is written again in both encodings and read
// back the same way. Run with a malloc limit: an allocation sized by the input
// rather than by the bytes it holds is a finding, as is a crash or a sanitizer
// report.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "boot/runtime.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/memory/memory.h"
#include "runtime/zolbin/zolbin.h"
#include "support.h"

namespace {

using namespace zol;

constexpr int INPUTS_PER_RUNTIME = 5000;
// The compressor clears 7 MB of match tables per call: only every so many inputs
// are also read recompressed, so the readers get most of the time.
constexpr int INPUTS_PER_RECOMPRESSION = 16;

void require(bool rule) {
  if (!rule) std::abort();
}

bool language_error() {
  int category = error::category_of(&exits::value);
  return category == err::SCRIPT || category == err::ACCESS || category == err::INTERNAL ||
         category == err::MATH;
}

// Reads an image into a fresh block; answers whether it loaded.
bool read(const std::vector<uint8_t>& image, Cell* out) {
  *out = values::none;
  bool loaded = stack::try_run([&] {
    Cell* target = stack::push(&values::none);
    block::make_at(target, 4);
    zolbin::decode(image.data(), image.size(), target, &values::none);
    *out = *target;
  });
  if (!loaded) require(language_error());
  return loaded;
}

void write_and_read_back(const Cell& loaded) {
  for (auto encoding : {zolbin::Encoding::STANDARD, zolbin::Encoding::COMPACT}) {
    Cell copy = loaded;
    Cell image = values::none;
    if (!stack::try_run([&] { image = zolbin::encode(&copy, encoding); })) {
      require(language_error());
      continue;
    }
    SeriesBuffer* b = memory::buffer_of(series_cell::node(&image));
    std::vector<uint8_t> bytes(b->head(), b->tail_ptr());
    Cell again;
    read(bytes, &again);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int inputs = 0;
  inputs++;
  fuzz::start_runtime_every(INPUTS_PER_RUNTIME);
  std::vector<uint8_t> image(data, data + size);
  Cell loaded;
  if (read(image, &loaded)) write_and_read_back(loaded);
  if (size < 8) return 0;
  std::vector<uint8_t> flipped = image;
  flipped[7] ^= zolbin::FLAG_COMPACT;
  read(flipped, &loaded);
  if (!(image[7] & zolbin::FLAG_LZ) && inputs % INPUTS_PER_RECOMPRESSION == 0) {
    std::vector<uint8_t> packed = zolbin::lz::compress(data + 8, size - 8);
    if (!packed.empty()) {
      std::vector<uint8_t> lz(data, data + 8);
      lz[7] |= zolbin::FLAG_LZ;
      lz.insert(lz.end(), packed.begin(), packed.end());
      read(lz, &loaded);
    }
  }
  return 0;
}
