// image! (see image.h): making, positions, pick and poke, paths, comparison, copy
// of rectangles, change (one pixel or a blit) and the registration of the type.
#include "runtime/datatypes/image/image.h"

#include <algorithm>
#include <cstring>

#include "runtime/core/action_types.h"
#include "runtime/core/datatype.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/image/image_internal.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory/memory.h"

namespace zol::image {

int32_t width(const Cell* image) { return int32_t(image->w3 & 0xFFFFu); }
int32_t height(const Cell* image) { return int32_t(image->w3 >> 16); }
int64_t pixel_count(const Cell* image) { return int64_t(width(image)) * height(image); }

uint32_t* pixels(const Cell* image) {
  NodeRef node = series_cell::node(image);
  if (!node) return nullptr;
  return reinterpret_cast<uint32_t*>(memory::buffer_of(node)->head());
}

Cell* make_at(Cell* out, int32_t w, int32_t h) {
  w = std::max(w, 0);
  h = std::max(h, 0);
  if (w > MAX_SIDE || h > MAX_SIDE) {
    Cell size{};
    pair::make_at(&size, w, h);
    fire(err::script::OUT_OF_RANGE, &size);
  }
  int64_t count = int64_t(w) * h;
  // The largest series holds under 2 GiB: refuse before anything is allocated.
  if (count * 4 > INT32_MAX) fire(err::internal::NO_MEMORY);
  NodeRef node = 0;
  if (count > 0) {
    node = memory::alloc_series(count, 4, 0);
    SeriesBuffer* b = memory::buffer_of(node);
    b->tail = b->offset + uint32_t(count * 4);
    std::memset(b->head(), 0, size_t(count) * 4);
  }
  *out = Cell{T_IMAGE, 0, node, uint32_t(w) | uint32_t(h) << 16};
  return out;
}

Cell* resize(const Cell* image_in, int32_t w, int32_t h, Cell* out) {
  Cell source = *image_in;
  Cell made;
  make_at(&made, w, h);
  int64_t sw = width(&source), sh = height(&source);
  if (pixel_count(&made) > 0 && sw > 0 && sh > 0) {
    const uint32_t* from = pixels(&source);
    uint32_t* to = pixels(&made);
    for (int64_t y = 0; y < h; y++) {
      const uint32_t* row = from + (2 * y + 1) * sh / (2 * int64_t(h)) * sw;
      for (int64_t x = 0; x < w; x++) *to++ = row[(2 * x + 1) * sw / (2 * int64_t(w))];
    }
  }
  *out = made;
  return out;
}

uint32_t pixel_of_tuple(const Cell* t) {
  uint32_t opacity = tuple::count(t) == 3 ? 255u : 255u - tuple::element(t, 3);
  return opacity << 24 | uint32_t(tuple::element(t, 0)) << 16 |
         uint32_t(tuple::element(t, 1)) << 8 | tuple::element(t, 2);
}

Cell tuple_of_pixel(uint32_t pixel) {
  uint8_t bytes[4] = {uint8_t(pixel >> 16), uint8_t(pixel >> 8), uint8_t(pixel),
                      uint8_t(255 - (pixel >> 24))};
  Cell t;
  tuple::make_at(&t, bytes, 4);
  return t;
}

Cell pick_pixel(const Cell* image, int64_t offset) {
  if (offset < 0 || offset >= pixel_count(image)) return values::none;
  return tuple_of_pixel(pixels(image)[offset]);
}

void tell_owner(Cell* image, series::Edit edit, const Cell* value, int64_t at, int64_t count) {
  series::edited(image, edit, value, int32_t(at), int32_t(count));
}

namespace {

int64_t head(const Cell* image) { return series_cell::head(image); }
Cell* none_result() { return const_cast<Cell*>(&values::none); }

// --- making -------------------------------------------------------------------------------

struct Fill {
  const Cell* rgb = nullptr;     // binary! of R, G, B triplets
  const Cell* alpha = nullptr;   // binary! of transparency bytes
  const Cell* colour = nullptr;  // tuple! for every pixel
};

// Channel data runs out into white and opaque pixels.
void fill(Cell* image, const Fill& how) {
  uint32_t* p = pixels(image);
  int64_t n = pixel_count(image);
  if (how.colour) return std::fill(p, p + n, pixel_of_tuple(how.colour));
  const uint8_t* rgb = how.rgb ? binary::head_bytes(how.rgb) : nullptr;
  int64_t triplets = how.rgb ? binary::length(how.rgb) / 3 : 0;
  const uint8_t* alpha = how.alpha ? binary::head_bytes(how.alpha) : nullptr;
  int64_t alphas = how.alpha ? binary::length(how.alpha) : 0;
  for (int64_t i = 0; i < n; i++) {
    uint32_t colour = i < triplets ? uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 |
                                         rgb[3 * i + 2]
                                   : 0xFFFFFFu;
    uint32_t opacity = i < alphas ? 255u - alpha[i] : 255u;
    p[i] = opacity << 24 | colour;
  }
}

Cell* made(Cell* proto, const Cell* size, const Fill& how) {
  Cell out;
  make_at(&out, pair::x_of(size), pair::y_of(size));
  if (pixel_count(&out) > 0) fill(&out, how);
  *proto = out;
  return proto;
}

[[noreturn]] void bad_to_arg(const Cell* value) {
  Cell type = values::of_datatype(T_IMAGE);
  fire(err::script::BAD_TO_ARG, &type, value);
}

Cell* copy(Cell* value, Cell* destination, const Cell* part, bool, const Cell*);

Cell* to(Cell* proto, Cell* spec, int) {
  // A face would become an image through the interface engine, which this
  // terminal build has not: objects are refused like any other value.
  if (!spec->is(T_IMAGE)) bad_to_arg(spec);
  Cell source = *spec;
  return copy(&source, proto, nullptr, false, nullptr);
}

Cell* make(Cell* proto, Cell* spec, int type) {
  if (spec->is(T_PAIR)) return made(proto, spec, Fill{});
  if (!spec->is(T_BLOCK)) return to(proto, spec, type);
  Cell s = *spec;
  int32_t n = block::length(&s);
  if (n == 0) {
    if (!proto->is(T_IMAGE)) fire(err::script::INVALID_ARG, spec);
    Cell source = *proto;
    return copy(&source, proto, nullptr, false, nullptr);
  }
  auto at = [&](int32_t i) { return *block::cell_at(&s, series_cell::head(&s) + i); };
  Cell size = at(0), second = n > 1 ? at(1) : values::none, third = n > 2 ? at(2) : values::none;
  if (!size.is(T_PAIR)) {
    Cell wanted = values::of_datatype(T_PAIR), got = values::of_datatype(size.type());
    fire(err::script::EXPECT_VAL, &wanted, &got);
  }
  Fill how;
  if (n > 1) {
    if (second.is(T_BINARY)) how.rgb = &second;
    else if (second.is(T_TUPLE)) how.colour = &second;
    else fire(err::script::INVALID_ARG, &second);
  }
  if (n > 2) {
    if (!third.is(T_BINARY)) fire(err::script::INVALID_ARG, &third);
    how.alpha = &third;
  }
  return made(proto, &size, how);
}

// --- positions ---------------------------------------------------------------------------

struct Position {
  int64_t at;   // clamped to [0, pixel count]
  bool out;     // out of range for pick and poke
};

// An index (integer! or pair!) against the head; base 1 for pick, poke and at, 0
// for skip.
Position locate(const Cell* image, const Cell* index, int base) {
  int64_t w = width(image), n;
  bool out = false;
  if (index->is(T_PAIR)) {
    int64_t x = pair::x_of(index), y = pair::y_of(index);
    n = base == 1 && y > 0 ? (y - 1) * w + x : y * w + x;
    out = base == 1 ? (x > w || x <= 0 || y > height(image) || y <= 0)
                    : (x < 0 || y < 0 || x >= w || y >= height(image));
  } else if (index->is(T_INTEGER)) {
    n = cell::get_int(index);
  } else {
    fire(err::script::INVALID_ARG, index);
  }
  if (base == 1 && n < 1) base = 0;
  int64_t raw = head(image) + n - base;
  int64_t at = std::clamp<int64_t>(raw, 0, pixel_count(image));
  return {at, out || at != raw || n == 0};
}

void at() {
  Cell* image = stack::arg(0);
  series_cell::set_head(image, int32_t(locate(image, stack::arg(1), 1).at));
}

void skip() {
  Cell* image = stack::arg(0);
  series_cell::set_head(image, int32_t(locate(image, stack::arg(1), 0).at));
}

void next() {
  Cell* image = stack::arg(0);
  if (head(image) < pixel_count(image)) series_cell::set_head(image, int32_t(head(image) + 1));
}

void tail() {
  Cell* image = stack::arg(0);
  series_cell::set_head(image, int32_t(pixel_count(image)));
}

void tail_q() {
  Cell* image = stack::arg(0);
  logic::box(head(image) >= pixel_count(image));
}

int32_t length_q(const Cell* image) { return int32_t(pixel_count(image)); }

// An index that is neither an integer! nor a pair! (a logic!, a char!) is the
// number the pick entry made of it.
Cell index_value(int32_t index, const Cell* index_cell) {
  if (index_cell && index_cell->is(T_PAIR)) return *index_cell;
  return values::integer(index);
}

Cell* pick(Cell* image, int32_t index, Cell* index_cell) {
  Cell i = index_value(index, index_cell);
  Position p = locate(image, &i, 1);
  if (p.out) return none_result();
  *image = pick_pixel(image, p.at);
  return image->is(T_NONE) ? none_result() : image;
}

Cell* poke(Cell* image, int32_t index, Cell* value, Cell* index_cell) {
  Cell i = index_value(index, index_cell);
  Position p = locate(image, &i, 1);
  if (p.out || p.at >= pixel_count(image)) fire(err::script::OUT_OF_RANGE, &i);
  if (!value->is(T_TUPLE)) fire(err::script::INVALID_ARG, value);
  pixels(image)[p.at] = pixel_of_tuple(value);
  tell_owner(image, series::E_POKE, value, p.at, 1);
  return value;
}

// --- paths ------------------------------------------------------------------------------

bool is_word(const Cell* element, uint32_t known) {
  return element->is(T_WORD) &&
         symbol::resolve(word_cell::symbol(element)) == symbol::resolve(known);
}

[[noreturn]] void invalid_path(const Cell* element, Cell* path) {
  Cell p = path ? *path : values::none;
  fire(err::script::INVALID_PATH, &p, element);
}

Cell* eval_path(Cell* image, Cell* element, Cell* value, Cell* path) {
  if (element->is(T_INTEGER) || element->is(T_PAIR)) {
    int32_t index = element->is(T_INTEGER) ? cell::get_int(element) : 0;
    return value ? poke(image, index, value, element) : pick(image, index, element);
  }
  if (is_word(element, words::size)) {
    if (value) invalid_path(element, path);
    return pair::push(width(image), height(image));
  }
  static const uint32_t* const CHANNEL_WORDS[] = {&words::alpha, &words::rgb, &words::argb};
  for (int c = ALPHA; c <= ARGB; c++) {
    if (!is_word(element, *CHANNEL_WORDS[c])) continue;
    if (!value) return extract_data(image, Channel(c), stack::push_unset());
    set_data(image, value, Channel(c));
    return value;
  }
  invalid_path(element, path);
}

// --- comparison ----------------------------------------------------------------------------

int sign(int64_t d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }

// Images of different shapes order by pixel count, then width; same shapes by
// their pixel words taken as bytes.
int compare(const Cell* a, const Cell* b, int op) {
  if (!b->is(T_IMAGE)) return COMPARE_NOT_COMPARABLE;
  bool same_place = a->w2 == b->w2 && head(a) == head(b);
  if (op == C_SAME) return same_place ? 0 : -1;
  if (op >= C_LESSER && op <= C_GREATER_EQUAL) return COMPARE_NOT_COMPARABLE;
  if (same_place) return 0;
  if (int by_count = sign(pixel_count(a) - pixel_count(b))) return by_count;
  if (int by_width = sign(int64_t(width(a)) - width(b))) return by_width;
  if (pixel_count(a) == 0) return 0;
  return sign(std::memcmp(pixels(a), pixels(b), size_t(pixel_count(a)) * 4));
}

// --- copy ------------------------------------------------------------------------------------

struct Rect {
  int64_t x = 0, y = 0, w = 0, h = 0;
};

Cell copy_rect(const Cell* image, Rect r) {
  Cell out;
  if (r.w < 1 || r.h < 1) return *make_at(&out, 0, 0);
  make_at(&out, int32_t(r.w), int32_t(r.h));
  const uint32_t* from = pixels(image);
  uint32_t* to = pixels(&out);
  for (int64_t row = 0; row < r.h; row++)
    std::memcpy(to + row * r.w, from + (r.y + row) * width(image) + r.x, size_t(r.w) * 4);
  return out;
}

// The rectangle from the head to the right and bottom edges.
Rect rest_of(const Cell* image) {
  int64_t w = width(image), h0 = head(image);
  Rect r{h0 % w, h0 / w, 0, 0};
  r.w = w - r.x;
  r.h = height(image) - r.y;
  return r;
}

// One side of a rectangle that runs back from the head: `reach` cells before
// `to`, clipped at 0.
void span_back(int64_t to, int64_t reach, int64_t* start, int64_t* length) {
  if (reach >= to) {
    *start = 0;
    *length = to;
  } else {
    *start = to - reach;
    *length = reach;
  }
}

Rect by_pair(const Cell* image, const Cell* part) {
  int64_t cw = pair::x_of(part), ch = pair::y_of(part);
  int64_t w = width(image), h0 = head(image);
  if (cw >= 1 && ch >= 1 && h0 < pixel_count(image)) {
    Rect r{h0 % w, h0 / w, 0, 0};
    r.w = std::min(cw, w - r.x);
    r.h = std::min(ch, height(image) - r.y);
    return r;
  }
  if (cw < 0 && ch < 0 && h0 > 0) {
    int64_t x = h0 % w == 0 ? w : h0 % w;
    int64_t y = h0 / w + (h0 / w < height(image) ? 1 : 0);
    Rect r;
    span_back(x, -cw, &r.x, &r.w);
    span_back(y, -ch, &r.y, &r.h);
    return r;
  }
  return {};
}

Rect between(const Cell* image, const Cell* other) {
  int64_t w = width(image);
  int64_t a = std::min(head(image), head(other)), b = std::max(head(image), head(other));
  return {a % w, a / w, b % w - a % w, b / w - a / w};
}

Cell* copy(Cell* value, Cell* destination, const Cell* part, bool, const Cell*) {
  Cell image = *value;
  Cell out;
  if (pixel_count(&image) == 0) {
    *destination = *make_at(&out, 0, 0);
    return destination;
  }
  Rect r;
  if (!part) r = rest_of(&image);
  else if (part->is(T_PAIR)) r = by_pair(&image, part);
  else if (part->is(T_INTEGER)) fire(err::internal::NOT_DONE);
  else if (part->is(T_IMAGE) && series_cell::node(part) == series_cell::node(&image))
    r = between(&image, part);
  else series::fire_refine_arg(words::part, part);
  *destination = copy_rect(&image, r);
  return destination;
}

// --- change ----------------------------------------------------------------------------------

// Copies the source from its first pixel into the target at its head, clipped at
// the right and bottom edges; answers the new head.
int64_t blit(Cell* target, const Cell* source) {
  int64_t w = width(target), h0 = head(target);
  int64_t x = h0 % w, y = h0 / w;
  int64_t cols = std::min<int64_t>(width(source), w - x);
  int64_t rows = std::min<int64_t>(height(source), height(target) - y);
  if (cols < 1 || rows < 1) return h0;
  const uint32_t* from = pixels(source);
  uint32_t* to = pixels(target);
  for (int64_t r = 0; r < rows; r++)
    std::memmove(to + (y + r) * w + x, from + r * width(source), size_t(cols) * 4);
  tell_owner(target, series::E_CHANGE, source, h0, cols * rows);
  return (y + rows - 1) * w + std::min(x + width(source), w);
}

Cell* change(Cell* series, Cell* value, int32_t part, bool, int32_t dup) {
  if (part >= 0 || dup > 1) fire(err::internal::NOT_DONE);
  Cell image = *series;
  int64_t h0 = head(&image);
  if (value->is(T_TUPLE)) {
    if (h0 < pixel_count(&image)) {
      pixels(&image)[h0] = pixel_of_tuple(value);
      series_cell::set_head(series, int32_t(h0 + 1));
      tell_owner(&image, series::E_CHANGE, value, h0, 1);
    }
    return series;
  }
  if (!value->is(T_IMAGE)) {
    Cell type = values::of_datatype(value->type());
    fire(err::script::INVALID_TYPE, &type);
  }
  if (h0 >= pixel_count(&image)) return series;
  Cell source = *value;
  series_cell::set_head(series, int32_t(blit(&image, &source)));
  return series;
}

}  // namespace

void init() {
  datatype::ActionRow row = datatype::make_row(
      nullptr,
      {slot_entry<A_MAKE>(make), slot_entry<A_TO>(to), slot_entry<A_FORM>(form),
       slot_entry<A_MOLD>(mold), slot_entry<A_EVAL_PATH>(eval_path),
       slot_entry<A_COMPARE>(compare), slot_entry<A_AT>(at), slot_entry<A_CHANGE>(change),
       slot_entry<A_COPY>(copy), slot_entry<A_LENGTH_Q>(length_q), slot_entry<A_NEXT>(next),
       slot_entry<A_PICK>(pick), slot_entry<A_POKE>(poke), slot_entry<A_SKIP>(skip),
       slot_entry<A_TAIL>(tail), slot_entry<A_TAIL_Q>(tail_q)});
  for (int slot : {A_BACK, A_HEAD, A_HEAD_Q, A_INDEX_Q, A_MODIFY}) row.slots[slot - 1] = INHERIT;
  datatype::register_type(T_IMAGE, T_SERIES, "image!", row);
}

}  // namespace zol::image
