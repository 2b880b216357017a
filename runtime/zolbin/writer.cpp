// The ZOLBIN writers: one walk over the value, emitting standard records (32-bit
// words) or compact ones (varints and one-byte forms).
//
// The walk keeps the index the next value takes among its siblings and, on the
// reference table's path stack, the indexes of the enclosing levels. A series or
// context met for the first time is recorded with that path; a later value sharing
// it is written with only the fields of its own cell and the recorded path, which
// the reader resolves from the load's target block. A word bound to an object or
// a function carries its owner's record after it the first time; a word bound to
// any other context is written as a global word every time, since the reader could
// rebuild no owner for it.
#include <cmath>
#include <cstring>

#include "runtime/collector/collector.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/bitset.h"
#include "runtime/datatypes/date/date.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/money/money.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/memory/memory.h"
#include "runtime/zolbin/zolbin.h"
#include "runtime/zolbin/zolbin_internal.h"

namespace zol::zolbin {
namespace detail {

References references;

namespace {
void mark_references() {
  for (const auto& entry : references.where) collector::mark_node(entry.first);
}
}  // namespace

void reset_tables() {
  references.where.clear();
  references.paths.clear();
  references.stack.clear();
}

bool refused(uint8_t type) {
  return type == T_ROUTINE || type == T_TRIPLE || type == T_HANDLE || type == T_PORT ||
         type == T_EVENT;
}

void refuse(const Cell* value_or_type) {
  reset_tables();
  fire(err::access::NO_CODEC, value_or_type);
}

}  // namespace detail

namespace {

using namespace detail;

// The binding a word is written with: the global context, or the object or function
// that owns its context.
const Cell* word_owner(const Cell* word) {
  NodeRef ctx = word_cell::context(word);
  if (ctx == 0 || ctx == context::global) return nullptr;
  const Cell* owner = memory::buffer_of(ctx)->cells() + 1;
  return owner->is(T_OBJECT) || owner->is(T_FUNCTION) ? owner : nullptr;
}

uint32_t log2_unit(uint32_t unit) { return unit == 1 ? 0 : unit == 2 ? 1 : unit == 4 ? 2 : 3; }

class Writer {
 public:
  explicit Writer(bool compact) : compact_(compact) {}

  void value(const Cell* v);
  std::vector<uint8_t> image() const;

 private:
  // --- primitives
  void byte(uint8_t b) { out_.push_back(b); }
  void bytes(const uint8_t* p, size_t n) { out_.insert(out_.end(), p, p + n); }
  void word(uint32_t w) { for (int i = 0; i < 4; i++) byte(uint8_t(w >> (8 * i))); }
  void uint(uint32_t v) {
    while (v >= 0x80) { byte(uint8_t(v | 0x80)); v >>= 7; }
    byte(uint8_t(v));
  }
  void sint(int32_t n) { uint(uint32_t(n) << 1 ^ uint32_t(n >> 31)); }
  void pad(size_t multiple) { while (out_.size() % multiple) byte(0); }
  // A count or index field: a word in the standard encoding, a varint in the compact.
  void count(uint32_t n) { if (compact_) uint(n); else word(n); }
  void signed_count(int32_t n) { if (compact_) sint(n); else word(uint32_t(n)); }

  // The start of a record. Standard: the header word with the cell's new-line bit
  // and `bits`. Compact: the new-line and already-written prefixes, then the header
  // byte with its flag.
  void header(const Cell* v, uint8_t type, uint32_t bits, bool shared, bool flag) {
    if (!compact_) {
      word(type | bits | (shared ? STD_REFERENCE : 0) | (cell::new_line(v) ? STD_NEW_LINE : 0));
      return;
    }
    if (cell::new_line(v)) byte(CP_NEW_LINE);
    if (shared) byte(CP_WRITTEN);
    uint8_t f = flag ? CP_FLAG : 0;
    if (type < CP_ESCAPE) {
      byte(uint8_t(type | f));
    } else {
      byte(uint8_t(CP_ESCAPE | f));
      uint(type);
    }
  }
  void head(const Cell* v, bool shared, uint32_t std_bits = 0) {
    int32_t h = series_cell::head(v);
    header(v, v->type(), std_bits, shared, h != 0);
    if (!compact_ || h != 0) count(uint32_t(h));
  }
  void path(uint32_t offset) {
    const std::vector<int32_t>& p = references.paths;
    int32_t n = p[offset];
    if (!compact_) word(STD_REFERENCE_RECORD);
    count(uint32_t(n));
    for (int32_t i = 1; i <= n; i++) count(uint32_t(p[offset + i]));
  }
  uint32_t symbol(uint32_t id);
  void double_value(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    if (compact_) {
      word(uint32_t(bits));
      word(uint32_t(bits >> 32));
    } else {
      word(uint32_t(bits >> 32));
      word(uint32_t(bits));
    }
  }

  // --- levels
  void enter() { references.stack.push_back(index_); index_ = 0; }
  void leave() { index_ = references.stack.back(); references.stack.pop_back(); }
  void record(NodeRef node) {
    references.where[node] = uint32_t(references.paths.size());
    references.paths.push_back(int32_t(references.stack.size()));
    references.paths.insert(references.paths.end(), references.stack.begin(),
                            references.stack.end());
  }

  // --- records
  bool scalar(const Cell* v);
  void floating(const Cell* v);
  void shared_value(const Cell* v, NodeRef node);
  void contents(const Cell* v, bool shared);
  void cells(const Cell* v, uint32_t from);
  void map_pairs(const Cell* v);
  void units(const Cell* v);
  void bitset_bytes(const Cell* v);
  void image_pixels(const Cell* v);
  void object(const Cell* v, bool shared);
  void function(const Cell* v, bool shared);
  void context_record(NodeRef ctx);
  void global_word(const Cell* v);
  void bound_word(const Cell* v, const Cell* owner, bool shared);
  void error(const Cell* v);
  void op(const Cell* v);
  void native(const Cell* v);

  bool compact_;
  std::vector<uint8_t> out_;
  std::vector<uint32_t> symbols_;
  std::vector<uint32_t> offsets_;
  std::vector<uint8_t> names_;
  int32_t index_ = 0;
  int depth_ = 0;
};

uint32_t Writer::symbol(uint32_t id) {
  for (size_t i = 0; i < symbols_.size(); i++)
    if (symbols_[i] == id) return uint32_t(i);
  offsets_.push_back(uint32_t(names_.size()));
  symbols_.push_back(id);
  const char* name = symbol::get_c_string(id);
  names_.insert(names_.end(), name, name + symbol::name_length(id));
  names_.push_back(0);
  if (!compact_) while (names_.size() % 8) names_.push_back(0);
  return uint32_t(symbols_.size() - 1);
}

void Writer::value(const Cell* v) {
  if (++depth_ > MAX_DEPTH) {
    reset_tables();
    fire(err::internal::STACK_OVERFLOW);
  }
  uint8_t t = v->type();
  if (refused(t)) refuse(v);
  if (!scalar(v)) {
    if (t == T_ERROR) {
      error(v);
    } else if (t == T_OP) {
      op(v);
    } else if (t == T_NATIVE || t == T_ACTION) {
      native(v);
    } else if (word_family(t) && !word_owner(v)) {
      global_word(v);
    } else if (word_family(t) || t == T_OBJECT || t == T_FUNCTION) {
      shared_value(v, v->w1);
    } else if (block_family(t) || string_family(t) || t == T_HASH || t == T_MAP ||
               t == T_BINARY || t == T_VECTOR || t == T_BITSET || t == T_IMAGE) {
      shared_value(v, series_cell::node(v));
    } else {
      refuse(v);   // context!, and ids with no record
    }
  }
  index_++;
  depth_--;
}

// The values with nothing to share; false for the others.
bool Writer::scalar(const Cell* v) {
  uint8_t t = v->type();
  switch (t) {
    case T_UNSET: case T_NONE:
      header(v, t, 0, false, false);
      return true;
    case T_LOGIC:
      if (compact_) {
        if (cell::new_line(v)) byte(CP_NEW_LINE);
        byte(v->w1 ? CP_TRUE : CP_FALSE);
      } else {
        header(v, t, 0, false, false);
        word(v->w1 ? 1 : 0);
      }
      return true;
    case T_DATATYPE:
      header(v, t, 0, false, false);
      count(v->w1);
      return true;
    case T_CHAR:
      header(v, t, 0, false, false);
      count(v->w2);
      return true;
    case T_INTEGER: {
      int32_t n = cell::get_int(v);
      if (compact_ && n >= 0 && n < 64) {
        if (cell::new_line(v)) byte(CP_NEW_LINE);
        byte(uint8_t(CP_SMALL_INT + n));
        return true;
      }
      header(v, t, 0, false, false);
      signed_count(n);
      return true;
    }
    case T_FLOAT: case T_PERCENT: case T_TIME:
      floating(v);
      return true;
    case T_DATE:
      header(v, t, 0, false, date::has_time(v->w1));
      word(v->w1);
      if (!compact_ || date::has_time(v->w1)) double_value(cell::get_double(v));
      return true;
    case T_PAIR:
      header(v, t, 0, false, false);
      signed_count(int32_t(v->w2));
      signed_count(int32_t(v->w3));
      return true;
    case T_POINT2D: case T_POINT3D:
      header(v, t, 0, false, false);
      word(v->w1);
      word(v->w2);
      if (t == T_POINT3D) word(v->w3);
      return true;
    case T_TYPESET: {
      header(v, t, 0, false, false);
      if (!compact_) {
        word(v->w1); word(v->w2); word(v->w3);
        return true;
      }
      uint8_t set[12];
      std::memcpy(set, &v->w1, 12);
      uint8_t n = 12;
      while (n > 0 && set[n - 1] == 0) n--;
      byte(n);
      bytes(set, n);
      return true;
    }
    case T_MONEY: {
      bool negative = money::negative(v);
      header(v, t, negative ? STD_NEGATIVE : 0, false, negative);
      uint8_t raw[money::RAW_BYTES];
      money::raw_bytes(v, raw);
      bytes(raw, money::RAW_BYTES);
      return true;
    }
    case T_TUPLE: {
      int n = tuple::count(v);
      header(v, t, uint32_t(n) << STD_UNIT_SHIFT, false, n != 3);
      uint8_t elements[12];
      std::memcpy(elements, &v->w1, 12);
      if (!compact_) {
        word(v->w1); word(v->w2); word(v->w3);
        return true;
      }
      if (n != 3) byte(uint8_t(n));
      bytes(elements, size_t(n));
      return true;
    }
    case T_ISSUE:
      header(v, t, 0, false, false);
      count(symbol(word_cell::symbol(v)));
      return true;
    default:
      return false;
  }
}

// float!, percent! and time!: a double, or in the compact encoding a short form
// when the value is a whole number (float!, time!) or of hundredths (percent!).
void Writer::floating(const Cell* v) {
  uint8_t t = v->type();
  double d = cell::get_double(v);
  if (!compact_) {
    pad(8);
    header(v, t, 0, false, false);
    double_value(d);
    return;
  }
  bool negative_zero = d == 0 && std::signbit(d);
  int32_t n = 0;
  bool short_form = false;
  if (t == T_PERCENT) {
    if (d >= -21474836.0 && d <= 21474836.0 && !negative_zero) {
      n = int32_t(std::round(d * 100));
      short_form = n / 100.0 == d;
    }
  } else if (d >= -2147483000.0 && d <= 2147483000.0 && !negative_zero) {
    n = int32_t(d);
    short_form = double(n) == d;
  }
  header(v, t, 0, false, short_form);
  if (short_form) sint(n);
  else double_value(d);
}

// A value that shares a series or context: written once, referred to afterwards.
// An image without pixels has no store to share and is written whole each time.
void Writer::shared_value(const Cell* v, NodeRef node) {
  if (node == 0) return contents(v, false);
  auto found = references.where.find(node);
  if (found == references.where.end()) {
    enter();
    record(node);
    contents(v, false);
    leave();
    return;
  }
  uint32_t offset = found->second;
  contents(v, true);
  path(offset);
}

void Writer::contents(const Cell* v, bool shared) {
  uint8_t t = v->type();
  if (block_family(t) || t == T_HASH) {
    head(v, shared);
    if (!shared) cells(v, 0);
  } else if (t == T_MAP) {
    header(v, t, 0, shared, false);
    if (!shared) map_pairs(v);
  } else if (string_family(t) || t == T_BINARY || t == T_VECTOR) {
    uint32_t unit = memory::buffer_of(series_cell::node(v))->unit();
    head(v, shared, unit << STD_UNIT_SHIFT);
    if (!shared) units(v);
  } else if (t == T_BITSET) {
    bool complement = bitset::complemented(v);
    header(v, t, complement ? STD_COMPLEMENT : 0, shared, complement);
    if (!shared) bitset_bytes(v);
  } else if (t == T_IMAGE) {
    head(v, shared);
    if (!shared) image_pixels(v);
  } else if (t == T_OBJECT) {
    object(v, shared);
  } else if (t == T_FUNCTION) {
    function(v, shared);
  } else {
    bound_word(v, word_owner(v), shared);
  }
}

void Writer::cells(const Cell* v, uint32_t from) {
  NodeRef node = series_cell::node(v);
  uint32_t n = memory::buffer_of(node)->length();
  count(n - from);
  for (uint32_t i = from; i < n; i++) {
    Cell c = memory::buffer_of(node)->cells()[i];
    value(&c);
  }
}

// The live pairs of a map: a removed pair keeps its place with a value header of 0.
void Writer::map_pairs(const Cell* v) {
  NodeRef node = series_cell::node(v);
  uint32_t n = memory::buffer_of(node)->length() & ~1u;
  uint32_t live = 0;
  for (uint32_t i = 0; i < n; i += 2)
    if (memory::buffer_of(node)->cells()[i + 1].header != 0) live++;
  count(2 * live);
  for (uint32_t i = 0; i < n; i += 2) {
    Cell key = memory::buffer_of(node)->cells()[i];
    Cell val = memory::buffer_of(node)->cells()[i + 1];
    if (val.header == 0) continue;
    value(&key);
    value(&val);
  }
}

// The data of a string, binary! or vector! from the series' first unit.
void Writer::units(const Cell* v) {
  SeriesBuffer* b = memory::buffer_of(series_cell::node(v));
  uint32_t unit = b->unit();
  uint32_t length = b->length();
  uint8_t t = v->type();
  if (!compact_) {
    word(length);
    if (t == T_VECTOR) word(v->w3);
    bytes(b->head(), b->used_bytes());
    pad(4);
    return;
  }
  if (t == T_BINARY) {
    uint(length);
  } else if (t == T_VECTOR) {
    byte(uint8_t(v->w3 << 2 | log2_unit(unit)));
    uint(length);
  } else {
    uint(length << 2 | log2_unit(unit));
  }
  bytes(b->head(), b->used_bytes());
}

void Writer::bitset_bytes(const Cell* v) {
  SeriesBuffer* b = memory::buffer_of(series_cell::node(v));
  count(b->used_bytes());
  bytes(b->head(), b->used_bytes());
  if (!compact_) pad(4);
}

// The size (one word of width and height, or two varints), then every pixel word
// as stored, from the first pixel whatever the head.
void Writer::image_pixels(const Cell* v) {
  uint32_t w = uint32_t(image::width(v)), h = uint32_t(image::height(v));
  if (compact_) {
    uint(w);
    uint(h);
  } else {
    word(w | h << 16);
  }
  const uint32_t* first = image::pixels(v);
  if (first) bytes(reinterpret_cast<const uint8_t*>(first), size_t(image::pixel_count(v)) * 4);
}

void Writer::object(const Cell* v, bool shared) {
  bool hooks = !shared && v->w3 != 0;
  header(v, T_OBJECT, hooks ? STD_HOOKS : 0, shared, hooks);
  if (shared) return;
  signed_count(int32_t(v->w2));
  if (hooks) {
    const Cell* record = memory::buffer_of(v->w3)->cells();
    signed_count(int32_t(record[0].w2));
    signed_count(int32_t(record[1].w2));
  }
  context_record(v->w1);
}

void Writer::function(const Cell* v, bool shared) {
  header(v, T_FUNCTION, 0, shared, false);
  if (shared) return;
  Cell body = *function::more(v, function::MORE_BODY);
  if (!body.is(T_BLOCK)) refuse(v);   // a function without a body block
  Cell spec{T_BLOCK, 0, v->w2, 0};
  count(memory::buffer_of(v->w2)->length());
  count(uint32_t(int32_t(memory::buffer_of(series_cell::node(&body))->length()) -
                 series_cell::head(&body)));
  context_record(v->w1);
  int32_t saved = index_;
  index_ = 0;
  value(&spec);
  value(&body);
  index_ = saved;
}

void Writer::context_record(NodeRef ctx) {
  Cell record = *context::record_of(ctx);
  uint32_t n = context::get_words(ctx)->length();
  bool on_stack = (record.header & context::STACK_VALUES) != 0;
  bool renewed = (record.header & context::RENEWED) != 0;
  uint32_t kind = uint32_t(context::kind_of(ctx));
  bool present = false;
  if (!on_stack)
    for (uint32_t i = 0; i < n && !present; i++) present = !context::value_at(ctx, int32_t(i))->is(T_UNSET);
  if (compact_) {
    byte(T_CONTEXT);
    byte(uint8_t(kind | (on_stack ? CTX_ON_STACK : 0) | (renewed ? CTX_RENEWED : 0) |
                 (present ? CTX_VALUES : 0)));
  } else {
    word(T_CONTEXT | kind << STD_KIND_SHIFT | (on_stack ? STD_ON_STACK : 0) |
         (renewed ? STD_RENEWED : 0) | (present ? STD_VALUES : 0));
  }
  count(n);
  for (uint32_t i = 0; i < n; i++)
    count(symbol(word_cell::symbol(context::get_word(ctx, int32_t(i)))));
  for (uint32_t i = 0; present && i < n; i++) {
    Cell c = *context::value_at(ctx, int32_t(i));
    value(&c);
  }
}

void Writer::global_word(const Cell* v) {
  header(v, v->type(), STD_GLOBAL, false, false);
  count(symbol(word_cell::symbol(v)));
  if (!compact_) word(word_cell::context(v) == context::global ? v->w3 : uint32_t(-1));
}

void Writer::bound_word(const Cell* v, const Cell* owner, bool shared) {
  header(v, v->type(), 0, shared, true);
  count(symbol(word_cell::symbol(v)));
  signed_count(word_cell::index(v));
  if (shared) return;
  Cell o = *owner;
  if (o.is(T_OBJECT)) object(&o, false);
  else function(&o, false);
}

// An error! is never written by reference; its context is recorded so that what
// it holds may refer back to it.
void Writer::error(const Cell* v) {
  Cell e = *v;
  if (error::is_pending(&e)) error::settle(&e);
  enter();
  record(e.w1);
  header(&e, T_ERROR, 0, false, false);
  count(uint32_t(error::code_of(&e)));
  for (int f = error::F_ARG1; f <= error::F_STACK; f++) {
    Cell c = *context::value_at(e.w1, f);
    value(&c);
  }
  leave();
}

// An op! takes one position: its record is the op header, then the whole record of
// the callable it was made from.
void Writer::op(const Cell* v) {
  uint8_t kind = native::op_kind(v);
  if (kind != T_NATIVE && kind != T_ACTION && kind != T_FUNCTION) refuse(v);
  if (compact_) {
    if (cell::new_line(v)) byte(CP_NEW_LINE);
    byte(T_OP);
  } else {
    word(T_OP | uint32_t(kind) << STD_OP_SHIFT | (cell::new_line(v) ? STD_NEW_LINE : 0));
  }
  Cell source = native::op_source(v);
  value(&source);
  index_--;
}

// A native! or action! and its spec block take one position, so the spec's path is
// the native's own.
void Writer::native(const Cell* v) {
  header(v, v->type(), 0, false, false);
  count(v->w1 + 1);
  Cell spec{T_BLOCK, 0, v->w2, 0};
  value(&spec);
  index_--;
}

std::vector<uint8_t> Writer::image() const {
  std::vector<uint8_t> image(MAGIC, MAGIC + 6);
  image.push_back(WRITER_VERSION);
  bool symbols = !symbols_.empty();
  image.push_back(uint8_t((compact_ ? FLAG_COMPACT : 0) | (symbols ? FLAG_SYMBOLS : 0)));
  Writer fields(compact_);
  fields.count(1);
  fields.count(uint32_t(out_.size()));
  if (symbols) {
    fields.count(uint32_t(symbols_.size()));
    fields.count(uint32_t(names_.size()));
    for (uint32_t offset : offsets_) fields.word(offset);
  }
  image.insert(image.end(), fields.out_.begin(), fields.out_.end());
  image.insert(image.end(), names_.begin(), names_.end());
  image.insert(image.end(), out_.begin(), out_.end());
  return image;
}

// Resets the tables however the encode ends.
struct TablesReset {
  TablesReset() {
    reset_tables();
    collector::keep(mark_references);
  }
  ~TablesReset() { reset_tables(); }
};

}  // namespace

Cell encode(const Cell* value, Encoding encoding) {
  TablesReset reset;
  Writer writer(encoding == Encoding::COMPACT);
  Cell v = *value;
  writer.value(&v);
  std::vector<uint8_t> image = writer.image();
  NodeRef node = memory::alloc_bytes(int64_t(image.size()));
  SeriesBuffer* b = memory::buffer_of(node);
  std::memcpy(b->head(), image.data(), image.size());
  b->tail = b->offset + uint32_t(image.size());
  return Cell{T_BINARY, 0, node, 0};
}

}  // namespace zol::zolbin
