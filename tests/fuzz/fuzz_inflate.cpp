// Fuzz target for the inflater and the zlib and gzip readers. The input's first
// two bytes pick an output capacity; the rest is the stream, fed to the three
// readers in buffers of exactly their sizes (so AddressSanitizer sees any access
// outside them). Whatever a reader answers must be consistent: TOO_SMALL only with
// a length above the capacity, and a second call with the length it reported must
// succeed with the same bytes. Where the system zlib inflates the raw stream to its
// end, our inflater must give the same bytes. The input is also compressed by each
// writer and must come back unchanged. A crash, a sanitizer report or a broken rule
// (abort) is a finding.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/numeric/deflate.h"

namespace {

using namespace zol;
using Bytes = std::vector<uint8_t>;
using Codec = deflate::Result (*)(uint8_t*, uint64_t*, const uint8_t*, uint64_t);

// Streams that inflate to more than this are not compared with the system zlib,
// so that one input cannot take the run's memory.
constexpr size_t ORACLE_LIMIT = 1 << 22;

void require(bool rule) {
  if (!rule) std::abort();
}

struct Run {
  deflate::Result result;
  uint64_t length;
  Bytes out;
};

Run run(Codec codec, const Bytes& in, uint64_t capacity) {
  Bytes out(capacity);
  uint64_t length = capacity;
  deflate::Result r = codec(capacity ? out.data() : nullptr, &length, in.data(), in.size());
  return {r, length, out};
}

// A reader answers TOO_SMALL only with a length above the capacity, and calling
// again with the length it reported settles the answer: at once for the raw
// inflater (with the same bytes where the first call had room), after at most one
// more call for gzip, whose first answer may come from its ISIZE field.
void check_reader(Codec codec, const Bytes& in, uint64_t capacity) {
  Run first = run(codec, in, capacity);
  require(first.result >= deflate::OK && first.result <= deflate::DISTANCE_TOO_FAR);
  if (first.result == deflate::OK) require(first.length <= capacity);
  if (first.result != deflate::TOO_SMALL) return;
  require(first.length > capacity);
  Run last = first;
  for (int call = 0; call < 2 && last.result == deflate::TOO_SMALL; call++) {
    if (last.length > ORACLE_LIMIT) return;
    uint64_t size = last.length;
    last = run(codec, in, size);
    if (last.result == deflate::TOO_SMALL) require(codec == deflate::gzip_decompress && last.length > size);
  }
  require(last.result != deflate::TOO_SMALL);
  if (codec == deflate::inflate) {
    require(last.result == deflate::OK && last.length == first.length);
    require(capacity == 0 || std::memcmp(last.out.data(), first.out.data(), capacity) == 0);
  }
}

// The system zlib's inflation of a raw stream, when it reaches the stream's end.
bool system_inflate(const Bytes& in, Bytes* out) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  out->assign(ORACLE_LIMIT, 0);
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = uInt(in.size());
  z.next_out = out->data();
  z.avail_out = uInt(out->size());
  int r = inflate(&z, Z_FINISH);
  out->resize(z.total_out);
  inflateEnd(&z);
  return r == Z_STREAM_END;
}

void check_against_system(const Bytes& in) {
  Bytes expected;
  if (!system_inflate(in, &expected)) return;
  Run ours = run(deflate::inflate, in, expected.size());
  require(ours.result == deflate::OK && ours.length == expected.size());
  require(ours.out == expected);
}

// As the natives call the writers: room for the input and some, then once more
// with the length reported.
void check_round_trip(Codec compress, Codec decompress, const Bytes& data) {
  Run packed = run(compress, data, data.size() + 32);
  if (packed.result == deflate::TOO_SMALL) packed = run(compress, data, packed.length);
  require(packed.result == deflate::OK);
  packed.out.resize(packed.length);
  Run back = run(decompress, packed.out, data.size());
  require(back.result == deflate::OK && back.length == data.size());
  require(data.empty() || std::memcmp(back.out.data(), data.data(), data.size()) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  uint64_t capacity = uint64_t(data[0]) << 8 | data[1];
  Bytes stream(data + 2, data + size);
  for (Codec codec : {deflate::inflate, deflate::zlib_decompress, deflate::gzip_decompress})
    check_reader(codec, stream, capacity);
  check_against_system(stream);
  check_round_trip(deflate::compress, deflate::inflate, stream);
  check_round_trip(deflate::zlib_compress, deflate::zlib_decompress, stream);
  // Data that starts with the gzip signature is kept as it is, not framed.
  if (!(stream.size() >= 3 && stream[0] == 0x1F && stream[1] == 0x8B && stream[2] == 8))
    check_round_trip(deflate::gzip_compress, deflate::gzip_decompress, stream);
  return 0;
}
