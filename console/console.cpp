// The console's first driver: reads commands from standard input line by line,
// loads each complete one and prints its result.
//
// Lines are collected in a buffer while a bracket, paren or braced string is open:
// after every line the lexer's tracer follows the open and close delimiters of the
// whole buffer, and its errors tell an unfinished command (more lines to come) from
// a wrong one (reported at once). A complete command is loaded into a block and its
// result printed as "==", a space and the molded value cut to the console's width;
// unset prints nothing and an error prints its report and an empty line.
//
// `evaluate` is the one place where a loaded command meets the interpreter.
#include "console/console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

#include "console/line_editor.h"
#include "runtime/base/output.h"
#include "runtime/core/actions.h"
#include "interpreter/interpreter.h"
#include "interpreter/lexer/load.h"
#include "runtime/core/stack.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/text/unicode.h"
#include "runtime/core/values.h"

namespace zol::console {
namespace {

const std::string PROMPT = ">> ";
const std::string RESULT_PREFIX = "==";
constexpr char ESCAPE = 27;
constexpr int DEFAULT_WIDTH = 80;

// The console's columns; 80 when the output is not a terminal or reports none.
int console_width() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return DEFAULT_WIDTH;
  return size.ws_col;
}

void print(const std::string& text) {
  output::write(text.data(), text.size());
  output::flush();
}

std::string utf8_of(const Cell& text) {
  int32_t length = -1;
  const char* bytes = unicode::to_utf8(&text, &length);
  return std::string(bytes, size_t(length));
}

// --- results ---------------------------------------------------------------------------

// The result of a loaded command: the value of its last expression.
Cell evaluate(const Cell& code) { return interpreter::do_block(&code); }

// An error's report: its "*** " lines.
std::string report(const Cell& error) {
  Cell text = error::report(&error);
  return utf8_of(text);
}

// The value's mold (a float!'s form) within `limit` characters.
Cell molded_part(const Cell& value, int limit) {
  Cell text;
  string::make_at(&text, 16);
  Cell part = values::integer(limit);
  if (value.is(T_FLOAT)) actions::form_typed(&value, &text, &part, limit);
  else actions::mold_typed(&value, &text, {.part = &part}, limit);
  string::truncate(memory::buffer_of(series_cell::node(&text)), uint32_t(limit));
  return text;
}

// "==", a space and the molded result cut to the console's width: a text longer
// than the width less 3 keeps its first characters, room left for the prompt, and
// ends in "...".
std::string result_line(const Cell& value) {
  int limit = console_width() - 3;
  Cell text = molded_part(value, limit + 5);
  if (limit < string::length(&text)) {
    int keep = limit - int(PROMPT.size()) - 1;
    SeriesBuffer* b = memory::buffer_of(series_cell::node(&text));
    string::truncate(b, uint32_t(keep < 0 ? 0 : keep));
    string::concatenate_literal(&text, "...");
  }
  return RESULT_PREFIX + " " + utf8_of(text) + "\n";
}

// Loads and runs one command, then prints what it gave.
void do_command(const std::string& buffer) {
  Cell code = values::none;
  if (!stack::try_run([&] {
        lexer::load_utf8(reinterpret_cast<const uint8_t*>(buffer.data()), uint32_t(buffer.size()),
                         &code);
      })) {
    print(report(exits::value) + "\n");
    return;
  }
  if (block::length(&code) == 0) return;
  Cell result = values::unset;
  if (!stack::try_run([&] { result = evaluate(code); })) {
    print(report(exits::value) + "\n\n");
    return;
  }
  if (result.is(T_UNSET)) return;
  std::string line;
  if (stack::try_run([&] { line = result_line(result); })) print(line);
  else print(report(exits::value) + "\n");
}

// --- delimiters --------------------------------------------------------------------------

// The opening character of a delimited value, 0 for types that have none.
char opening_char(uint8_t type) {
  switch (type) {
    case T_BLOCK: return '[';
    case T_STRING: return '{';
    case T_PAREN: case T_MAP: case T_POINT2D: return '(';
    case T_PATH: case T_LIT_PATH: case T_GET_PATH: case T_SET_PATH: return '/';
    default: return 0;
  }
}

// What the tracer learns of a buffer: the delimiters still open, innermost last,
// and whether the scan met a wrong one.
struct Delimiters {
  const std::string& input;
  std::string open;
  bool wrong = false;

  char last() const { return open.empty() ? 0 : open.back(); }
  // Consecutive `c` from `at`, stepping by `step`, inside the input.
  int count(long at, char c, int step) const {
    int n = 0;
    for (; at >= 0 && at < long(input.size()) && input[size_t(at)] == c; at += step) n++;
    return n;
  }
};

bool mentions_closer(const std::string& input, uint32_t from) {
  return input.find_first_of(")]", from) != std::string::npos;
}

// Whether an error tells that more lines are to come (the buffer ends while
// something is open). An unfinished tag, binary or raw string opens a delimiter
// here, as the lexer reported no open event for it.
bool unfinished(Delimiters& d, const lexer::TraceEvent& e) {
  const std::string& in = d.input;
  switch (e.type) {
    case T_ERROR:
      return false;
    case T_TAG:
      d.open += '<';
      return true;
    case T_BINARY:
      if (in.size() >= 2 && in[in.size() - 2] == '}') return false;
      d.open += '{';
      return true;
    case T_STRING:
      if (in[e.start] == '%') {
        // A raw string opened at the very start of the input goes on until as many
        // "%" close it.
        if (d.count(0, '%', 1) <= d.count(long(in.size()) - 2, '%', -1)) return false;
        d.open += '{';
        return true;
      }
      return d.last() == '{';
    default:
      break;
  }
  bool bracket = e.type == T_BLOCK || e.type == T_PAREN || e.type == T_MAP || e.type == T_POINT2D;
  if (bracket && opening_char(e.type) == d.last() && !mentions_closer(in, e.end)) return true;
  if (e.type == T_PAREN && d.open.size() >= 2 && d.open[d.open.size() - 2] == '/') {
    d.open.erase(d.open.size() - 2, 1);   // a paren opened inside a path
    return true;
  }
  return false;
}

lexer::Reply follow_delimiters(void* context, const lexer::TraceEvent& e) {
  auto& d = *static_cast<Delimiters*>(context);
  switch (e.event) {
    case lexer::EV_OPEN:
      if (char c = opening_char(e.type)) d.open += c;
      return lexer::Reply::YES;
    case lexer::EV_CLOSE:
      if (opening_char(e.type) != d.last()) {
        d.wrong = true;
        return lexer::Reply::END;
      }
      d.open.pop_back();
      return lexer::Reply::YES;
    default:
      d.wrong = !unfinished(d, e);
      return lexer::Reply::END;
  }
}

// Scans the buffer with the tracer; false when it holds a wrong delimiter.
bool check_delimiters(Delimiters& d) {
  lexer::Tracer tracer{lexer::EV_OPEN | lexer::EV_CLOSE | lexer::EV_ERROR, follow_delimiters, &d};
  lexer::Request request;
  request.wrap = false;
  request.tracer = &tracer;
  bool scanned = stack::try_run([&] {
    lexer::scan(nullptr, reinterpret_cast<const uint8_t*>(d.input.data()),
                uint32_t(d.input.size()), request);
  });
  return scanned && !d.wrong;
}

// --- the loop ------------------------------------------------------------------------------

}  // namespace

void Engine::eval_command(const std::string& line) {
  if (!continued_ && line.empty()) return;
  if (!line.empty() && line.back() == ESCAPE) {
    buffer_.clear();
    continued_ = false;
    print("(escape)\n");
    return;
  }
  buffer_ += line;
  buffer_ += '\n';
  Delimiters d{buffer_, {}};
  bool right = check_delimiters(d);
  continued_ = right && !d.open.empty();
  if (continued_) {
    cue_ = std::string(1, d.last()) + "    ";
    return;
  }
  do_command(buffer_);
  buffer_.clear();
}

const std::string& Engine::prompt() const { return continued_ ? cue_ : PROMPT; }

// The driver reads each command line through the line editor: edited, with
// history, when input and output are both terminals; otherwise as the lines come.
// Until the console object exists the driver keeps the history block, and the
// line "q" (also what Ctrl+C, Ctrl+D on an empty line, and the end of redirected
// input give) ends it.
int run(int, char**) {
  Engine engine;
  Cell* history = stack::push(&values::none);
  block::make_at(history, 16);
  for (;;) {
    std::string text = editor::read_line(history, engine.prompt(), false);
    if (text == "q") return 0;
    engine.eval_command(text);
  }
}

}  // namespace zol::console
