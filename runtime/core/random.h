// The random generator: a twister of 624 words of state for reproducible draws
// after a seed (its own variant, with arithmetic right shifts), and the operating
// system's source, getrandom(2), for /secure draws.
#pragma once
#include <cstddef>
#include <cstdint>

namespace zol::random {

// The state at start-up is the one this seed gives.
constexpr uint32_t INITIAL_SEED = 19650218u;

void init();
void seed(uint32_t s);
uint32_t next();          // 31-bit non-negative
uint32_t secure_next();   // 31-bit non-negative, from the OS
// Fills the buffer from the OS source (the secure draws and anything that needs keys).
void secure_bytes(void* buffer, size_t length);
// Uniform in 1..n for n >= 1, n..-1 for n < 0, 0 for n = 0.
int32_t integer(bool secure, int32_t n);

}  // namespace zol::random
