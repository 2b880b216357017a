// The transcode native: source text (a string! or the UTF-8 bytes of a binary!)
// through the lexer, answering the values, the next value and the rest of the
// input, or only the datatype of the first token; with /trace a function hears
// the lexer's events.
//
// The input is taken from the source's head (clipped to its tail) up to its tail
// or the /part count, which is clipped into that range: no count, however large or
// negative, makes the lexer read outside the series. A string! is copied out as
// UTF-8 first, so positions the lexer reports in bytes are turned back into
// characters for the callback and for the rest of the input.
#include <algorithm>
#include <string>

#include "interpreter/lexer/load.h"
#include "interpreter/natives/natives_internal.h"
#include "runtime/core/callback.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/word.h"
#include "runtime/text/unicode.h"

namespace zol::natives {
namespace {

// The refinements of transcode, as the native receives them (-1: not used).
struct Refinements {
  int next, one, prescan, scan, part, into, trace;
};

// The text handed to the lexer: UTF-8 bytes, and how many units of the source
// (characters of a string!, bytes of a binary!) stand before the first byte.
struct Input {
  std::string bytes;
  bool characters;        // the source is a string!: offsets count characters
  int32_t skipped = 0;    // a byte-order mark skipped at the start of a binary!

  // Units of the source in the first `offset` bytes of the text.
  int32_t units_before(uint32_t offset) const {
    if (!characters) return skipped + int32_t(offset);
    int32_t n = 0;
    for (uint32_t i = 0; i < offset && i < bytes.size(); i++)
      n += (uint8_t(bytes[i]) & 0xC0) != 0x80;
    return n;
  }
};

// The units to read: to the tail, or the /part count (an integer!, or a position
// in a series of the source's type) clipped into [0, what is left].
int32_t units_to_read(Cell* src, int part) {
  int32_t left = series::get_length(src, false);
  if (part < 0) return left;
  const Cell* limit = stack::arg(part);
  int32_t count;
  if (limit->is(T_INTEGER)) {
    count = cell::get_int(limit);
  } else {
    if (limit->type() != src->type()) fire(err::script::NOT_SAME_TYPE);
    count = series::head_index(limit) - series::head_index(src);
  }
  return count < 0 ? 0 : count > left ? left : count;
}

constexpr uint8_t BYTE_ORDER_MARK[3] = {0xEF, 0xBB, 0xBF};

Input input_of(Cell* src, int part) {
  int32_t count = units_to_read(src, part);
  Input in;
  in.characters = src->is(T_STRING);
  if (in.characters) {
    int32_t length = count;
    const char* text = unicode::to_utf8(src, &length);
    in.bytes.assign(text, size_t(length));
    return in;
  }
  const uint8_t* bytes = binary::head_bytes(src);
  if (count > 2 && std::equal(BYTE_ORDER_MARK, BYTE_ORDER_MARK + 3, bytes)) {
    bytes += 3;
    count -= 3;
    in.skipped = 3;
  }
  in.bytes.assign(reinterpret_cast<const char*>(bytes), size_t(count));
  return in;
}

// --- the trace callback ------------------------------------------------------------------

struct EventName {
  lexer::Event event;
  const uint32_t* word;   // its symbol, filled at start-up
};
const EventName EVENT_NAMES[] = {
    {lexer::EV_PRESCAN, &words::prescan}, {lexer::EV_SCAN, &words::scan},
    {lexer::EV_LOAD, &words::load},       {lexer::EV_OPEN, &words::open},
    {lexer::EV_CLOSE, &words::close},     {lexer::EV_ERROR, &words::error_},
};
constexpr uint32_t ALL_EVENTS = 63;

uint32_t event_word(lexer::Event event) {
  for (const EventName& n : EVENT_NAMES)
    if (n.event == event) return *n.word;
  return words::error_;
}

// The events a callback asks for: those named in a block that begins its spec,
// otherwise all.
uint32_t event_mask(const Cell* callback) {
  Cell spec{T_BLOCK, 0, callback->w2, 0};
  SeriesBuffer* b = block::buffer(&spec);
  if (b->length() == 0 || !b->cells()[0].is(T_BLOCK)) return ALL_EVENTS;
  Cell events = b->cells()[0];
  uint32_t mask = 0;
  SeriesBuffer* e = block::buffer(&events);
  for (uint32_t i = uint32_t(series_cell::head(&events)); i < e->length(); i++) {
    const Cell* w = e->cells() + i;
    if (!block::is_any_word(w->type())) continue;
    uint32_t s = symbol::resolve(word_cell::symbol(w));
    for (const EventName& n : EVENT_NAMES)
      if (s == symbol::resolve(*n.word)) mask |= n.event;
  }
  return mask;
}

struct Tracing {
  const Cell* callback;   // in the native's frame
  const Cell* src;
  const Input* input;
};

// Calls the callback with the event word, the source at the token (its start for
// an opening, its end otherwise), the datatype (none for none), the line and the
// token: the value for a load event, else its 1-based start and end positions as
// a pair!. Its answer's truth is the reply.
lexer::Reply call_tracer(void* context, const lexer::TraceEvent& event) {
  const Tracing& t = *static_cast<const Tracing*>(context);
  int32_t base = series_cell::head(t.src) + 1;
  int32_t start = base + t.input->units_before(event.start);
  int32_t end = base + t.input->units_before(event.end);
  Cell* saved_top = stack::top;
  Cell name = word::make_global(words::lexer_callback);
  Cell function = *t.callback;
  stack::mark_func(&name, function.w1);
  Cell* word = stack::push_unset();
  word::make_at(event_word(event.event), word);
  Cell* at = stack::push(t.src);
  series_cell::set_head(at, (event.event == lexer::EV_OPEN ? start : end) - 1);
  Cell type = event.type ? values::of_datatype(event.type) : values::none;
  stack::push(&type);
  Cell line = values::integer(int32_t(event.line));
  stack::push(&line);
  Cell token{};
  if (event.value) token = *event.value;
  else pair::make_at(&token, start, end);
  stack::push(&token);
  interpreter::call_function(&function, context::global, &name, interpreter::CALLBACK_LEXER);
  bool yes = logic::true_value(stack::arguments);
  stack::unwind_last();
  stack::top = saved_top;
  return yes ? lexer::Reply::YES : lexer::Reply::NO;
}

// --- results -------------------------------------------------------------------------------

// The datatype of the token a scan reported: error! for a malformed one, none for
// none (or empty input).
Cell token_type(int type, bool empty) {
  if (empty || type == 0) return values::none;
  return values::of_datatype(type < 0 ? uint8_t(T_ERROR) : uint8_t(type));
}

// [value rest]: the value read and the source after the units it took.
void next_and_rest(Cell* result, const Cell* value, const Cell* src, int32_t units) {
  Cell rest = *src;
  series_cell::set_head(&rest, series_cell::head(src) + units);
  Cell pair_block;
  block::make_at(&pair_block, 2);
  block::append(&pair_block, value);
  block::append(&pair_block, &rest);
  *result = pair_block;
}

}  // namespace

void transcode(int, int next, int one, int prescan, int scan, int part, int into, int trace) {
  Refinements r{next, one, prescan, scan, part, into, trace};
  Cell* src = stack::arg(0);
  Input input = input_of(src, r.part);
  bool type_only = r.prescan >= 0 || r.scan >= 0;
  lexer::Request request;
  // /scan builds the first value to learn its type; /prescan only delimits it.
  request.one = type_only || r.one >= 0 || r.next >= 0;
  request.load = r.prescan < 0;
  request.wrap = !type_only;
  request.strict = !type_only;
  if (r.into >= 0 && !request.one) request.into = stack::arg(r.into);
  Tracing tracing{r.trace >= 0 ? stack::arg(r.trace) : nullptr, src, &input};
  lexer::Tracer tracer{0, call_tracer, &tracing};
  if (tracing.callback) {
    tracer.mask = event_mask(tracing.callback);
    request.tracer = &tracer;
  }
  Cell* out = stack::push_unset();
  uint32_t consumed = 0;
  int type = lexer::scan(out, reinterpret_cast<const uint8_t*>(input.bytes.data()),
                         uint32_t(input.bytes.size()), request, &consumed);
  if (type_only) {
    *stack::arg(0) = token_type(type, input.bytes.empty());
  } else if (r.next >= 0) {
    next_and_rest(stack::arg(0), out, src, input.units_before(consumed));
  } else if (request.into) {
    *stack::arg(0) = *request.into;
  } else {
    *stack::arg(0) = *out;
  }
  stack::pop(1);
}

}  // namespace zol::natives
