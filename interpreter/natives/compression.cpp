// The `compress` and `decompress` natives: pick the codec by its method word
// (zlib, deflate or gzip), own the output buffers that runtime/numeric/deflate.h
// writes into, and call again with the size a first call reported.
//
// Sizes come from untrusted data (an expected size, gzip's ISIZE, the measured
// length of a hostile stream), so they are counted in 64 bits and bounded: an
// expected size never exceeds what the input can inflate to, and an output a
// binary! cannot hold raises invalid-data rather than wrapping.
#include <algorithm>
#include <string>

#include "interpreter/natives/natives.h"
#include "interpreter/natives/natives_internal.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory/memory.h"
#include "runtime/numeric/deflate.h"

namespace zol::natives {
namespace {

using Codec = deflate::Result (*)(uint8_t*, uint64_t*, const uint8_t*, uint64_t);

struct Method {
  const uint32_t& word;
  Codec compress;
  Codec decompress;
  bool trusts_expected_size;  // gzip measures from its own trailer instead
};

const Method* method_of(const Cell* word) {
  static const Method methods[] = {
      {words::zlib, deflate::zlib_compress, deflate::zlib_decompress, true},
      {words::deflate_, deflate::compress, deflate::inflate, true},
      {words::gzip, deflate::gzip_compress, deflate::gzip_decompress, false},
  };
  if (!word->is(T_WORD)) fire(err::script::INVALID_ARG, word);
  uint32_t s = symbol::resolve(word_cell::symbol(word));
  for (const Method& m : methods)
    if (symbol::resolve(m.word) == s) return &m;
  fire(err::script::INVALID_ARG, word);
}

[[noreturn]] void invalid_data() { fire(err::script::INVALID_DATA); }

// The input bytes: the data's UTF-8 for a string, else the binary's bytes from its
// index. A binary's bytes are read again after every allocation.
struct Input {
  const Cell* value;
  std::string text;

  const uint8_t* bytes() const {
    return value->is(T_BINARY) ? binary::head_bytes(value)
                               : reinterpret_cast<const uint8_t*>(text.data());
  }
  uint64_t size() const {
    return value->is(T_BINARY) ? uint64_t(std::max(0, binary::length(value))) : text.size();
  }
};

// Runs the codec into a new binary! of `size` bytes, and once more with the size
// it reports when that did not fit; the result is the binary cut to the output.
void run_into_binary(Codec codec, const Input& input, uint64_t size) {
  for (int attempt = 0; attempt < 2; attempt++) {
    if (size > MAX_DATA_SIZE) invalid_data();
    Cell out;
    binary::make_at(&out, uint32_t(size));
    SeriesBuffer* b = series::buffer(&out);
    uint64_t length = size;
    deflate::Result r = codec(b->head(), &length, input.bytes(), input.size());
    if (r == deflate::OK) {
      b->tail = b->offset + uint32_t(length);
      stack::set_last(&out);
      return;
    }
    if (r != deflate::TOO_SMALL) invalid_data();
    size = length;
  }
  invalid_data();
}

// Slack the first output buffer of `compress` has over the input.
constexpr uint64_t COMPRESS_SLACK = 32;

}  // namespace

void compress(int check) {
  (void)check;
  Cell* data = stack::arg(0);
  const Method* method = method_of(stack::arg(1));
  Input input{data, data->is(T_BINARY) ? std::string() : string::to_utf8(data)};
  run_into_binary(method->compress, input, input.size() + COMPRESS_SLACK);
}

void decompress(int check, int size) {
  (void)check;
  Input input{stack::arg(0), {}};
  const Method* method = method_of(stack::arg(1));
  uint64_t capacity = 0;
  if (size >= 0 && method->trusts_expected_size) {
    int32_t expected = cell::get_int(stack::arg(size));
    // A size the input cannot produce would only be an allocation a caller chose.
    if (expected > 0 && uint64_t(expected) > input.size())
      capacity = std::min(uint64_t(expected), deflate::max_inflated(input.size()));
  }
  if (capacity == 0) {
    uint64_t measured = 0;
    deflate::Result r = method->decompress(nullptr, &measured, input.bytes(), input.size());
    if (r != deflate::OK && r != deflate::TOO_SMALL) invalid_data();
    capacity = measured;
  }
  run_into_binary(method->decompress, input, capacity);
}

}  // namespace zol::natives
