// The ZOLBIN reader: the header, the LZ payload, the symbol table and the records
// of both encodings, appended to a target block in user mode or, for the boot
// image, in boot mode.
//
// Every count that sizes an allocation (cells of a block, a map's pairs, bytes of a
// string, vector, bitset or image, slots of a context, a path's length) and every
// symbol number is checked against the bytes left and the symbol table before
// anything is allocated or read: a hostile image raises zb-invalid-record with the
// 1-based position of the record or byte, counted from the first header byte. When
// the payload was LZ-compressed, positions count within the decompressed payload
// as if it followed the 8 header bytes.
//
// Values are built in place: a block is appended to its parent before its cells
// are read, a context's owner is stored before its values, so that an index path
// inside them may already name them (cycles close). Cells that the reader must
// finish after their contents (hash!, map!, natives) wait on the value stack,
// where the collector rewrites them if their nodes move.
#include <cstring>

#include "runtime/collector/collector.h"
#include "runtime/core/actions.h"
#include "runtime/core/context.h"
#include "runtime/core/datatype.h"
#include "runtime/core/error.h"
#include "runtime/core/root.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/date/date.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/money/money.h"
#include "runtime/datatypes/hash.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/memory/memory.h"
#include "runtime/zolbin/zolbin.h"
#include "runtime/zolbin/zolbin_internal.h"

namespace zol::zolbin {
namespace {

using namespace detail;

int32_t base_of_literals = 0;

uint32_t read32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

SeriesBuffer* buffer(NodeRef node) { return memory::buffer_of(node); }
uint32_t length_of(NodeRef node) { return buffer(node)->length(); }
Cell* cell_at(NodeRef node, uint32_t i) { return buffer(node)->cells() + i; }
Cell* last_cell(NodeRef node) { return buffer(node)->cell_tail() - 1; }
void truncate(NodeRef node, uint32_t n) { buffer(node)->tail = buffer(node)->offset + n * sizeof(Cell); }
void append(NodeRef node, const Cell& c) { *memory::alloc_tail_cell(node) = c; }

// The shape of a record that both encodings share once its header is read.
struct Record {
  const uint8_t* start;   // its first byte, for error positions
  uint8_t type;
  bool flag = false;      // compact: bit 6 of the header byte
  uint32_t bits = 0;      // standard: the header word
  bool new_line = false;  // the value begins a new line in its block
  bool shared = false;    // a path follows instead of the contents
  bool define = false;    // boot definition
};

class Reader {
 public:
  Reader(const uint8_t* start, const uint8_t* at, const uint8_t* end, bool compact, bool boot,
         NodeRef root)
      : start_(start), at_(at), end_(end), compact_(compact), boot_(boot), root_(root) {}

  void records(bool has_symbols);

 private:
  // The standard encoding names the record at fault, the compact one the byte.
  [[noreturn]] void invalid(const uint8_t* where) {
    if (!compact_ && record_) where = record_;
    Cell position = values::integer(int32_t(where - start_ + 1));
    fire(err::script::ZB_INVALID_RECORD, &position);
  }
  size_t left() const { return size_t(end_ - at_); }
  const uint8_t* take(size_t n) {
    if (n > left()) invalid(at_);
    const uint8_t* p = at_;
    at_ += n;
    return p;
  }
  uint8_t byte() { return *take(1); }
  uint32_t word() { return read32(take(4)); }
  uint32_t uint();
  int32_t sint() { uint32_t u = uint(); return int32_t(u >> 1 ^ (0 - (u & 1))); }
  // A count or index: a word or a varint; negative counts are refused.
  uint32_t count() {
    const uint8_t* at = at_;
    uint32_t n = compact_ ? uint() : word();
    if (int32_t(n) < 0) invalid(at);
    return n;
  }
  int32_t signed_field() { return compact_ ? sint() : int32_t(word()); }
  // A count of things of at least `each` bytes that must still fit in the input.
  uint32_t bounded_count(uint64_t each) {
    const uint8_t* at = at_;
    uint32_t n = count();
    if (uint64_t(n) * each > left()) invalid(at);
    return n;
  }
  double double_value() {
    uint32_t a = word(), b = word();
    uint64_t bits = compact_ ? (uint64_t(b) << 32 | a) : (uint64_t(a) << 32 | b);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
  }
  uint32_t symbol();
  uint32_t intern(uint32_t k, const uint8_t* at);
  void symbol_table();

  // --- records
  void value(NodeRef target);
  void standard_header(Record* r);
  bool compact_header(Record* r, NodeRef target);
  void contents(const Record& r, NodeRef target);
  Cell scalar(const Record& r);
  Cell floating(const Record& r);
  void block(const Record& r, NodeRef target);
  void map(const Record& r, NodeRef target);
  void string(const Record& r, NodeRef target);
  void bitset(const Record& r, NodeRef target);
  void image(const Record& r, NodeRef target);
  // An owner record (object! or function!): `word`, when given, is appended in
  // place of the owner and bound to its new context.
  void object(const Record& r, NodeRef target, const Cell* word);
  void function(const Record& r, NodeRef target, const Cell* word);
  void append_bound(NodeRef target, const Cell& owner, const Cell* word);
  NodeRef context_of(const Record& r, const Cell& designated);
  struct NewContext {
    NodeRef ctx;
    uint32_t slots;
    bool values_present;
  };
  NewContext context_record(const Record* read, bool must_be_on_stack);
  void context_words(const Record& r, const NewContext& c);
  NodeRef nested_block(NodeRef series);
  void check_function(const Record& r, const Cell& fn);
  void standalone_context(const Record& r, NodeRef target);
  void word_value(const Record& r, NodeRef target);
  void boot_word(const Record& r, NodeRef target, uint32_t symbol);
  void error(const Record& r, NodeRef target);
  void native(const Record& r, NodeRef target);
  void op(const Record& r, NodeRef target);
  int32_t head(const Record& r) {
    return compact_ && !r.flag ? 0 : int32_t(count());
  }
  void check_head(const Record& r, int32_t h, uint32_t length) {
    if (uint32_t(h) > length) invalid(r.start);
  }

  // --- paths
  Cell path();
  Cell path_fields();
  Cell resolve(const uint8_t* at, const std::vector<uint32_t>& indexes);

  const uint8_t* start_;
  const uint8_t* at_;
  const uint8_t* end_;
  bool compact_;
  bool boot_;
  NodeRef root_;
  int depth_ = 0;
  const uint8_t* record_ = nullptr;   // the record being read
  // The symbol table: its offsets and names, and in boot mode every name interned.
  const uint8_t* offsets_ = nullptr;
  const uint8_t* names_ = nullptr;
  uint32_t symbol_count_ = 0;
  uint32_t names_size_ = 0;
  std::vector<uint32_t> interned_;
};

uint32_t Reader::uint() {
  const uint8_t* at = at_;
  uint32_t v = 0;
  for (int shift = 0; shift < 35; shift += 7) {
    uint8_t b = byte();
    if (shift == 28 && (b & 0xF0)) invalid(at);
    v |= uint32_t(b & 0x7F) << shift;
    if (!(b & 0x80)) return v;
  }
  invalid(at);
}

uint32_t Reader::symbol() {
  const uint8_t* at = at_;
  uint32_t k = count();
  if (k >= symbol_count_) invalid(at);
  return interned_.empty() ? intern(k, at) : interned_[k];
}

// The name of symbol k: a NUL-terminated, non-empty name inside the names area.
uint32_t Reader::intern(uint32_t k, const uint8_t* at) {
  uint32_t offset = read32(offsets_ + 4 * size_t(k));
  if (offset >= names_size_) invalid(at);
  const uint8_t* name = names_ + offset;
  const void* nul = std::memchr(name, 0, names_size_ - offset);
  if (!nul || nul == name) invalid(at);
  return symbol::make_len(name, uint32_t(static_cast<const uint8_t*>(nul) - name));
}

void Reader::symbol_table() {
  const uint8_t* at = at_;
  symbol_count_ = count();
  names_size_ = count();
  if (uint64_t(symbol_count_) * 4 + names_size_ > left()) invalid(at);
  offsets_ = take(size_t(symbol_count_) * 4);
  names_ = take(names_size_);
  // The boot image's thousands of word records then cost one array access each.
  if (boot_)
    for (uint32_t k = 0; k < symbol_count_; k++) interned_.push_back(intern(k, offsets_ + 4 * size_t(k)));
}

void Reader::records(bool has_symbols) {
  count();   // the root count, not used
  const uint8_t* at = at_;
  uint32_t payload = count();
  if (has_symbols) symbol_table();
  if (payload > left()) invalid(at);
  end_ = at_ + payload;
  while (at_ < end_) value(root_);
}

// --- record headers ---------------------------------------------------------------------

// Reads one record and appends its value (boot definitions append nothing).
void Reader::value(NodeRef target) {
  if (++depth_ > MAX_DEPTH) invalid(at_);
  Record r{at_, 0};
  uint32_t before = length_of(target);
  const uint8_t* outer = record_;
  bool header_only = false;
  if (compact_) header_only = compact_header(&r, target);
  else standard_header(&r);
  record_ = r.start;
  if (!header_only) contents(r, target);
  if (r.new_line && length_of(target) > before) cell::set_new_line(last_cell(target), true);
  record_ = outer;
  depth_--;
}

// Skips padding words.
void Reader::standard_header(Record* r) {
  uint32_t h = 0;
  while (h == 0) {
    r->start = at_;
    h = word();
  }
  r->bits = h;
  r->new_line = (h & STD_NEW_LINE) != 0;
  r->type = uint8_t(h);
  r->shared = (h & STD_REFERENCE) != 0 && r->type != T_OP;
  if (boot_ && word_family(r->type)) r->define = (h & STD_GLOBAL) != 0;
}

// Prefixes, then the lead byte: one-byte values are appended here (answers true).
bool Reader::compact_header(Record* r, NodeRef target) {
  uint8_t b;
  r->start = at_;
  for (;;) {
    b = byte();
    if (b == CP_NEW_LINE) r->new_line = true;
    else if (b == CP_WRITTEN) r->shared = true;
    else if (b == CP_DEFINE) r->define = true;
    else break;
  }
  if (r->define && !boot_) invalid(r->start);
  if (b >= 0x80) {
    if (r->shared || r->define) invalid(r->start);
    if (b < 0xC0) append(target, values::integer(b - CP_SMALL_INT));
    else if (b == CP_TRUE || b == CP_FALSE) append(target, values::logic(b == CP_TRUE));
    else if (b == CP_REFERENCE) append(target, path_fields());
    else invalid(r->start);
    return true;
  }
  r->flag = (b & CP_FLAG) != 0;
  uint32_t id = b & CP_ESCAPE;
  if (id == CP_ESCAPE) id = uint();
  if (id == 0 || id == T_LOGIC || id > 255) invalid(r->start);
  r->type = uint8_t(id);
  if (r->define && !(word_family(r->type) || r->type == T_ISSUE)) invalid(r->start);
  return false;
}

void Reader::contents(const Record& r, NodeRef target) {
  uint8_t t = r.type;
  if (refused(t)) {
    Cell type = values::of_datatype(t);
    refuse(&type);
  }
  if (t == T_IMAGE) return image(r, target);
  if (word_family(t)) return word_value(r, target);
  if (block_family(t) || t == T_HASH) return block(r, target);
  if (string_family(t) || t == T_BINARY || t == T_VECTOR) return string(r, target);
  switch (t) {
    case T_MAP: return map(r, target);
    case T_BITSET: return bitset(r, target);
    case T_CONTEXT: return standalone_context(r, target);
    case T_OBJECT: return object(r, target, nullptr);
    case T_FUNCTION: return function(r, target, nullptr);
    case T_ERROR: return error(r, target);
    case T_NATIVE: case T_ACTION: return native(r, target);
    case T_OP: return op(r, target);
    case STD_REFERENCE_RECORD:
      if (compact_) invalid(r.start);
      return append(target, path_fields());
    default:
      return append(target, scalar(r));
  }
}

// --- scalars ----------------------------------------------------------------------------

Cell Reader::scalar(const Record& r) {
  uint8_t t = r.type;
  switch (t) {
    case T_UNSET: case T_NONE:
      return Cell{t, 0, 0, 0};
    case T_LOGIC:
      return values::logic(word() != 0);
    case T_DATATYPE: {
      uint32_t id = count();
      if (id < 1 || id > T_LAST || !datatype::info(uint8_t(id)).registered) invalid(r.start);
      return values::of_datatype(uint8_t(id));
    }
    case T_CHAR: {
      uint32_t cp = count();
      if (cp > char_::MAX_CODE_POINT) invalid(r.start);
      return Cell{T_CHAR, 0, cp, 0};
    }
    case T_INTEGER:
      return values::integer(signed_field());
    case T_FLOAT: case T_PERCENT: case T_TIME:
      return floating(r);
    case T_DATE: {
      uint32_t packed = word();
      bool has_time = date::has_time(packed);
      if (compact_ && r.flag != has_time) invalid(r.start);
      if (date::month(packed) < 1 || date::month(packed) > 12 || date::day(packed) < 1)
        invalid(r.start);
      Cell c{T_DATE, packed, 0, 0};
      if (!compact_ || has_time) cell::put_double(&c, double_value());
      return c;
    }
    case T_PAIR: {
      int32_t x = signed_field();
      int32_t y = signed_field();
      return Cell{T_PAIR, 0, uint32_t(x), uint32_t(y)};
    }
    case T_POINT2D: {
      uint32_t x = word(), y = word();
      return Cell{T_POINT2D, x, y, 0};
    }
    case T_POINT3D: {
      uint32_t x = word(), y = word(), z = word();
      return Cell{T_POINT3D, x, y, z};
    }
    case T_TYPESET: {
      uint8_t set[12] = {};
      if (compact_) {
        uint8_t n = byte();
        if (n > 12) invalid(r.start);
        std::memcpy(set, take(n), n);
      } else {
        std::memcpy(set, take(12), 12);
      }
      Cell c{T_TYPESET, 0, 0, 0};
      std::memcpy(&c.w1, set, 12);
      return c;
    }
    case T_MONEY: {
      bool negative = compact_ ? r.flag : (r.bits & STD_NEGATIVE) != 0;
      Cell c{};
      if (!money::make_raw(&c, negative, take(money::RAW_BYTES))) invalid(r.start);
      return c;
    }
    case T_TUPLE: {
      int n = compact_ ? (r.flag ? byte() : 3) : int(r.bits >> STD_UNIT_SHIFT & 0xFF);
      if (n < tuple::MIN_COUNT || n > tuple::MAX_COUNT) invalid(r.start);
      size_t stored = compact_ ? size_t(n) : 12;
      Cell c{T_TUPLE, 0, 0, 0};
      tuple::make_at(&c, take(stored), n);
      return c;
    }
    case T_ISSUE: {
      uint32_t id = symbol();
      return Cell{T_ISSUE, context::global, id, uint32_t(-1)};
    }
    default:
      invalid(r.start);
  }
}

Cell Reader::floating(const Record& r) {
  double d;
  if (compact_ && r.flag) {
    int32_t n = sint();
    d = r.type == T_PERCENT ? n / 100.0 : double(n);
  } else {
    d = double_value();
  }
  Cell c{r.type, 0, 0, 0};
  cell::put_double(&c, d);
  return c;
}

// --- series -----------------------------------------------------------------------------

bool holds_cells(uint8_t t) {
  return block_family(t) || t == T_HASH || t == T_MAP || t == T_NATIVE || t == T_ACTION ||
         t == T_OP || t == T_FUNCTION;
}

// Whether a record of type `t` may share the series of the designated value.
bool may_share(uint8_t t, const Cell& designated) {
  uint8_t d = designated.type();
  if (block_family(t)) return holds_cells(d);
  if (string_family(t)) return string_family(d);
  if (t == T_HASH || t == T_MAP) return d == t && designated.w3 != 0;   // its table is made
  return d == t;   // binary!, vector!, bitset!
}

void Reader::block(const Record& r, NodeRef target) {
  int32_t h = head(r);
  if (r.shared) {
    Cell c = path();
    if (!may_share(r.type, c)) invalid(r.start);
    NodeRef node = c.is(T_FUNCTION) || c.is(T_OP) || c.is(T_NATIVE) || c.is(T_ACTION)
                       ? c.w2 : series_cell::node(&c);
    check_head(r, h, length_of(node));
    if (r.type == T_HASH) return append(target, Cell{T_HASH, uint32_t(h), node, c.w3});
    return append(target, Cell{r.type, uint32_t(h), node, 0});
  }
  uint32_t n = bounded_count(1);
  NodeRef node = memory::alloc_cells(n ? n : 1);
  uint32_t position = length_of(target);
  append(target, Cell{r.type == T_HASH ? uint8_t(T_BLOCK) : r.type, uint32_t(h), node, 0});
  for (uint32_t i = 0; i < n; i++) value(node);
  check_head(r, h, length_of(node));
  if (r.type != T_HASH) return;
  Cell* held = stack::push(cell_at(target, position));
  hash::index_block(held, held);
  held->w1 = uint32_t(h);
  *cell_at(target, position) = *held;
  stack::pop(1);
}

void Reader::map(const Record& r, NodeRef target) {
  if (r.shared) {
    Cell c = path();
    if (!may_share(T_MAP, c)) invalid(r.start);
    return append(target, c);
  }
  const uint8_t* at = at_;
  uint32_t n = bounded_count(1);
  if (n & 1) invalid(at);
  NodeRef node = memory::alloc_cells(n ? n : 1);
  uint32_t position = length_of(target);
  append(target, Cell{T_MAP, 0, node, 0});
  for (uint32_t i = 0; i < n; i++) value(node);
  if (length_of(node) != n) invalid(r.start);
  Cell* held = stack::push(cell_at(target, position));
  cell::set_type(held, T_BLOCK);
  map::make_over(held, held);
  *cell_at(target, position) = *held;
  stack::pop(1);
}

// The element widths a vector! may have for each element type.
bool vector_shape(uint32_t element_type, uint32_t unit) {
  switch (element_type) {
    case T_CHAR: case T_INTEGER: return unit == 1 || unit == 2 || unit == 4;
    case T_FLOAT: return unit == 4 || unit == 8;
    case T_PERCENT: return unit == 8;
    default: return false;
  }
}

// string family, binary! and vector!: raw units from the series' first unit.
void Reader::string(const Record& r, NodeRef target) {
  uint8_t t = r.type;
  uint32_t unit = r.bits >> STD_UNIT_SHIFT & 0xFF;
  int32_t h = head(r);
  if (r.shared) {
    Cell c = path();
    if (!may_share(t, c)) invalid(r.start);
    check_head(r, h, length_of(series_cell::node(&c)));
    return append(target, Cell{t, uint32_t(h), series_cell::node(&c), t == T_VECTOR ? c.w3 : 0});
  }
  uint32_t element_type = 0;
  uint32_t length;
  if (!compact_) {
    length = count();
    if (t == T_VECTOR) element_type = word();
  } else if (t == T_BINARY) {
    length = count();
    unit = 1;
  } else if (t == T_VECTOR) {
    uint8_t shape = byte();
    element_type = shape >> 2;
    unit = 1u << (shape & 3);
    length = count();
  } else {
    uint32_t code = count();
    if ((code & 3) == 3) invalid(r.start);
    unit = 1u << (code & 3);
    length = code >> 2;
  }
  bool shape_ok = t == T_VECTOR ? vector_shape(element_type, unit)
                  : t == T_BINARY ? unit == 1 : (unit == 1 || unit == 2 || unit == 4);
  uint64_t size = uint64_t(length) * unit;
  if (!shape_ok || size > left() || size > MAX_DATA_SIZE / 2) invalid(r.start);
  const uint8_t* data = take(size_t(size));
  if (!compact_) take((4 - size % 4) % 4);
  if (unit == 4 && t != T_VECTOR)
    for (uint32_t i = 0; i < length; i++)
      if (read32(data + 4 * size_t(i)) > char_::MAX_CODE_POINT) invalid(r.start);
  check_head(r, h, length);
  NodeRef node = memory::alloc_series(length ? length : 1, unit, 0);
  SeriesBuffer* b = buffer(node);
  std::memcpy(b->head(), data, size_t(size));
  b->tail = b->offset + uint32_t(size);
  append(target, Cell{t, uint32_t(h), node, element_type});
}

void Reader::bitset(const Record& r, NodeRef target) {
  if (r.shared) {
    Cell c = path();
    if (!may_share(T_BITSET, c)) invalid(r.start);
    return append(target, c);
  }
  uint32_t n = bounded_count(1);
  const uint8_t* data = take(n);
  if (!compact_) take((4 - n % 4) % 4);
  NodeRef node = memory::alloc_bytes(n);
  SeriesBuffer* b = buffer(node);
  std::memcpy(b->head(), data, n);
  b->tail = b->offset + n;
  bool complement = compact_ ? r.flag : (r.bits & STD_COMPLEMENT) != 0;
  if (complement) memory::set_series_flag(node, FLAG_COMPLEMENTED);
  append(target, Cell{T_BITSET, 0, node, 0});
}

// image! records: the size is checked against the limits and the input before the
// store is made. A shared record takes the designated image's store and size.
void Reader::image(const Record& r, NodeRef target) {
  int32_t h = head(r);
  if (r.shared) {
    Cell c = path();
    if (!may_share(T_IMAGE, c)) invalid(r.start);
    check_head(r, h, uint32_t(image::pixel_count(&c)));
    return append(target, Cell{T_IMAGE, uint32_t(h), c.w2, c.w3});
  }
  uint32_t width, height;
  if (compact_) {
    width = count();
    height = count();
    if (width > 0xFFFF || height > 0xFFFF) invalid(r.start);
  } else {
    uint32_t size = word();
    width = size & 0xFFFF;
    height = size >> 16;
  }
  uint64_t bytes = uint64_t(width) * height * 4;
  if (bytes > uint64_t(INT32_MAX) || bytes > left()) invalid(r.start);
  check_head(r, h, width * height);
  const uint8_t* data = take(size_t(bytes));
  Cell made;
  image::make_at(&made, int32_t(width), int32_t(height));
  if (bytes) std::memcpy(image::pixels(&made), data, size_t(bytes));
  made.w1 = uint32_t(h);
  append(target, made);
}

// --- contexts ---------------------------------------------------------------------------

// The context record: its header (already read into `read` for a record of its
// own), flags and slot count. The context is made with its owner cell unset.
Reader::NewContext Reader::context_record(const Record* read, bool must_be_on_stack) {
  const uint8_t* at = read ? read->start : at_;
  uint32_t kind, on_stack, renewed;
  bool present;
  if (compact_) {
    if (!read && (byte() & CP_ESCAPE) != T_CONTEXT) invalid(at);
    uint8_t flags = byte();
    kind = flags & 3;
    on_stack = flags & CTX_ON_STACK;
    renewed = flags & CTX_RENEWED;
    present = (flags & CTX_VALUES) != 0;
  } else {
    uint32_t h = read ? read->bits : word();
    if (uint8_t(h) != T_CONTEXT) invalid(at);
    kind = h >> STD_KIND_SHIFT & 3;
    on_stack = h & STD_ON_STACK;
    renewed = h & STD_RENEWED;
    present = (h & STD_VALUES) != 0;
  }
  // Values on the stack and values in the record cannot both be; a function's
  // context keeps its values on the stack and no other context does.
  if ((on_stack && present) || (on_stack != 0) != must_be_on_stack) invalid(at);
  uint32_t n = bounded_count(1);
  NodeRef ctx = context::create(int32_t(n), on_stack != 0, renewed != 0, 0, int(kind));
  return NewContext{ctx, n, present};
}

// The words in slot order, then the values when present.
void Reader::context_words(const Record& r, const NewContext& c) {
  for (uint32_t i = 0; i < c.slots; i++) {
    const uint8_t* at = at_;
    int32_t index = -1;
    if (context::find_or_add(c.ctx, symbol(), true, &index) >= 0) invalid(at);   // repeated
  }
  if (context::values_on_stack(c.ctx)) return;
  NodeRef values = context::record_of(c.ctx)->w2;
  truncate(values, c.values_present ? 0 : c.slots);
  if (!c.values_present) return;
  for (uint32_t i = 0; i < c.slots; i++) value(values);
  if (length_of(values) != c.slots) invalid(r.start);
}

void Reader::standalone_context(const Record& r, NodeRef target) {
  NewContext c = context_record(&r, false);
  Cell obj{T_OBJECT, c.ctx, boot_ ? uint32_t(-1) : object::new_class_id(), 0};
  *(buffer(c.ctx)->cells() + 1) = obj;
  append(target, obj);
  context_words(r, c);
}

// The context a reference names for a word, object! or function!: the designated
// value's own.
NodeRef Reader::context_of(const Record& r, const Cell& d) {
  uint8_t t = d.type();
  bool has_context = word_family(t) || t == T_OBJECT || t == T_FUNCTION ||
                     (t == T_OP && native::op_kind(&d) == T_FUNCTION);
  if (!has_context || d.w1 == 0 || d.w1 == context::global) invalid(r.start);
  return d.w1;
}

void Reader::append_bound(NodeRef target, const Cell& owner, const Cell* word) {
  if (!word) return append(target, owner);
  Cell w = *word;
  w.w1 = owner.w1;
  append(target, w);
}

void Reader::object(const Record& r, NodeRef target, const Cell* word) {
  if (r.shared) {
    Cell owner = *(buffer(context_of(r, path())) ->cells() + 1);
    if (!owner.is(T_OBJECT)) invalid(r.start);
    return append(target, owner);
  }
  int32_t class_id = signed_field();
  if (compact_ ? r.flag : (r.bits & STD_HOOKS) != 0) {
    signed_field();   // the handlers are found again from the words
    signed_field();
  }
  NewContext c = context_record(nullptr, false);
  Cell obj{T_OBJECT, c.ctx, boot_ ? uint32_t(class_id) : object::new_class_id(), 0};
  *(buffer(c.ctx)->cells() + 1) = obj;
  uint32_t position = length_of(target);
  append_bound(target, obj, word);
  context_words(r, c);
  Cell* held = stack::push(&obj);
  object::build_handlers(held);
  *(buffer(c.ctx)->cells() + 1) = *held;
  if (!word) *cell_at(target, position) = *held;
  stack::pop(1);
}

void Reader::function(const Record& r, NodeRef target, const Cell* word) {
  if (r.shared) {
    Cell d = path();
    if (d.is(T_OP) && native::op_kind(&d) == T_FUNCTION) return append(target, native::op_source(&d));
    Cell owner = *(buffer(context_of(r, d))->cells() + 1);
    if (!owner.is(T_FUNCTION)) invalid(r.start);
    return append(target, owner);
  }
  uint32_t spec_cells = bounded_count(1);
  uint32_t body_cells = bounded_count(1);
  NewContext c = context_record(nullptr, true);
  NodeRef spec = memory::alloc_cells(spec_cells ? spec_cells : 1);
  NodeRef body = memory::alloc_cells(body_cells ? body_cells : 1);
  NodeRef more = memory::alloc_unset_cells(function::MORE_CELLS);
  truncate(more, function::MORE_CELLS);
  *cell_at(more, function::MORE_BODY) = Cell{T_BLOCK, 0, body, 0};
  Cell fn{T_FUNCTION, c.ctx, spec, more};
  *(buffer(c.ctx)->cells() + 1) = fn;
  uint32_t position = length_of(target);
  append_bound(target, fn, word);
  context_words(r, c);
  fn.w2 = nested_block(spec);
  cell_at(more, function::MORE_BODY)->w2 = nested_block(body);
  *(buffer(c.ctx)->cells() + 1) = fn;
  if (!word) *cell_at(target, position) = fn;
  check_function(r, fn);
}

// A function's spec or body: a block record read into `series`, or a reference to
// a block whose series is taken instead. Answers the series.
NodeRef Reader::nested_block(NodeRef series) {
  Record r{at_, 0};
  if (compact_) {
    uint8_t b;
    while ((b = byte()) == CP_NEW_LINE || b == CP_WRITTEN) r.shared |= b == CP_WRITTEN;
    if ((b & CP_ESCAPE) != T_BLOCK) invalid(r.start);
    if (b & CP_FLAG) count();
  } else {
    r.bits = word();
    r.shared = (r.bits & STD_REFERENCE) != 0;
    if (uint8_t(r.bits) != T_BLOCK) invalid(r.start);
    count();
  }
  if (r.shared) {
    Cell d = path();
    if (!d.is(T_BLOCK)) invalid(r.start);
    return series_cell::node(&d);
  }
  uint32_t n = bounded_count(1);
  for (uint32_t i = 0; i < n; i++) value(series);
  return series;
}

// A function whose context's words are not its spec's would misplace its arguments
// when called.
void Reader::check_function(const Record& r, const Cell& fn) {
  Cell spec{T_BLOCK, 0, fn.w2, 0};
  Cell* held = stack::push(&spec);
  function::validate_spec(held);
  stack::pop(1);
  uint32_t slot = 0;
  uint32_t words = context::get_words(fn.w1)->length();
  for (uint32_t i = 0; i < length_of(fn.w2); i++) {
    const Cell* c = cell_at(fn.w2, i);
    if (!(c->is(T_WORD) || c->is(T_GET_WORD) || c->is(T_LIT_WORD) || c->is(T_REFINEMENT)))
      continue;
    if (slot >= words || symbol::resolve(word_cell::symbol(c)) !=
                             symbol::resolve(word_cell::symbol(context::get_word(fn.w1, int32_t(slot)))))
      invalid(r.start);
    slot++;
  }
  if (slot != words) invalid(r.start);
}

// --- words ------------------------------------------------------------------------------

void Reader::word_value(const Record& r, NodeRef target) {
  uint32_t id = symbol();
  if (boot_) return boot_word(r, target, id);
  bool global = compact_ ? !r.flag : (r.bits & STD_GLOBAL) != 0;
  if (global) {
    if (!compact_) word();   // the index the global context gives instead
    Cell w = context::add_global(id);
    return append(target, Cell{r.type, context::global, id, w.w3});
  }
  int32_t index = signed_field();
  Cell w{r.type, 0, id, uint32_t(index)};
  uint32_t position = length_of(target);
  if (r.shared) {
    w.w1 = context_of(r, path());
  } else {
    const uint8_t* at = at_;
    Record owner{at_, 0};
    if (compact_) {
      uint8_t b = byte();
      owner.type = b & CP_ESCAPE;
      owner.flag = (b & CP_FLAG) != 0;
    } else {
      owner.bits = word();
      owner.type = uint8_t(owner.bits);
      if (owner.bits & STD_REFERENCE) invalid(at);
    }
    if (owner.type == T_OBJECT) object(owner, target, &w);
    else if (owner.type == T_FUNCTION) function(owner, target, &w);
    else invalid(at);
    w.w1 = cell_at(target, position)->w1;
  }
  if (index < 0 || uint32_t(index) >= context::get_words(w.w1)->length()) invalid(r.start);
  if (r.shared) append(target, w);
}

// Boot mode: the context is the global one or that of a value loaded earlier,
// counted from the literal base; a definition sets the word and leaves nothing.
void Reader::boot_word(const Record& r, NodeRef target, uint32_t id) {
  int32_t literal = -1;
  int32_t index = -1;
  if (compact_) {
    if (r.flag) {
      literal = int32_t(count());
      index = sint();
    }
  } else {
    literal = int32_t(word());
    index = int32_t(word());
  }
  Cell w;
  if (literal < 0) {
    Cell g = context::add_global(id);
    w = Cell{r.type, context::global, id, g.w3};
  } else {
    uint64_t at = uint64_t(base_of_literals) + uint32_t(literal);
    if (at >= length_of(root_)) invalid(r.start);
    NodeRef ctx = context_of(r, *cell_at(root_, uint32_t(at)));
    if (index == -1) index = context::find_word(ctx, id, true);
    if (index < 0 || uint32_t(index) >= context::get_words(ctx)->length()) invalid(r.start);
    w = Cell{r.type, ctx, id, uint32_t(index)};
  }
  uint32_t position = length_of(target);
  append(target, w);
  if (!r.define) return;
  if (target != root_ || at_ >= end_) invalid(r.start);
  value(target);
  if (length_of(target) <= position + 1) invalid(r.start);
  Cell defined = *last_cell(target);
  context::set(&w, &defined);
  truncate(target, position);
}

// --- errors and callables ---------------------------------------------------------------

void Reader::error(const Record& r, NodeRef target) {
  Cell* made = stack::push(&values::unset);
  Cell* spec = stack::push(&values::unset);
  *made = values::of_datatype(T_ERROR);
  *spec = values::integer(int32_t(count()));
  actions::make_typed(made, spec);
  Cell e = *made;
  stack::pop(2);
  NodeRef values = context::record_of(e.w1)->w2;
  Cell files = *cell_at(values, error::F_FILES);
  truncate(values, error::F_ARG1);
  append(target, e);
  for (int f = error::F_ARG1; f <= error::F_STACK; f++) value(values);
  if (length_of(values) != uint32_t(error::F_FILES)) invalid(r.start);
  append(values, files);
}

void Reader::native(const Record& r, NodeRef target) {
  uint32_t index = count();
  uint32_t limit = r.type == T_ACTION ? uint32_t(ACTION_SLOTS) : uint32_t(native::TABLE_SIZE);
  if (index < 1 || index > limit) invalid(r.start);
  uint32_t position = length_of(target);
  append(target, values::unset);   // the native's place while its spec is read
  Cell* spec = stack::push(&values::unset);
  if (boot_) {
    value(target);
    if (length_of(target) != position + 2) invalid(r.start);
    *spec = *last_cell(target);
  } else {
    NodeRef scratch = memory::alloc_cells(1);
    *spec = Cell{T_BLOCK, 0, scratch, 0};
    value(scratch);
    if (length_of(scratch) != 1) invalid(r.start);
    *spec = *cell_at(scratch, 0);
  }
  if (!spec->is(T_BLOCK)) invalid(r.start);
  cell::set_new_line(spec, false);
  Cell made = native::make(r.type, spec, int32_t(index));
  *cell_at(target, position) = made;
  stack::pop(1);
}

void Reader::op(const Record& r, NodeRef target) {
  uint32_t position = length_of(target);
  value(target);
  if (length_of(target) != position + 1) invalid(r.start);
  Cell source = *cell_at(target, position);
  uint8_t kind = source.type();
  bool callable = kind == T_NATIVE || kind == T_ACTION || kind == T_FUNCTION;
  if (!callable || (!compact_ && kind != uint8_t(r.bits >> STD_OP_SHIFT))) invalid(r.start);
  Cell spec{T_BLOCK, 0, source.w2, 0};
  if (!native::op_spec_ok(&spec)) invalid(r.start);
  cell::set_new_line(&source, false);
  if (kind == T_FUNCTION) *function::more(&source, function::MORE_SOURCE) = source;
  Cell* c = cell_at(target, position);
  c->header = (source.header & ~HEADER_TYPE_MASK & ~(0xFFu << native::OP_KIND_SHIFT)) | T_OP |
              uint32_t(kind) << native::OP_KIND_SHIFT;
  native::set_op_operation(c);
}

// --- paths ------------------------------------------------------------------------------

// The reference that stands for a record's contents: the standard encoding's
// reference record, or the compact path.
Cell Reader::path() {
  if (!compact_) {
    const uint8_t* at = at_;
    if (word() != STD_REFERENCE_RECORD) invalid(at);
  }
  return path_fields();
}

Cell Reader::path_fields() {
  const uint8_t* at = at_;
  uint32_t n = count();
  if (n < 1 || n > MAX_PATH || n > left()) invalid(at);
  std::vector<uint32_t> indexes(n);
  for (uint32_t& i : indexes) i = count();
  return resolve(at, indexes);
}

// Walks the indexes from the target block; each must name an existing cell.
Cell Reader::resolve(const uint8_t* at, const std::vector<uint32_t>& indexes) {
  Cell current{T_BLOCK, 0, root_, 0};
  for (size_t k = 0; k < indexes.size(); k++) {
    uint32_t i = indexes[k];
    uint8_t t = current.type();
    NodeRef series = 0;
    uint32_t first = 0;
    if (word_family(t)) {
      NodeRef ctx = current.w1;
      if (ctx == 0) invalid(at);
      if (context::values_on_stack(ctx)) {
        current = *(buffer(ctx)->cells() + 1);
        if (!current.is(T_FUNCTION)) invalid(at);
        t = T_FUNCTION;
      } else {
        series = context::record_of(ctx)->w2;
      }
    }
    if (t == T_FUNCTION || t == T_OP) {
      if (i == 1 && t == T_FUNCTION) {
        current = *function::more(&current, function::MORE_BODY);
        if (!current.is(T_BLOCK)) invalid(at);
        continue;
      }
      if (i != 0) invalid(at);
      if (k + 1 == indexes.size()) {
        current = Cell{T_BLOCK, 0, current.w2, 0};
        continue;
      }
      series = current.w2;
      i = indexes[++k];
    } else if (block_family(t) || t == T_HASH || t == T_MAP || t == T_NATIVE || t == T_ACTION) {
      series = current.w2;
    } else if (t == T_OBJECT || t == T_ERROR) {
      series = context::record_of(current.w1)->w2;
      first = t == T_ERROR ? uint32_t(error::F_ARG1) : 0;
    }
    if (series == 0 || uint64_t(first) + i >= length_of(series)) invalid(at);
    current = *cell_at(series, first + i);
  }
  return current;
}

// --- entry ------------------------------------------------------------------------------

// Holds the collector off for a boot load, restoring its switch however it ends.
struct CollectorOff {
  int saved = collector::enabled;
  CollectorOff() { collector::enabled = 2; }
  ~CollectorOff() { collector::enabled = saved; }
};

void load(const uint8_t* data, size_t length, NodeRef target, bool boot, const Cell* argument) {
  if (length < HEADER_SIZE || std::memcmp(data, MAGIC, sizeof MAGIC) != 0)
    fire(err::script::INVALID_DATA, argument);
  uint8_t flags = data[7];
  const uint8_t* start = data;
  const uint8_t* end = data + length;
  std::vector<uint8_t> unpacked;
  if (flags & FLAG_LZ) {
    std::vector<uint8_t> payload;
    if (!lz::decompress(data + HEADER_SIZE, length - HEADER_SIZE, &payload))
      fire(err::script::INVALID_DATA, argument);
    unpacked.assign(data, data + HEADER_SIZE);
    unpacked.insert(unpacked.end(), payload.begin(), payload.end());
    start = unpacked.data();
    end = start + unpacked.size();
  }
  bool compact = (flags & FLAG_COMPACT) != 0;
  if (!compact && end - start < ptrdiff_t(HEADER_SIZE + 8)) fire(err::script::INVALID_DATA, argument);
  if (boot) base_of_literals = int32_t(length_of(target));
  Reader reader(start, start + HEADER_SIZE, end, compact, boot, target);
  reader.records((flags & FLAG_SYMBOLS) != 0);
}

}  // namespace

void decode(const uint8_t* data, size_t length, const Cell* target, const Cell* argument) {
  load(data, length, series_cell::node(target), false, argument);
}

int32_t boot_load(const uint8_t* image, size_t length, bool keep_literal_base) {
  CollectorOff off;
  int32_t saved = base_of_literals;
  load(image, length, runtime::root_block, true, &values::none);
  int32_t base = base_of_literals;
  if (keep_literal_base) base_of_literals = saved;
  return base;
}

int32_t literal_base() { return base_of_literals; }

}  // namespace zol::zolbin
