// The natives that turn bytes into text and back in a base (enbase and debase),
// and complement?, which tells a complemented bitset.
// The codings themselves are in runtime/datatypes/binary/basecode.cpp; these
// pick the base (64 unless /base gives one), take the bytes or text from the
// argument's head and leave a new string! or binary! in the frame.
#include <string>

#include "interpreter/natives/natives_internal.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/binary/basecode.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/bitset.h"

namespace zol::natives {
namespace {

constexpr int DEFAULT_BASE = 64;

// The base /base asks for, refused unless a coding exists for it.
int base_of(int base_refinement) {
  if (base_refinement < 0) return DEFAULT_BASE;
  Cell* base = stack::arg(base_refinement);
  int32_t value = cell::get_int(base);
  if (!binary::is_coding_base(value)) fire(err::script::INVALID_ARG, base);
  return value;
}

}  // namespace

void enbase(int, int base_refinement) {
  int base = base_of(base_refinement);
  Cell* value = stack::arg(0);
  if (value->is(T_BINARY)) {
    binary::encode_bytes(binary::head_bytes(value), uint32_t(binary::length(value)), base, value);
    return;
  }
  std::string bytes = binary::bytes_of(value, -1, false);   // a string's UTF-8
  binary::encode_bytes(reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()),
                       base, value);
}

void debase(int, int base_refinement) {
  int base = base_of(base_refinement);
  Cell* value = stack::arg(0);
  if (!binary::decode_text(value, base, value)) *value = values::none;
}

void complement_q(int) {
  Cell answer = values::logic(bitset::complemented(stack::arg(0)));
  *stack::arg(0) = answer;
}

}  // namespace zol::natives
