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
constexpr int DEFAULT_ROWS = 24;

bool input_is_terminal();
bool output_is_terminal();

// Raw mode: ICANON, ECHO, ISIG, IEXTEN, ICRNL and IXON off, output processing
// kept. Entering saves the modes; restoring puts them back and may be called at
// any time, twice, or from a signal handler. The modes are also restored when the
// process exits.
// The terminal UI asks for `no_wait`: a read then answers at once with what is
// there (VMIN 0), so one poll() serves input, timers and resizes together.
struct RawMode {
  bool no_wait = false;
};
void enter_raw_mode(const RawMode& how = {});
void restore_mode();

// Bytes that undo what a full-screen program switched on (private modes, the
// cursor, attributes). While they are set they are written before the modes are
// restored: by restore_mode, at exit, by the fault handler, and on SIGTERM and
// SIGHUP, whose default action then ends the process. n = 0 clears them.
void set_screen_restore(const char* bytes, size_t n);

// The window's size in cells; 80 by 24 when the terminal reports none.
struct WindowSize {
  int columns;
  int rows;
};
WindowSize window_size();

// Waits at most timeout_ms (-1: as long as it takes) for standard input or a
// change of the window's size, then takes what input there is, the queued bytes
// first, without waiting again. Answers the bytes taken; *resized tells whether
// the window changed size since the last call.
size_t wait_input(uint8_t* into, size_t n, int timeout_ms, bool* resized);

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
