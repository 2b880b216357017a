// The random generator: a Mersenne Twister (624 words of state) for reproducible
// draws after a seed, and the operating system's source for /secure draws.
#pragma once
#include <cstdint>

namespace zol::random {

void init();
void seed(uint32_t s);
uint32_t next();          // 31-bit non-negative
uint32_t secure_next();   // 31-bit non-negative, from the OS
// Uniform in 1..n for n >= 1, n..-1 for n < 0, 0 for n = 0.
int32_t integer(bool secure, int32_t n);

}  // namespace zol::random
