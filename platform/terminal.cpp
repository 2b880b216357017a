// termios raw mode, the input queue with its timed reads, the window size after
// SIGWINCH, the title and the cursor-column query.
#include "platform/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "runtime/base/output.h"

namespace zol::platform::terminal {
namespace {

// The modes to restore; `saved` is set only while raw mode is on, so that a
// restore from a signal handler or at exit never writes stale modes.
termios saved_modes;
volatile sig_atomic_t saved = 0;

std::deque<uint8_t> queue;
bool ended = false;

volatile sig_atomic_t resized = 1;   // read the size at the first use
int known_columns = DEFAULT_COLUMNS;

// How long the cursor query waits for the terminal's answer.
constexpr int ANSWER_WAIT_MS = 150;

// A change of the window's size also writes a byte here, to wake a poll().
int resize_pipe[2] = {-1, -1};
volatile sig_atomic_t resize_seen = 0;

void on_resize(int) {
  resized = 1;
  resize_seen = 1;
  if (resize_pipe[1] >= 0) {
    int saved_errno = errno;
    char b = 0;
    ssize_t ignored = ::write(resize_pipe[1], &b, 1);
    (void)ignored;
    errno = saved_errno;
  }
}

// The screen restore bytes live in a fixed buffer: signal handlers read them.
char restore_bytes[256];
volatile sig_atomic_t restore_length = 0;

void write_screen_restore() {
  size_t n = size_t(restore_length);
  for (size_t done = 0; done < n;) {
    ssize_t w = ::write(STDOUT_FILENO, restore_bytes + done, n - done);
    if (w <= 0) break;
    done += size_t(w);
  }
}

void on_end_signal(int sig) {
  restore_mode();
  signal(sig, SIG_DFL);
  raise(sig);
}

void install_handler(int sig, void (*handler)(int), int flags) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = flags;
  sigaction(sig, &action, nullptr);
}

void install_end_handlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  install_handler(SIGTERM, on_end_signal, 0);
  install_handler(SIGHUP, on_end_signal, 0);
}

void install_resize_handler() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  install_handler(SIGWINCH, on_resize, SA_RESTART);
}

void restore_at_exit() { restore_mode(); }

// One read of what standard input has, after waiting at most timeout_ms for it.
// False when nothing came in time; sets `ended` at the end of input.
bool fill(int timeout_ms) {
  pollfd p{STDIN_FILENO, POLLIN, 0};
  int ready;
  do ready = poll(&p, 1, timeout_ms); while (ready < 0 && errno == EINTR);
  if (ready == 0) return false;
  uint8_t bytes[4096];
  ssize_t n;
  do n = ::read(STDIN_FILENO, bytes, sizeof bytes); while (n < 0 && errno == EINTR);
  if (n <= 0) {
    ended = true;
    return false;
  }
  queue.insert(queue.end(), bytes, bytes + n);
  return true;
}

// Parses the answer to "ESC[6n", "ESC[row;columnR", at the front of `bytes`;
// answers the 1-based column, or 0 when the bytes hold no complete answer there.
int parse_answer(const std::string& bytes, size_t at, size_t* end) {
  if (bytes.compare(at, 2, "\x1b[") != 0) return 0;
  size_t semicolon = bytes.find(';', at + 2);
  if (semicolon == std::string::npos) return 0;
  size_t r = bytes.find('R', semicolon);
  if (r == std::string::npos) return 0;
  *end = r + 1;
  return std::atoi(bytes.c_str() + semicolon + 1);
}

}  // namespace

bool input_is_terminal() { return isatty(STDIN_FILENO) == 1; }
bool output_is_terminal() { return output::console_mode(); }

void enter_raw_mode(const RawMode& how) {
  if (saved || !input_is_terminal()) return;
  termios modes;
  if (tcgetattr(STDIN_FILENO, &modes) != 0) return;
  static bool hooked = false;
  if (!hooked) {
    hooked = true;
    std::atexit(restore_at_exit);
  }
  install_resize_handler();
  saved_modes = modes;
  saved = 1;
  modes.c_lflag &= tcflag_t(~(ICANON | ECHO | ISIG | IEXTEN));
  modes.c_iflag &= tcflag_t(~(ICRNL | IXON));
  modes.c_cc[VMIN] = how.no_wait ? 0 : 1;
  modes.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSADRAIN, &modes);
}

void restore_mode() {
  write_screen_restore();
  restore_length = 0;
  if (!saved) return;
  tcsetattr(STDIN_FILENO, TCSADRAIN, &saved_modes);
  saved = 0;
}

void set_screen_restore(const char* bytes, size_t n) {
  restore_length = 0;
  if (n > sizeof restore_bytes) n = sizeof restore_bytes;
  if (n > 0) std::memcpy(restore_bytes, bytes, n);
  static bool hooked = false;
  if (n > 0 && !hooked) {
    hooked = true;
    std::atexit(restore_at_exit);
  }
  if (n > 0) install_end_handlers();
  restore_length = sig_atomic_t(n);
}

WindowSize window_size() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0)
    return {DEFAULT_COLUMNS, DEFAULT_ROWS};
  return {size.ws_col, size.ws_row};
}

size_t wait_input(uint8_t* into, size_t n, int timeout_ms, bool* was_resized) {
  install_resize_handler();
  if (resize_pipe[0] < 0 && pipe(resize_pipe) == 0) {
    for (int fd : resize_pipe) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    for (int fd : resize_pipe) fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  if (queue.empty() && !ended && !resize_seen) {
    pollfd p[2] = {{STDIN_FILENO, POLLIN, 0}, {resize_pipe[0], POLLIN, 0}};
    int ready;
    do ready = poll(p, resize_pipe[0] >= 0 ? 2 : 1, timeout_ms); while (ready < 0 && errno == EINTR);
    if (ready > 0 && (p[0].revents & (POLLIN | POLLHUP))) fill(0);
  } else if (queue.empty() && !ended) {
    fill(0);
  }
  char drain[64];
  while (resize_pipe[0] >= 0 && ::read(resize_pipe[0], drain, sizeof drain) > 0) {
  }
  *was_resized = resize_seen != 0;
  resize_seen = 0;
  size_t k = 0;
  for (; k < n && !queue.empty(); k++) {
    into[k] = queue.front();
    queue.pop_front();
  }
  return k;
}

int next_byte(int timeout_ms) {
  while (queue.empty()) {
    if (ended) return ENDED;
    if (!fill(timeout_ms)) return ended ? ENDED : TIMED_OUT;
  }
  uint8_t b = queue.front();
  queue.pop_front();
  return b;
}

void unread(uint8_t byte) { queue.push_front(byte); }

bool input_ended() { return ended && queue.empty(); }

size_t read_bytes(uint8_t* into, size_t n) {
  if (queue.empty() && !ended) fill(-1);
  size_t k = 0;
  for (; k < n && !queue.empty(); k++) {
    into[k] = queue.front();
    queue.pop_front();
  }
  return k;
}

int columns() {
  if (resized) {
    resized = 0;
    install_resize_handler();
    winsize size{};
    known_columns = ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0
                        ? size.ws_col
                        : DEFAULT_COLUMNS;
  }
  return known_columns;
}

int cursor_column() {
  output::put_raw("\x1b[6n", 4);
  // Bytes already queued were typed before the question; the answer follows them.
  std::string seen(queue.begin(), queue.end());
  size_t before = seen.size();
  queue.clear();
  int column = 0;
  for (;;) {
    size_t at = seen.find("\x1b[", before);
    size_t end = 0;
    while (at != std::string::npos && (column = parse_answer(seen, at, &end)) == 0)
      at = seen.find("\x1b[", at + 1);
    if (column > 0) {
      seen.erase(at, end - at);
      break;
    }
    if (!fill(ANSWER_WAIT_MS)) break;
    seen.append(queue.begin(), queue.end());
    queue.clear();
  }
  queue.insert(queue.begin(), seen.begin(), seen.end());
  return column > 0 ? column - 1 : 0;
}

void set_title(const char* utf8) {
  if (!output_is_terminal()) return;
  std::string osc = "\x1b]0;";
  osc += utf8;
  osc += '\a';
  output::put_raw(osc.data(), osc.size());
}

}  // namespace zol::platform::terminal
