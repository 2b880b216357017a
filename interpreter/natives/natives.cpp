// The natives table (see natives.h): the list of native_list.h expanded, the
// stand-ins of those not built yet, and the call through the table.
#include "interpreter/natives/natives.h"

#include <utility>

#include "interpreter/natives/native_list.h"
#include "interpreter/natives/natives_internal.h"
#include "runtime/core/action_types.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/native.h"
#include "runtime/core/error.h"

namespace zol::natives {
namespace {

#define ZOL_NATIVE_ENTRY(ID, name, fn) native(name, fn),
#define ZOL_STAND_IN_ENTRY(ID, name) stand_in(name),
const Entry TABLE[] = {ZOL_NATIVES(ZOL_NATIVE_ENTRY, ZOL_STAND_IN_ENTRY)};
#undef ZOL_NATIVE_ENTRY
#undef ZOL_STAND_IN_ENTRY
static_assert(std::size(TABLE) <= size_t(native::TABLE_SIZE));

// The natives' indexes (1-based, as the table is).
#define ZOL_NATIVE_INDEX(ID, ...) ID,
enum Index : int32_t { NO_NATIVE, ZOL_NATIVES(ZOL_NATIVE_INDEX, ZOL_NATIVE_INDEX) };
#undef ZOL_NATIVE_INDEX

// The comparison natives, which stand next to each other in the list, with their
// comparison codes.
struct Comparison {
  Index native;
  int code;
};
constexpr Comparison COMPARISONS[] = {
    {N_EQUAL_Q, C_EQUAL},
    {N_NOT_EQUAL_Q, C_NOT_EQUAL},
    {N_STRICT_EQUAL_Q, C_STRICT_EQUAL},
    {N_LESSER_Q, C_LESSER},
    {N_GREATER_Q, C_GREATER},
    {N_LESSER_OR_EQUAL_Q, C_LESSER_EQUAL},
    {N_GREATER_OR_EQUAL_Q, C_GREATER_EQUAL},
    {N_SAME_Q, C_SAME},
};
constexpr bool comparisons_adjoin() {
  for (size_t i = 0; i < std::size(COMPARISONS); i++)
    if (COMPARISONS[i].native != COMPARISONS[0].native + int32_t(i)) return false;
  return true;
}
// comparison_of finds a native by its distance from the first comparison.
static_assert(comparisons_adjoin());

using native::MAX_REFINEMENTS;

// A stand-in of each arity.
template <class Seq>
struct StandIn;
template <size_t... I>
struct StandIn<std::index_sequence<I...>> {
  static void run(int, decltype((void)I, int())...) { not_done(); }
};

template <size_t... N>
constexpr auto stand_ins(std::index_sequence<N...>) {
  return std::array<ActionFn, sizeof...(N)>{
      action_fn(&StandIn<std::make_index_sequence<N>>::run)...};
}
const auto STAND_INS = stand_ins(std::make_index_sequence<MAX_REFINEMENTS + 1>());

// Calls through the function's real type: the check flag for natives, then the
// refinement parameters.
template <size_t... I>
void call_with(ActionFn fn, bool native, const int32_t* r, std::index_sequence<I...>) {
  if (native) reinterpret_cast<void (*)(int, decltype((void)I, int())...)>(fn)(0, r[I]...);
  else reinterpret_cast<void (*)(decltype((void)I, int())...)>(fn)(r[I]...);
}

using Caller = void (*)(ActionFn, bool, const int32_t*);
template <size_t... N>
constexpr auto callers(std::index_sequence<N...>) {
  return std::array<Caller, sizeof...(N)>{+[](ActionFn fn, bool native, const int32_t* r) {
    call_with(fn, native, r, std::make_index_sequence<N>());
  }...};
}
const auto CALLERS = callers(std::make_index_sequence<MAX_REFINEMENTS + 1>());

}  // namespace

ActionFn table[native::TABLE_SIZE];

std::span<const Entry> entries() { return TABLE; }

void register_native(int32_t index, int refinements) {
  const Entry& e = TABLE[index - 1];
  table[index - 1] = e.fn ? e.fn : STAND_INS[size_t(refinements)];
}

void call(ActionFn fn, bool native, const int32_t* refinements, int count) {
  if (count < 0 || count > MAX_REFINEMENTS) not_done();
  CALLERS[size_t(count)](fn, native, refinements);
}

void not_done() {
  Cell name = stack::find_function_frame();
  fire(err::internal::NOT_DONE, &name);
}

int comparison_of(int32_t index) {
  int i = index - COMPARISONS[0].native;
  return i >= 0 && i < int(std::size(COMPARISONS)) ? COMPARISONS[i].code : -1;
}

int32_t return_index() { return N_RETURN; }
int32_t if_index() { return N_IF; }
int32_t unless_index() { return N_UNLESS; }
int32_t either_index() { return N_EITHER; }

}  // namespace zol::natives
