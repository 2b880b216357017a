// The terminal line editor: reads one line of input key by key and lets the user
// edit it in place, with history, completion and hidden input; and, when standard
// input is not a terminal, reads the line as UTF-8 text without any display.
//
// The language reaches it through routines registered by name (`_set-buffer-history`,
// `_read-input`, `_terminate-console`, `input-stdin`, `read-stdin`, `console-init`,
// and `_input-ended?`, which tells the console that redirected input has ended).
// One line is edited at a time: `setup` takes the caller's line buffer and
// history block and puts the terminal in raw mode, `edit` reads until an ending
// key and leaves the result in the line buffer. The buffer's string itself goes
// into the history, so every edit needs a buffer of its own.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/core/cell.h"

namespace zol::console::editor {

// Makes the editor's root cells (line, history, pending line); idempotent.
void init();

// Takes the line buffer (a string!) and the history block for the next edit and
// enters raw mode when standard input is a terminal.
void setup(const Cell* line, const Cell* history);
// True when input and output are both terminals: lines are edited.
bool interactive();

// Reads the line: when interactive, with the prompt shown and the line edited, then a
// line feed printed; otherwise one line of standard input, with no prompt. Raw
// mode ends however the edit ends.
void edit(const Cell* prompt, bool hidden);

// One line through `setup` and `edit`, in a line buffer of its own, as UTF-8. The
// prompt's bytes are taken one character each, as the console's prompts are ASCII
// (or carry escape sequences). The history block must be held where the collector
// sees it.
std::string read_line(const Cell* history, const std::string& prompt, bool hidden);

// Appends one line of standard input to the string (the line feed not stored, a
// carriage return kept); at the end of input before any character the line is
// "q". Answers false when input had already ended.
bool stdin_readline(Cell* line);
// True once standard input has ended and every byte of it was taken.
bool input_ended();

// Registers the editor's routines with the routine table.
void register_routines();

}  // namespace zol::console::editor
