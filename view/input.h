// Terminal input decoding for the UI engine: the bytes standard input delivers
// become keys, mouse reports (SGR form) and cursor position reports. Knows nothing
// of widgets or cells, so the dispatch (loop.cpp) and the tests share it.
//
// Bytes arrive in any split: an unfinished UTF-8 character, escape sequence or
// mouse report waits in the buffer for the rest. A lone ESC waits ESCAPE_WAIT_MS
// for more bytes before it counts as the Escape key, so an arrow whose bytes come
// in two reads stays an arrow.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zol::view::input {

constexpr int ESCAPE_WAIT_MS = 50;
// A control sequence longer than this is noise: it is dropped rather than kept
// waiting for a final byte that may never come.
constexpr size_t SEQUENCE_LIMIT = 256;

enum class Kind { KEY, MOUSE, CURSOR };

struct Item {
  Kind kind = Kind::KEY;
  // KEY: the code point, or a negative special key code with SPECIAL_KEY in flags
  // (event.h); shift-tab is 9 with the shift flag.
  int32_t key = 0;
  uint32_t flags = 0;
  // MOUSE: the button code and the 1-based column and row; release for a final "m".
  // CURSOR: row and column, 1-based.
  int32_t code = 0, column = 0, row = 0;
  bool release = false;

  bool operator==(const Item&) const = default;
};

class Decoder {
 public:
  void feed(const uint8_t* bytes, size_t count);
  // Decodes what is complete, appending the items found. `now_ms` is a monotonic
  // time: a lone ESC fed at least ESCAPE_WAIT_MS before it is the Escape key.
  void process(int64_t now_ms, std::vector<Item>& out);
  // Whether a lone ESC waits for more bytes (the loop then wakes in time for it).
  bool escape_waiting() const { return escape_since_ >= 0; }
  void clear();

 private:
  enum Step { DONE, INCOMPLETE };
  Step step(size_t& at, std::vector<Item>& out);
  Step escape(size_t& at, std::vector<Item>& out);
  Step control_sequence(size_t& at, std::vector<Item>& out);
  Step string_sequence(size_t& at);
  Step unfinished(size_t& at);

  std::vector<uint8_t> bytes_;
  int64_t escape_since_ = -1;
};

// What a mouse report means: the base button (0-2 left, middle, right; 3 motion;
// 4, 5 wheel up and down) and the modifier flags of event.h.
struct Mouse {
  int base;
  uint32_t modifiers;
};
Mouse mouse_of(int32_t code);

}  // namespace zol::view::input
