// Evaluation tracing: the interpreter reports its steps to a Zol function, the
// tracer, that `do/trace` installs for a traced run.
//
// Events are delivered only while `tracing` is set and the event is in the mask
// the tracer asked for. The tracer is called with six arguments: the event word,
// the block (or none), the position as an offset from the block's head (-1 when
// none or outside), the value (or none), the reference (for set, prolog, epilog,
// return and call; none otherwise), and a pair! of the stack depths of `arguments`
// and `top` before the event. Tracing is off while the tracer runs.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::trace {

enum Event : uint32_t {
  INIT = 0x0001, END = 0x0002, PROLOG = 0x0004, EPILOG = 0x0008, ENTER = 0x0010,
  EXIT = 0x0020, OPEN = 0x0040, RETURN = 0x0080, FETCH = 0x0100, PUSH = 0x0200,
  SET = 0x0400, CALL = 0x0800, ERROR = 0x1000, THROW = 0x2000, CATCH = 0x4000,
  EXPR = 0x8000,
};
constexpr uint32_t ALL_EVENTS = 0x1FFFF;

extern uint32_t tracing;         // events are delivered while non-zero
extern uint32_t saved_tracing;   // 1 while a traced run is active
extern uint32_t event_mask;
extern int32_t tracer_locals;    // local slots the tracer needs beyond its six arguments
// What traced code asked for by switching its own tracing off or on: 0 nothing,
// else 1 + the tracing wanted. It outlives the calls that switched it, so every
// function returning afterwards leaves tracing as asked rather than as it found it.
extern uint32_t requested;

void init();                     // reserves the tracer cell in the root block
Cell* tracer();                  // the tracer function of the traced run

// Delivers one event (block and value may be null; position is absolute in the
// block's buffer, -1 for none).
void fire(uint32_t event, const Cell* block, int32_t position, const Cell* value,
          const Cell* reference);
inline void event(uint32_t e, const Cell* block, int32_t position, const Cell* value,
                  const Cell* reference = nullptr) {
  if (tracing) fire(e, block, position, value, reference);
}

// The mask a tracer asks for: the words of a block at the head of its body, or
// every event.
uint32_t mask_of(const Cell* tracer_function);

// The tracing a callback of a given kind runs with: on only when the kind is
// among the bits of system/state/callbacks.
uint32_t callback_tracing(int kind);

// A traced run of the do native: it installs the tracer and fires init; end()
// fires end when the evaluation finished without an exit on its way. However the
// run is left, by a value, an exit or an error, it puts back the tracing state it
// found, so that a later traced run starts afresh.
class TracedRun {
 public:
  explicit TracedRun(const Cell* tracer_function);
  ~TracedRun();
  TracedRun(const TracedRun&) = delete;
  TracedRun& operator=(const TracedRun&) = delete;
  void end();

 private:
  uint32_t tracing_, saved_tracing_, event_mask_, requested_;
  int32_t tracer_locals_;
  Cell tracer_;   // on the native stack, which the collector scans
};

// The error event of an error being raised, delivered while tracing; the exit
// status pending meanwhile is kept aside so that the tracer runs normally. An exit
// the tracer starts (an error, throw, break...) travels at once, as an exception.
void error_raised(Cell* error);

}  // namespace zol::trace
