// Simple file I/O over the platform's file layer (see simple_io.h).
//
// A regular file is read with one allocation of exactly the bytes wanted: a
// binary! receives them in its own buffer, text is decoded once from a plain
// buffer. A file whose size the system does not know (pipes, devices, /proc) is
// read once, to its end or to the /part count, into a growing buffer: reading it
// twice would lose a pipe's data and never end on an endless device.
#include "runtime/datatypes/simple_io.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "runtime/collector/collector.h"
#include "runtime/core/actions.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/date/date.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/word.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/url.h"
#include "runtime/memory/memory.h"
#include "runtime/text/unicode.h"

namespace zol::simple_io {

namespace files = platform::files;

namespace {

// The system path of a file, copied out of the conversion's scratch series.
std::string local_path(const Cell* file) { return file::to_local_text(file); }

[[noreturn]] void cannot_open(const Cell* file) { fire(err::access::CANNOT_OPEN, file); }

// An integer refinement argument, or -1 when the refinement is not used; any
// other type raises invalid-refine-arg.
int64_t integer_arg(const Cell* arg, uint32_t refinement) {
  if (!arg) return -1;
  if (!arg->is(T_INTEGER)) series::fire_refine_arg(refinement, arg);
  return cell::get_int(arg);
}

// The largest count of bytes one series holds.
constexpr int64_t LARGEST_SERIES = MAX_DATA_SIZE;

// Closes the descriptor however the read ends.
struct OpenFile {
  int fd;
  explicit OpenFile(int fd) : fd(fd) {}
  ~OpenFile() { files::close_file(fd); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
};

// --- reading -----------------------------------------------------------------------------

// True when no byte has its high bit set: such text is the same in UTF-8 and in a
// string of 1-byte units, so it is copied without decoding.
bool all_ascii(const uint8_t* bytes, size_t count) {
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    if (word & 0x8080808080808080ull) return false;
  }
  for (; i < count; i++)
    if (bytes[i] & 0x80) return false;
  return true;
}

// Makes `cell` a string! of the UTF-8 bytes.
void load_text(const uint8_t* bytes, size_t count, Cell* cell) {
  if (!all_ascii(bytes, count)) {
    string::load(bytes, uint32_t(count), cell, string::ENCODING_UTF8);
    return;
  }
  string::make_at(cell, uint32_t(count));
  SeriesBuffer* b = series::buffer(cell);
  if (count) std::memcpy(b->head(), bytes, count);
  b->tail = b->offset + uint32_t(count);
}

// Each LF ends a line; a CR just before it is dropped; bytes after the last LF make
// a last line, and a final LF adds no empty line.
void lines_to_block(const uint8_t* bytes, size_t count, Cell* out) {
  // Every line stays reachable from the block until it is done.
  collector::Pause pause;
  size_t lines = 0;
  for (const uint8_t* p = bytes; (p = static_cast<const uint8_t*>(
                                      std::memchr(p, '\n', size_t(bytes + count - p))));
       p++)
    lines++;
  Cell* blk = block::push_empty(int32_t(std::min<size_t>(lines + 1, INT32_MAX)));
  NodeRef node = series_cell::node(blk);
  size_t start = 0;
  while (start < count) {
    const void* lf = std::memchr(bytes + start, '\n', count - start);
    size_t end = lf ? size_t(static_cast<const uint8_t*>(lf) - bytes) : count;
    size_t stop = lf && end > start && bytes[end - 1] == '\r' ? end - 1 : end;
    load_text(bytes + start, stop - start, memory::alloc_tail_cell(node));
    start = end + 1;
  }
  *out = *blk;
  stack::pop(1);
}

void make_value(const uint8_t* bytes, size_t count, const ReadOptions& how, Cell* out) {
  if (how.binary) binary::load(bytes, uint32_t(count), out);
  else if (how.lines) lines_to_block(bytes, count, out);
  else load_text(bytes, count, out);
}

void make_empty(const ReadOptions& how, Cell* out) {
  if (how.binary) binary::make_at(out, 0);
  else if (how.lines) block::make_at(out, 0);
  else string::make_at(out, 1);
}

// Reads a source of unknown size once, skipping `seek` bytes, up to `part` bytes
// (-1: to its end). A source longer than the largest series raises size-limit.
void read_stream(int fd, const Cell* file, int64_t part, int64_t seek, const ReadOptions& how,
                 Cell* out) {
  if (seek > 0 && !files::seek(fd, seek)) {
    // Pipes cannot seek: what lies before the position is read and dropped.
    std::vector<uint8_t> skip(size_t(std::min<int64_t>(seek, 1 << 16)));
    for (int64_t left = seek; left > 0;) {
      int64_t n = files::read_bytes(fd, skip.data(), std::min<int64_t>(left, int64_t(skip.size())));
      if (n < 0) cannot_open(file);
      if (n == 0) break;
      left -= n;
    }
  }
  int64_t limit = part >= 0 ? std::min(part, LARGEST_SERIES + 1) : LARGEST_SERIES + 1;
  std::string bytes;
  while (int64_t(bytes.size()) < limit) {
    size_t have = bytes.size();
    size_t chunk = size_t(std::min<int64_t>(limit - int64_t(have), std::max<size_t>(have, 1 << 16)));
    bytes.resize(have + chunk);
    int64_t n = files::read_bytes(fd, bytes.data() + have, int64_t(chunk));
    if (n < 0) cannot_open(file);
    bytes.resize(have + size_t(n));
    if (n < int64_t(chunk)) break;
  }
  if (int64_t(bytes.size()) > LARGEST_SERIES) fire(err::script::SIZE_LIMIT, file);
  make_value(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), how, out);
}

// Reads `count` bytes of a regular file from the current position.
void read_known(int fd, const Cell* file, int64_t count, const ReadOptions& how, Cell* out) {
  if (count > LARGEST_SERIES) fire(err::script::SIZE_LIMIT, file);
  if (how.binary) {
    // Straight into the binary's own buffer: nothing allocates before it is filled.
    Cell made;
    binary::make_at(&made, uint32_t(count));
    SeriesBuffer* b = series::buffer(&made);
    int64_t n = files::read_bytes(fd, b->head(), count);
    if (n < 0) cannot_open(file);
    b->tail = b->offset + uint32_t(n);
    *out = made;
    return;
  }
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[size_t(count)]);
  int64_t n = files::read_bytes(fd, bytes.get(), count);
  if (n < 0) cannot_open(file);
  make_value(bytes.get(), size_t(n), how, out);
}

void read_file(const Cell* file, const ReadOptions& how, Cell* out) {
  int64_t part = integer_arg(how.part, words::part);
  int64_t seek = integer_arg(how.seek, words::seek);
  OpenFile f(files::open_file(local_path(file).c_str(), files::READ));
  if (f.fd < 0) cannot_open(file);
  int64_t size = files::file_size(f.fd);
  if (size < 0) cannot_open(file);
  if (part == 0) return make_empty(how, out);
  if (size == 0) return read_stream(f.fd, file, part, seek, how, out);
  if (seek >= 0) {
    // At or past the end nothing is left to read, as with /part 0.
    if (seek >= size) return make_empty(how, out);
    if (!files::seek(f.fd, seek)) cannot_open(file);
    size -= seek;
  }
  if (part > 0 && part < size) size = part;
  read_known(f.fd, file, size, how, out);
}

// The entries as file! values, directories ending in "/".
void read_directory(const Cell* dir, Cell* out) {
  std::vector<files::Entry> entries;
  if (!files::list_directory(local_path(dir).c_str(), &entries)) cannot_open(dir);
  Cell* blk = block::push_empty(int32_t(entries.size()));
  NodeRef node = series_cell::node(blk);
  for (files::Entry& e : entries) {
    if (e.directory) e.name += '/';
    Cell* name = string::load_in(reinterpret_cast<const uint8_t*>(e.name.data()),
                                 uint32_t(e.name.size()), node, string::ENCODING_UTF8);
    cell::set_type(name, T_FILE);
  }
  *out = *blk;
  stack::pop(1);
}

// --- writing -----------------------------------------------------------------------------

// The bytes a value writes: a string's UTF-8 from its index, a binary's bytes (up
// to `part` when given), any other value its formed text.
struct Bytes {
  const uint8_t* data = nullptr;
  int64_t size = 0;
};

Bytes text_bytes(const Cell* text) {
  // Text of 1-byte units that is all ASCII is written from its own buffer.
  SeriesBuffer* b = series::buffer(text);
  if (b->unit() == 1) {
    const uint8_t* head = b->head() + series_cell::head(text);
    int64_t length = string::length(text);
    if (length >= 0 && all_ascii(head, size_t(length))) return {head, length};
  }
  int32_t n = -1;
  const char* utf8 = unicode::to_utf8(text, &n);
  return {reinterpret_cast<const uint8_t*>(utf8), n};
}

// The formed text of other values lives in `scratch` (on the value stack) until
// the bytes are written.
Bytes value_to_bytes(const Cell* value, int64_t part, Cell* scratch) {
  if (value->is(T_BINARY)) {
    int64_t n = binary::length(value);
    return {binary::head_bytes(value), part > 0 && part < n ? part : n};
  }
  if (series::is_any_string(value->type())) return text_bytes(value);
  *scratch = actions::form_to_string(value);
  return text_bytes(scratch);
}

int64_t write_value(int fd, const Cell* value, int64_t part, bool line_end, Cell* scratch) {
  Bytes b = value_to_bytes(value, part, scratch);
  int64_t n = files::write_bytes(fd, b.data, b.size);
  if (n < 0 || !line_end) return n;
  return files::write_bytes(fd, "\n", 1) < 0 ? -1 : n + 1;
}

// Each value of the block from its index, each followed by LF.
int64_t write_lines(int fd, const Cell* blk, Cell* scratch) {
  int64_t total = 0;
  int32_t head = series_cell::head(blk);
  for (int32_t i = 0, n = block::length(blk); i < n; i++) {
    int64_t written = write_value(fd, block::cell_at(blk, head + i), -1, true, scratch);
    if (written < 0) return -1;
    total += written;
  }
  return total;
}

int open_for_write(const Cell* file, const WriteOptions& how, int64_t seek) {
  int mode = files::WRITE | (how.append ? files::APPEND : 0) | (seek >= 0 ? files::SEEK : 0);
  int fd = files::open_file(local_path(file).c_str(), mode);
  if (fd < 0) return -1;
  bool placed = how.append ? files::seek(fd, 0, true) : seek <= 0 || files::seek(fd, seek);
  if (!placed) {
    files::close_file(fd);
    return -1;
  }
  return fd;
}

}  // namespace

Cell size_number(int64_t n) {
  if (n >= INT32_MIN && n <= INT32_MAX) return values::integer(int32_t(n));
  Cell c;
  float_::make_at(&c, double(n));
  return c;
}

bool is_directory(const Cell* file) {
  string::Text t = string::view(file);
  int32_t n = t.length;
  auto slash_before = [&](int32_t i) { return i == 0 || t[i - 1] == '/'; };
  if (n == 0) return false;
  if (t[n - 1] == '/') return true;
  if (t[n - 1] != '.') return false;
  if (slash_before(n - 1)) return true;
  return n >= 2 && t[n - 2] == '.' && slash_before(n - 2);
}

void read(const Cell* file, const ReadOptions& how, Cell* out) {
  if (is_directory(file)) read_directory(file, out);
  else read_file(file, how, out);
}

int64_t write(const Cell* file, const Cell* value, const WriteOptions& how) {
  int64_t part = integer_arg(how.part, words::part);
  if (how.part && part < 0) return -1;
  int64_t seek = integer_arg(how.seek, words::seek);
  bool as_lines = how.lines && value->is(T_BLOCK);
  Cell* scratch = stack::push_unset();
  int fd = file ? open_for_write(file, how, seek) : files::STANDARD_OUTPUT;
  int64_t written = fd < 0 ? -1
                    : as_lines ? write_lines(fd, value, scratch)
                               : write_value(fd, value, part, how.lines, scratch);
  if (file) files::close_file(fd);
  stack::pop(1);
  if (written < 0 && file) cannot_open(file);
  return written;
}

bool remove(const Cell* file) {
  return files::remove(local_path(file).c_str(), is_directory(file));
}

Cell query(const Cell* file) {
  files::Status st;
  if (!files::status(local_path(file).c_str(), &st)) return values::none;
  string::Text t = string::view(file);
  if (t.length > 0 && t[t.length - 1] == '/' && !st.directory) return values::none;
  platform::WallClock at = platform::calendar_of(st.modified_seconds, st.modified_nanoseconds);
  Cell c;
  date::make_at_system(&c, at.year, at.month, at.day, at.hour, at.minute, at.second,
                       at.nanoseconds);
  return c;
}

bool rename(const Cell* from, const Cell* to) {
  std::string old_path = local_path(from);
  return files::rename(old_path.c_str(), local_path(to).c_str());
}

Cell size_of(const Cell* file) {
  std::string path = local_path(file);
  files::Status st;
  if (!files::status(path.c_str(), &st) || st.directory) return values::none;
  OpenFile f(files::open_file(path.c_str(), files::READ));
  if (f.fd < 0) return values::none;
  return size_number(st.size);
}

void bytes_to_value(const uint8_t* bytes, size_t count, const ReadOptions& how, Cell* out) {
  make_value(bytes, count, how, out);
}

void install() {
  file::services.read = read;
  file::services.write = write;
  file::services.remove = remove;
  file::services.query = query;
  file::services.rename = rename;
}

}  // namespace zol::simple_io
