// The lexer's load layer: from the scanner's tokens to values.
//
// The scanner (scan.h) delimits and classifies tokens; the loaders
// (loaders.h) turn a token's text into a cell; this layer drives both. Values
// wait on the lexer's cell stack until the bracket that encloses them closes: an
// opener pushes a marker cell, and its closer folds the cells above the marker into
// a block-like value that takes the marker's place. At the end the cells of the top
// level become the result.
//
// The cell stack is one series of cells held by the runtime's root block, so the
// collector marks every cell on it. It doubles when full: the series gets a new
// buffer, so the stack is addressed by cell index and no pointer into it is kept
// across a push. A scan started while another is running (a trace callback that
// loads, a loader that converts text) uses the part above the outer scan's cells
// and gives it back when it ends. While a scan runs the collector is held off:
// everything the scan allocates stays reachable until it ends. A tracer runs with
// the collector as it was.
//
// Strict scans raise a syntax error for malformed input. Quiet scans drop the
// malformed token, close the open blocks and parens, and carry on; the type they
// answer tells the caller what was met (error! for an error).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::lexer {

// Makes the cell stack and the UTF-8 scratch area, and installs the conversions of
// the word, block and float! modules that need the lexer. Start-up calls it once.
void init();

// --- tracing ------------------------------------------------------------------------

// Events a tracer can ask for (bits of its mask).
enum Event : uint32_t {
  EV_PRESCAN = 1,  // a value's token is delimited, before anything else is done with it
  EV_SCAN = 2,     // it is about to be loaded
  EV_LOAD = 4,     // its value is loaded
  EV_OPEN = 8,     // a block, paren, map, path or braced or raw string opens
  EV_CLOSE = 16,   // it closes
  EV_ERROR = 32,   // malformed input (reported before a strict scan raises)
};

struct TraceEvent {
  Event event;
  // The datatype of the opened or closed value; for an error the datatype at
  // fault, the type of the container whose bracket is missing, or error!.
  uint8_t type;
  uint32_t line;
  // Byte offsets of the token in the input. For a missing bracket the error ends
  // at the offending closer (or at the end of the input), so that what follows
  // `end` is the input not yet scanned.
  uint32_t start;
  uint32_t end;
  const Cell* value = nullptr;   // the value loaded, for a load event
};

// An error answered YES makes a strict scan raise, one answered NO is dropped
// quietly; a prescan or scan answered NO skips the token, a load answered NO drops
// the value loaded (the replies to open and close are not used yet); END ends the
// scan at once, building nothing, as a throw out of the callback does.
enum class Reply { NO, YES, END };

struct Tracer {
  uint32_t mask;   // the events to report
  Reply (*call)(void* context, const TraceEvent& event);
  void* context;
};

// --- scanning -------------------------------------------------------------------------

struct Request {
  bool one = false;     // stop after the first complete top-level value
  bool load = true;     // false: structure only, no values (a pre-scan)
  bool wrap = true;     // put the values (or the one value) into the destination
  bool only = false;    // with `one`: still wrap the value in a block
  bool strict = true;   // malformed input raises; strictness needs load and wrap
  const Tracer* tracer = nullptr;
  Cell* into = nullptr; // with wrap: append to this block instead of making one
};

// Scans UTF-8 text. With wrap the destination receives a new block! of the values
// (or, with `one`, the first value itself; none after a quiet error at the end of
// the input). *consumed (when given) receives the bytes up to the end of the last
// token read. Answers the datatype id of the last token (0 for the end of the
// input or a comment, error! after a quiet error). A strict scan raises syntax
// errors; any scan that keeps its values raises the internal error not-done for a
// literal form whose datatype is not built yet.
int scan(Cell* destination, const uint8_t* text, uint32_t length, const Request& request,
         uint32_t* consumed = nullptr);

// The load entry for a string! (any string type), from its head: its characters
// are written as UTF-8 into the scratch area (or a temporary buffer when it lacks
// room) and scanned. *consumed counts characters.
int scan_string(Cell* destination, const Cell* text, const Request& request,
                uint32_t* consumed = nullptr);

// Every value of a string! (from its head) or of UTF-8 text, as a new block!;
// malformed input raises.
Cell* load_string(const Cell* text, Cell* out);
Cell* load_utf8(const uint8_t* text, uint32_t length, Cell* out);

}  // namespace zol::lexer
