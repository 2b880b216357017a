// The natives table (see natives.h): the natives in their fixed order, the
// stand-ins of those not built yet, and the call through the table.
#include "interpreter/natives/natives.h"

#include <utility>

#include "interpreter/natives/natives_internal.h"
#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/datatypes/native.h"
#include "runtime/core/error.h"

namespace zol::natives {
namespace {

const Entry TABLE[] = {
    native("if", if_), native("unless", unless), native("either", either), native("any", any),
    native("all", all), native("while", while_), native("until", until), native("loop", loop),
    native("repeat", repeat), native("forever", forever), native("foreach", foreach),
    native("forall", forall), native("remove-each", remove_each), native("func", func),
    native("function", function), native("does", does), native("has", has),
    native("switch", switch_), native("case", case_), native("do", do_), native("get", get),
    native("set", set), native("print", print), native("prin", prin), native("equal?", equal_q),
    native("not-equal?", not_equal_q), native("strict-equal?", strict_equal_q),
    native("lesser?", lesser_q), native("greater?", greater_q),
    native("lesser-or-equal?", lesser_or_equal_q),
    native("greater-or-equal?", greater_or_equal_q), native("same?", same_q),
    native("not", not_), native("type?", type_q), native("reduce", reduce), native("compose", compose),
    stand_in("stats"), native("bind", bind), native("in", in), stand_in("parse"), stand_in("union"),
    stand_in("intersect"), stand_in("unique"), stand_in("difference"), stand_in("exclude"),
    stand_in("complement?"), stand_in("dehex"), stand_in("enhex"), stand_in("negative?"),
    stand_in("positive?"), stand_in("max"), stand_in("min"), stand_in("shift"),
    stand_in("to-hex"), stand_in("sine"), stand_in("cosine"), stand_in("tangent"),
    stand_in("arcsine"), stand_in("arccosine"), stand_in("arctangent"),
    stand_in("arctangent2"), stand_in("NaN?"), stand_in("log-2"), stand_in("log-10"),
    stand_in("log-e"), stand_in("exp"), stand_in("square-root"), native("construct", construct),
    native("value?", value_q), native("try", try_), stand_in("uppercase"), stand_in("lowercase"),
    stand_in("as-pair"), stand_in("as-point2D"), stand_in("as-point3D"), stand_in("as-money"),
    native("break", break_), native("continue", continue_), native("exit", exit),
    native("return", return_), native("throw", throw_), native("catch", catch_),
    stand_in("extend"), stand_in("debase"), stand_in("to-local-file"), stand_in("wait"),
    stand_in("checksum"), native("unset", unset), native("new-line", new_line), native("new-line?", new_line_q),
    stand_in("enbase"), native("context?", context_q), stand_in("set-env"), stand_in("get-env"),
    stand_in("list-env"), stand_in("now"), stand_in("sign?"), native("as", as), stand_in("call"),
    stand_in("zero?"), stand_in("size?"), stand_in("browse"), stand_in("compress"),
    stand_in("decompress"), stand_in("recycle"), stand_in("transcode"), stand_in("apply"),
};

// The comparison natives, by index, with their comparison codes.
constexpr int FIRST_COMPARISON = 25;
constexpr int COMPARISONS[] = {C_EQUAL,   C_NOT_EQUAL,     C_STRICT_EQUAL,   C_LESSER,
                               C_GREATER, C_LESSER_EQUAL, C_GREATER_EQUAL, C_SAME};

constexpr int MAX_REFINEMENTS = 11;

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
  fire(err::INTERNAL, err::internal::NOT_DONE, &name);
}

int comparison_of(int32_t index) {
  int i = index - FIRST_COMPARISON;
  return i >= 0 && i < int(std::size(COMPARISONS)) ? COMPARISONS[i] : -1;
}

}  // namespace zol::natives
