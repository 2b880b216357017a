// The random generator (see random.h).
#include "runtime/core/random.h"

#include <sys/random.h>

#include <random>

#include "runtime/hashtable/hashtable.h"

namespace zol::random {
namespace {
std::mt19937 generator;
}  // namespace

void init() {
  generator.seed(5489u);
  // Fixed for the run: hashes must not change while tables hold them.
  hashtable::seed = 0x5EED2A11u;
}
void seed(uint32_t s) { generator.seed(s); }
uint32_t next() { return generator() >> 1; }

uint32_t secure_next() {
  uint32_t v = 0;
  if (getrandom(&v, sizeof v, 0) != sizeof v) return next();
  return v >> 1;
}

int32_t integer(bool secure, int32_t n) {
  if (n == 0) return 0;
  uint32_t range = n > 0 ? uint32_t(n) : 0u - uint32_t(n);
  // Redraw above the largest multiple of the range so every result is equally likely.
  uint32_t limit = range * (0x7FFFFFFFu / range);
  uint32_t draw;
  do draw = secure ? secure_next() : next(); while (draw >= limit);
  int32_t r = static_cast<int32_t>(draw % range) + 1;
  return n > 0 ? r : -r;
}

}  // namespace zol::random
