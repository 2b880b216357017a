// The terminal beneath the line editor: raw mode through termios, standard input
// byte by byte with a wait limit, the window's width, the title, and the cursor's
// column.
//
// Bytes read beyond the one asked for (typed ahead, a paste, or what came before
// the terminal's answer to a cursor query) wait in one queue for later keys and
// later edits, and the redirected reads take from the same queue, so no byte is
// lost between them.
#pragma once
#include <cstddef>
#include <cstdint>

namespace zol::platform::terminal {

constexpr int DEFAULT_COLUMNS = 80;

bool input_is_terminal();
bool output_is_terminal();

// Raw mode: ICANON, ECHO, ISIG, IEXTEN, ICRNL and IXON off, output processing
// kept. Entering saves the modes; restoring puts them back and may be called at
// any time, twice, or from a signal handler. The modes are also restored when the
// process exits.
void enter_raw_mode();
void restore_mode();

// The next byte of standard input: the queued bytes first, then a read that waits
// at most timeout_ms milliseconds (-1: as long as it takes). Answers the byte,
// TIMED_OUT, or ENDED once standard input has ended or failed; after that every
// read answers ENDED at once.
constexpr int ENDED = -1;
constexpr int TIMED_OUT = -2;
int next_byte(int timeout_ms);
// Puts a byte back in front of the queue.
void unread(uint8_t byte);
bool input_ended();

// The window's columns, read again after the window changed size (80 when the
// terminal reports none).
int columns();

// The cursor's 0-based column, asked of the terminal; 0 when it does not answer
// at once. Keys typed meanwhile are kept.
int cursor_column();

// Sets the window title; only on a terminal, and silently does nothing when it
// cannot.
void set_title(const char* utf8);

// Up to n bytes, as one read (the queued bytes first); 0 at the end.
size_t read_bytes(uint8_t* into, size_t n);

}  // namespace zol::platform::terminal
