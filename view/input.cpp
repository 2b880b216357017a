// Terminal input decoding (see input.h): control bytes, UTF-8 characters, escape
// sequences by the key table, SGR mouse reports and cursor position reports.
#include "view/input.h"

#include <algorithm>
#include <string_view>

#include "view/event.h"

namespace zol::view::input {
namespace {

constexpr uint8_t ESC = 27;

// The sequences after ESC that name keys; any other sequence gives nothing.
struct KeyName {
  std::string_view sequence;
  int32_t key;
};
constexpr KeyName KEY_TABLE[] = {
    {"[A", event::K_UP},       {"[B", event::K_DOWN},       {"[C", event::K_RIGHT},
    {"[D", event::K_LEFT},     {"[F", event::K_END},        {"[H", event::K_HOME},
    {"[3~", event::K_DELETE},  {"[5~", event::K_PAGE_UP},   {"[6~", event::K_PAGE_DOWN},
    {"OP", -31},  {"OQ", -32},  {"OR", -33},  {"OS", -34},  {"[15~", -35}, {"[17~", -36},
    {"[18~", -37}, {"[19~", -38}, {"[20~", -39}, {"[21~", -40}, {"[23~", -41}, {"[24~", -42},
};
constexpr std::string_view SHIFT_TAB = "[Z";

Item key_item(int32_t key, uint32_t flags = 0) {
  Item item;
  item.key = key;
  item.flags = flags;
  return item;
}

void emit_sequence_key(std::string_view sequence, std::vector<Item>& out) {
  if (sequence == SHIFT_TAB) {
    out.push_back(key_item(9, event::SHIFT));
    return;
  }
  for (const KeyName& k : KEY_TABLE)
    if (k.sequence == sequence) {
      out.push_back(key_item(k.key, event::SPECIAL_KEY));
      return;
    }
}

int utf8_length(uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead < 0xE0) return 2;
  if (lead >= 0xE0 && lead < 0xF0) return 3;
  if (lead >= 0xF0 && lead < 0xF5) return 4;
  return 0;   // a continuation byte or a lead no character starts with
}

constexpr int32_t REPLACEMENT = 0xFFFD;

}  // namespace

void Decoder::feed(const uint8_t* bytes, size_t count) {
  bytes_.insert(bytes_.end(), bytes, bytes + count);
}

void Decoder::clear() {
  bytes_.clear();
  escape_since_ = -1;
}

void Decoder::process(int64_t now_ms, std::vector<Item>& out) {
  size_t at = 0;
  while (at < bytes_.size()) {
    if (bytes_[at] == ESC && at + 1 == bytes_.size()) {
      if (escape_since_ < 0) escape_since_ = now_ms;
      if (now_ms - escape_since_ < ESCAPE_WAIT_MS) break;
      out.push_back(key_item(ESC));
      at++;
      escape_since_ = -1;
      continue;
    }
    escape_since_ = -1;
    if (step(at, out) == INCOMPLETE) break;
  }
  bytes_.erase(bytes_.begin(), bytes_.begin() + ptrdiff_t(at));
}

Decoder::Step Decoder::step(size_t& at, std::vector<Item>& out) {
  uint8_t b = bytes_[at];
  if (b == ESC) return escape(at, out);
  if (b < 32 || b == 127) {
    out.push_back(key_item(b == 8 ? 127 : b == 10 ? 13 : b));
    at++;
    return DONE;
  }
  int length = utf8_length(b);
  if (length == 0) {
    out.push_back(key_item(REPLACEMENT));
    at++;
    return DONE;
  }
  if (at + size_t(length) > bytes_.size()) {
    // Wait for the rest unless what came already cannot continue the character.
    for (size_t i = at + 1; i < bytes_.size(); i++)
      if ((bytes_[i] & 0xC0) != 0x80) {
        out.push_back(key_item(REPLACEMENT));
        at++;
        return DONE;
      }
    return INCOMPLETE;
  }
  int32_t cp = length == 1 ? b : b & (0x7F >> length);
  for (int i = 1; i < length; i++) {
    uint8_t c = bytes_[at + size_t(i)];
    if ((c & 0xC0) != 0x80) {
      out.push_back(key_item(REPLACEMENT));
      at++;
      return DONE;
    }
    cp = cp << 6 | (c & 0x3F);
  }
  out.push_back(key_item(cp));
  at += size_t(length);
  return DONE;
}

Decoder::Step Decoder::escape(size_t& at, std::vector<Item>& out) {
  uint8_t kind = bytes_[at + 1];
  if (kind == 'P' || kind == ']') return string_sequence(at);
  if (kind == '[') return control_sequence(at, out);
  if (kind == 'O') {
    if (at + 2 >= bytes_.size()) return INCOMPLETE;
    emit_sequence_key(std::string_view(reinterpret_cast<const char*>(&bytes_[at + 1]), 2), out);
    at += 3;
    return DONE;
  }
  at += 2;   // a two-byte sequence names no key
  return DONE;
}

// A device control string or operating-system command, skipped up to its string
// terminator (ESC \; a command may also end with BEL, as terminals answer).
Decoder::Step Decoder::string_sequence(size_t& at) {
  bool command = bytes_[at + 1] == ']';
  for (size_t i = at + 2; i < bytes_.size(); i++) {
    if (command && bytes_[i] == 7) {
      at = i + 1;
      return DONE;
    }
    if (bytes_[i] == ESC && i + 1 < bytes_.size() && bytes_[i + 1] == '\\') {
      at = i + 2;
      return DONE;
    }
  }
  return unfinished(at);
}

Decoder::Step Decoder::control_sequence(size_t& at, std::vector<Item>& out) {
  int32_t params[4] = {};
  int count = 0;
  bool any = false;
  for (size_t i = at + 2; i < bytes_.size(); i++) {
    uint8_t b = bytes_[i];
    if (b == ESC) {   // an ESC inside ends the sequence unfinished: dropped
      at = i;
      return DONE;
    }
    if (b >= '0' && b <= '9') {
      any = true;
      if (count < 4) params[count] = std::min(params[count] * 10 + (b - '0'), 99999);
    } else if (b == ';') {
      any = true;
      count++;
    } else if (b >= 64 && b <= 126 && b != '[') {
      int total = any ? count + 1 : 0;
      if ((b == 'M' || b == 'm') && total == 3) {
        Item item;
        item.kind = Kind::MOUSE;
        item.code = params[0];
        item.column = params[1];
        item.row = params[2];
        item.release = b == 'm';
        out.push_back(item);
      } else if (b == 'R' && total == 2) {
        Item item;
        item.kind = Kind::CURSOR;
        item.row = params[0];
        item.column = params[1];
        out.push_back(item);
      } else {
        emit_sequence_key(std::string_view(reinterpret_cast<const char*>(&bytes_[at + 1]), i - at),
                          out);
      }
      at = i + 1;
      return DONE;
    }
  }
  return unfinished(at);
}

// A sequence without its end waits for more bytes, unless it has grown past any
// real sequence's length: then it is noise, dropped with what followed it.
Decoder::Step Decoder::unfinished(size_t& at) {
  if (bytes_.size() - at <= SEQUENCE_LIMIT) return INCOMPLETE;
  at = bytes_.size();
  return DONE;
}

Mouse mouse_of(int32_t code) {
  Mouse m;
  m.base = (code & 3) | ((code & 0x40) >> 4);
  m.modifiers = uint32_t((code >> 2) & 3) * event::SHIFT;
  if (code & 0x10) m.modifiers |= event::CONTROL;
  return m;
}

}  // namespace zol::view::input
