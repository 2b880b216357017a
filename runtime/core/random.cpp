// The random generator (see random.h). The twister shifts right arithmetically,
// on signed words, and hands out the seeded words themselves (tempered) before
// it regenerates the state for the first time: the sequences a script gets after
// `random/seed` depend on both, so they are kept exactly.
#include "runtime/core/random.h"

#include <sys/random.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "runtime/base/system.h"
#include "runtime/hashtable/hashtable.h"

namespace zol::random {
namespace {

constexpr int STATE_WORDS = 624;
constexpr int SHIFT_DISTANCE = 397;
constexpr uint32_t TWIST = 0x9908B0DFu;

uint32_t state[STATE_WORDS];
int index = STATE_WORDS;

// Sign-propagating shift of a word read as a signed 32-bit integer.
inline uint32_t sar(uint32_t w, int n) { return static_cast<uint32_t>(static_cast<int32_t>(w) >> n); }

void regenerate() {
  for (int k = 0; k < STATE_WORDS; k++) {
    uint32_t y = (state[k] & 0x80000000u) | (state[(k + 1) % STATE_WORDS] & 0x7FFFFFFFu);
    state[k] = state[(k + SHIFT_DISTANCE) % STATE_WORDS] ^ sar(y, 1) ^ (y & 1 ? TWIST : 0u);
  }
  index = 0;
}

}  // namespace

void init() {
  seed(INITIAL_SEED);
  // Fixed for the run: hashes must not change while tables hold them.
  hashtable::seed = 0x5EED2A11u;
}

void seed(uint32_t s) {
  state[0] = s;
  for (int i = 1; i < STATE_WORDS; i++)
    state[i] = 1812433253u * (state[i - 1] ^ sar(state[i - 1], 30)) + uint32_t(i);
  index = 0;
}

uint32_t next() {
  if (index == STATE_WORDS) regenerate();
  uint32_t y = state[index++];
  y ^= sar(y, 11);
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= sar(y, 18);
  return y;
}

void secure_bytes(void* buffer, size_t length) {
  auto* p = static_cast<unsigned char*>(buffer);
  while (length > 0) {
    ssize_t got = getrandom(p, length, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      // Without the kernel's source there is no secure draw to give; a quiet fallback
      // to the twister would hand out predictable "secure" values.
      system::runtime_error(system::FATAL_UNKNOWN, 0);
    }
    p += got;
    length -= size_t(got);
  }
}

uint32_t secure_next() {
  unsigned char bytes[4];
  secure_bytes(bytes, sizeof bytes);
  uint32_t v = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
               uint32_t(bytes[3]) << 24;
  return v & 0x7FFFFFFFu;
}

int32_t integer(bool secure, int32_t n) {
  if (n == 0) return 0;
  if (n == INT32_MIN) {
    // The whole negative half: one draw covers it exactly.
    uint32_t r = secure ? secure_next() : next();
    return -1 - int32_t(r);
  }
  uint32_t range = n > 0 ? uint32_t(n) : uint32_t(-n);
  // Redraw at or above the largest multiple of the range so every result is equally likely.
  uint32_t limit = (0x7FFFFFFFu / range) * range;
  uint32_t draw;
  do draw = secure ? secure_next() : next(); while (draw >= limit);
  int32_t r = int32_t(draw % range) + 1;
  return n > 0 ? r : -r;
}

}  // namespace zol::random
