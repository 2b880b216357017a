// The hash-table engine: hash functions, sizing and growth, every table kind, the
// hash! index bookkeeping under edits, node-hashed tables after nodes moved, the
// weak sweep and the address map.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/core/action_types.h"
#include "runtime/memory/array.h"
#include "runtime/text/casefold.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/hashtable/hashtable_internal.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/memory/memory.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "support.h"

namespace zol {
namespace {

using namespace hashtable;
using namespace hashtable::detail;

NodeRef block_of_cells(const std::vector<Cell>& cells, int32_t room = 0) {
  test::HeldCells held(cells.data(), cells.size());   // the allocation may collect
  NodeRef b = memory::alloc_cells(std::max<int64_t>(int64_t(cells.size()), room));
  for (const Cell& c : cells) *memory::alloc_tail_cell(b) = c;
  return b;
}
Cell* cells(NodeRef block) { return memory::buffer_of(block)->cells(); }
int32_t length(NodeRef block) { return int32_t(memory::buffer_of(block)->length()); }
Cell integer(int32_t v) { return values::integer(v); }
Cell word(const char* name, uint8_t type = T_WORD) { return word::load(name, type); }
Cell block_value(NodeRef node) { return Cell{T_BLOCK, 0, node, 0}; }

TEST(Murmur3, PublishedTestVectors) {
  struct Case { const char* data; size_t length; uint32_t seed; uint32_t hash; };
  const Case cases[] = {
      {"", 0, 0, 0},
      {"", 0, 1, 0x514E28B7},
      {"", 0, 0xFFFFFFFF, 0x81F16F39},
      {"\xFF\xFF\xFF\xFF", 4, 0, 0x76293B50},
      {"\x21\x43\x65\x87", 4, 0, 0xF55B516B},
      {"\x21\x43\x65\x87", 4, 0x5082EDEE, 0x2362F9DE},
      {"\x21\x43\x65", 3, 0, 0x7E4A8634},
      {"\x21\x43", 2, 0, 0xA0F7B07A},
      {"\x21", 1, 0, 0x72661CF4},
      {"\0\0\0\0", 4, 0, 0x2362F9DE},
      {"\0\0\0", 3, 0, 0x85F0B427},
      {"\0\0", 2, 0, 0x30F4C306},
      {"\0", 1, 0, 0x514E28B7},
      {"aaaa", 4, 0x9747B28C, 0x5A97808A},
      {"aaa", 3, 0x9747B28C, 0x283E0130},
      {"aa", 2, 0x9747B28C, 0x5D211726},
      {"a", 1, 0x9747B28C, 0x7FA09EA6},
      {"abcd", 4, 0x9747B28C, 0xF0478627},
      {"abc", 3, 0x9747B28C, 0xC84A62DD},
      {"ab", 2, 0x9747B28C, 0x74875592},
      {"Hello, world!", 13, 0x9747B28C, 0x24884CBA},
      {"The quick brown fox jumps over the lazy dog", 43, 0x9747B28C, 0x2FA826CD},
  };
  for (const Case& c : cases)
    EXPECT_EQ(murmur3(c.data, c.length, c.seed), c.hash) << '"' << c.data << "\" seed " << c.seed;
}

TEST(HashFunctions, CaseFoldingAndWhichWordsAreHashed) {
  Cell lower, upper, other;
  for (auto [cell, text] : {std::pair{&lower, "hello"}, {&upper, "HeLLo"}, {&other, "hellp"}}) {
    string::make_at(cell, 8);
    string::concatenate_literal(cell, text);
  }
  EXPECT_EQ(hash_string(&lower, false), hash_string(&upper, false));
  EXPECT_NE(hash_string(&lower, true), hash_string(&upper, true));
  EXPECT_NE(hash_string(&lower, false), hash_string(&other, false));
  // Fed as one 4-byte block per code point.
  uint32_t folded[] = {'H', 'E', 'L', 'L', 'O'};
  EXPECT_EQ(hash_string(&lower, false), murmur3(folded, sizeof folded));
  EXPECT_EQ(hash_value(&lower), hash_string(&lower, false));
  EXPECT_EQ(hash_symbol(reinterpret_cast<const uint8_t*>("PrInT"), 5), murmur3("print", 5));

  // Which payload words each family hashes: changing any other word keeps the hash.
  struct Case { uint8_t type; bool w1, w2, w3; };
  const Case cases[] = {
      {T_LOGIC, true, false, false},  {T_INTEGER, false, true, false},
      {T_NATIVE, false, false, true}, {T_BLOCK, true, true, false},
      {T_FLOAT, false, true, true},   {T_POINT3D, true, true, true},
      {T_PAIR, false, true, true},    {T_OBJECT, true, false, false},
  };
  for (const Case& c : cases) {
    Cell base{c.type, 1, 2, 3};
    uint32_t h = hash_value(&base);
    bool used[3] = {c.w1, c.w2, c.w3};
    for (int w = 0; w < 3; w++) {
      Cell changed = base;
      (&changed.w1)[w] += 100;
      EXPECT_EQ(hash_value(&changed) != h, used[w]) << datatype::name(c.type) << " word " << w + 1;
    }
  }
  EXPECT_EQ(hash_value(&values::none), uint32_t(-1));
  EXPECT_EQ(hash_value(&values::unset), uint32_t(-2));
  Cell a = word("print"), b = word("PRINT", T_SET_WORD);
  EXPECT_EQ(hash_value(&a), hash_value(&b)) << "case variants and word types hash alike";
}

// The hash folds ASCII letters itself and the rest through the case tables: every
// character from NUL to the end of the Latin Extended-B block, in each character
// width, hashes as its upper case does hashed without folding.
TEST(HashFunctions, FoldingAgreesWithTheCaseTablesInEveryWidth) {
  for (char32_t cp = 0; cp < 0x250; cp++) {
    std::u32string text = {U'x', cp, U'7'};
    std::u32string upper = {U'X', char32_t(case_folding::to_upper_char(cp)), U'7'};
    uint32_t expected = 0;
    for (uint32_t unit : {1u, 2u, 4u}) {
      if (unit == 1 && (cp > 0xFF || upper[1] > 0xFF)) continue;
      Cell s = test::text_of_unit(text, unit), u = test::text_of_unit(upper, unit);
      test::HeldCells held(&s, 1);
      if (!expected) expected = hash_string(&u, true);
      ASSERT_EQ(hash_string(&s, false), expected) << "U+" << std::hex << uint32_t(cp) << " unit " << unit;
    }
  }
}

TEST(HashTableSizing, CreationAndGrowth) {
  EXPECT_EQ(round_up_pow2(5), 8);
  EXPECT_EQ(round_up_pow2(8), 8);
  EXPECT_EQ(round_up_pow2(9), 16);
  for (int32_t size : {0, 1, 4}) {
    for (int32_t kind : {K_HASH, K_MAP, K_INTEGER}) {
      NodeRef t = init(size, 0, kind, 1);
      EXPECT_EQ(record(t)->buckets, 8) << size << " kind " << kind;
      EXPECT_EQ(record(t)->upper, 6);
    }
  }
  NodeRef symbols = init(4000, 0, K_SYMBOL);
  EXPECT_EQ(record(symbols)->buckets, 16384) << "symbol-keyed tables double a size above 3999";

  // hash!: six occupied buckets, the seventh insertion grows to 16 buckets.
  NodeRef block = block_of_cells({}, 16);
  NodeRef t = init(4, block, K_HASH);
  for (int32_t i = 0; i < 7; i++) {
    *memory::alloc_tail_cell(block) = integer(i * 7);
    put(t, cells(block) + i);
    EXPECT_EQ(record(t)->buckets, i < 6 ? 8 : 16) << i;
  }
  for (int32_t i = 0; i < 7; i++) EXPECT_EQ(get(t, cells(block) + i), cells(block) + i);

  // Records: growth keeps every key.
  NodeRef records = init(4, 0, K_INTEGER, 1);
  for (uint32_t k = 0; k < 100; k++) put_int(records, k * 13)->w2 = k;
  EXPECT_EQ(record(records)->size, 100);
  EXPECT_GE(record(records)->buckets, 128);
  for (uint32_t k = 0; k < 100; k++) ASSERT_EQ(get_int(records, k * 13)->w2, k);
}

// Checks a hash! table against its block: every cell is indexed in a bucket that
// holds it, equal cells share the bucket, every bucket is reachable by probing, and
// lookups answer the first equal cell.
void verify_hash_table(NodeRef table) {
  Table* t = record(table);
  Cell* c = cells_of(t);
  int32_t n = block_length(t);
  ASSERT_EQ(t->size, n);
  for (int32_t i = 0; i < n; i++) {
    int32_t bucket = index_entries(t)[i] - 1;
    ASSERT_GE(bucket, 0) << "cell " << i << " not indexed";
    ASSERT_EQ(state(flags_of(t), bucket), B_OCCUPIED);
    int32_t key = keys_of(t)[bucket].key;
    if (key >= 0) {
      ASSERT_EQ(key, i);
    } else {
      NodeRef group = group_node(t, -key);
      std::vector<int32_t> members(array::length(group));
      for (int32_t m = 0; m < array::length(group); m++) members[m] = array::pick_int(group, m + 1);
      ASSERT_NE(std::find(members.begin(), members.end(), i), members.end()) << "cell " << i;
      for (int32_t m : members) ASSERT_EQ(index_entries(t)[m] - 1, bucket);
    }
    // The bucket's tag is that of the cell it holds (a group: of its first member).
    const Cell* first = c + (key >= 0 ? key : array::pick_int(group_node(t, -key), 1));
    ASSERT_EQ(keys_of(t)[bucket].tag, tag_of(hash_value(first), first->type())) << "cell " << i;
    // Reachable: probing from the cell's hash meets its bucket before an empty one.
    Probe p(hash_value(c + i), t->buckets);
    while (p.i != bucket) {
      ASSERT_NE(state(flags_of(t), p.i), B_EMPTY) << "cell " << i << " unreachable";
      ASSERT_TRUE(p.next());
    }
  }
  for (int32_t i = 0; i < n; i++) {
    int32_t first = 0;
    while (!keys_match(c + first, c + i, C_STRICT_EQUAL)) first++;
    ASSERT_EQ(get(table, c + i, 0, 1, C_STRICT_EQUAL), c + first) << "lookup of cell " << i;
    ASSERT_TRUE(keys_match(get(table, c + i), c + i, C_EQUAL));
  }
}

TEST(HashKindTable, PutFindAndDeleteEveryKeyType) {
  NodeRef inner = memory::alloc_cells(1);
  std::vector<Cell> keys = {integer(5), word("alpha"), word("Alpha", T_SET_WORD), values::none,
                            values::true_value, values::of_datatype(T_LOGIC), block_value(inner),
                            Cell{T_FLOAT, 0, 1, 2}, Cell{T_POINT3D, 4, 5, 6}};
  test::HeldCells held(keys.data(), keys.size());
  NodeRef block = block_of_cells(keys);
  NodeRef t = init(0, block, K_HASH);
  verify_hash_table(t);
  for (size_t i = 0; i < keys.size(); i++) {
    Cell probe = keys[i];
    EXPECT_EQ(get(t, &probe, 0, 1, C_STRICT_EQUAL), cells(block) + i) << test::mold(probe);
  }
  Cell absent = integer(6);
  EXPECT_EQ(get(t, &absent), nullptr);
  Cell other_case = word("ALPHA");
  EXPECT_EQ(get(t, &other_case), cells(block) + 1) << "words look up ignoring case";
  EXPECT_EQ(get(t, &other_case, 0, 1, C_STRICT_EQUAL), nullptr);
  remove(t, cells(block) + 0);
  Cell five = integer(5);
  EXPECT_EQ(get(t, &five), nullptr);
  EXPECT_EQ(get(t, &keys[1]), cells(block) + 1);
}

TEST(HashKindTable, ThreeCopiesWithTwoDeletedKeepTheThirdFindable) {
  NodeRef block = block_of_cells({integer(7), integer(1), integer(7), integer(2), integer(7)});
  NodeRef t = init(5, block, K_HASH);
  Cell seven = integer(7);
  int32_t bucket = index_entries(record(t))[0] - 1;
  EXPECT_LT(keys_of(record(t))[bucket].key, 0) << "one bucket holds a group";
  EXPECT_EQ(array::length(group_node(record(t), -keys_of(record(t))[bucket].key)), 3);
  remove(t, cells(block) + 0);
  remove(t, cells(block) + 4);
  EXPECT_EQ(state(flags_of(record(t)), bucket), B_OCCUPIED);
  EXPECT_EQ(get(t, &seven), cells(block) + 2);
  remove(t, cells(block) + 2);
  EXPECT_EQ(state(flags_of(record(t)), bucket), B_DELETED);
  EXPECT_EQ(get(t, &seven), nullptr);
}

TEST(HashKindTable, FindHonoursStartSkipReverseAndLast) {
  // 3 at 0, 2, 3, 6
  NodeRef block = block_of_cells({integer(3), integer(0), integer(3), integer(3), integer(1),
                                  integer(2), integer(3)});
  NodeRef t = init(7, block, K_HASH);
  Cell three = integer(3);
  struct Case { int32_t start, skip; bool reverse, last; int32_t expected; };
  const Case cases[] = {
      {0, 1, false, false, 0}, {1, 1, false, false, 2}, {1, 2, false, false, 3},
      {0, 2, false, false, 0}, {1, 3, false, false, -1}, {7, 1, false, false, -1},
      {3, 1, true, false, 6}, {7, 1, false, true, 6}, {6, 1, false, true, 3},
      {7, 2, false, true, 6},  {6, 2, false, true, 3}, {1, 1, false, true, 0},
  };
  for (const Case& c : cases) {
    Cell* found = get(t, &three, c.start, c.skip, C_EQUAL, c.reverse, c.last);
    EXPECT_EQ(found ? int32_t(found - cells(block)) : -1, c.expected)
        << "start " << c.start << " skip " << c.skip << " reverse " << c.reverse << " last " << c.last;
  }
}

TEST(HashKindTable, RandomEditsKeepTableAndBlockInStep) {
  std::mt19937 rng(12345);
  auto random_key = [&] {
    static const char* names[] = {"a", "B", "A", "c"};
    if (rng() % 4 == 0) return word(names[rng() % 4]);
    return integer(int32_t(rng() % 12));
  };
  std::vector<Cell> initial;
  for (int i = 0; i < 40; i++) initial.push_back(random_key());
  NodeRef block = block_of_cells(initial, 1000);
  NodeRef t = init(40, block, K_HASH);
  verify_hash_table(t);
  auto tail = [&](int32_t n) { memory::buffer_of(block)->tail = uint32_t(n) * sizeof(Cell); };

  for (int step = 0; step < 400; step++) {
    int32_t n = length(block);
    Cell* c = cells(block);
    int op = n < 2 ? 0 : int(rng() % 5);
    SCOPED_TRACE(op);
    switch (op) {
      case 0: {  // insert one cell
        int32_t at = int32_t(rng() % (n + 1));
        std::memmove(c + at + 1, c + at, size_t(n - at) * sizeof(Cell));
        c[at] = random_key();
        tail(n + 1);
        if (shift_indexes(t, 1, at, n - at, true)) rebuild(t, n + 1);
        else put(t, cells(block) + at);
        break;
      }
      case 1: {  // remove a run
        if (n < 2) break;
        int32_t at = int32_t(rng() % n), count = 1 + int32_t(rng() % std::min(3, n - at));
        std::memmove(c + at, c + at + count, size_t(n - at - count) * sizeof(Cell));
        tail(n - count);
        shift_indexes(t, -count, at + count, n - at - count, true);
        break;
      }
      case 2: {  // move a run before another cell
        int32_t from = int32_t(rng() % n), count = 1 + int32_t(rng() % std::min(4, n - from));
        int32_t to = int32_t(rng() % (n + 1));
        if (to >= from && to <= from + count) break;
        std::vector<Cell> run(c + from, c + from + count);
        std::vector<Cell> rest(c, c + n);
        rest.erase(rest.begin() + from, rest.begin() + from + count);
        int32_t at = to > from ? to - count : to;
        rest.insert(rest.begin() + at, run.begin(), run.end());
        std::copy(rest.begin(), rest.end(), c);
        hashtable::move(t, from, to, count);
        break;
      }
      case 3: {  // reverse a run: forget it, reverse, index it again
        int32_t at = int32_t(rng() % n), count = 1 + int32_t(rng() % (n - at));
        if (at == 0 && count == n) count--;
        if (count < 1) break;
        remove_range(t, at, count);
        std::reverse(c + at, c + at + count);
        for (int32_t i = at; i < at + count; i++)
          if (put_key(t, cells(block) + i)) break;
        break;
      }
      default: {  // swap two cells
        int32_t i = int32_t(rng() % n), j = int32_t(rng() % n);
        if (i == j) break;
        remove(t, c + i);
        remove(t, c + j);
        std::swap(c[i], c[j]);
        if (!put_key(t, cells(block) + i)) put(t, cells(block) + j);
        break;
      }
    }
    ASSERT_NO_FATAL_FAILURE(verify_hash_table(t)) << "after step " << step;
  }
}

TEST(HashKindTable, CopyIsIndependentOfTheOriginal) {
  NodeRef block = block_of_cells({integer(1), integer(1), integer(2)});
  NodeRef t = init(3, block, K_HASH);
  NodeRef block2 = memory::copy_series(memory::buffer_of(block));
  NodeRef t2 = hashtable::copy(t, block2);
  remove(t2, cells(block2) + 0);
  Cell one = integer(1);
  EXPECT_EQ(get(t, &one), cells(block) + 0) << "editing the copy leaves the original alone";
  EXPECT_EQ(get(t2, &one), cells(block2) + 1);
  verify_hash_table(t);
  clear(t);
  EXPECT_EQ(length(block), 0);
  EXPECT_EQ(get(t, &one), nullptr);
}

// A collection that moves nodes changes the hash of node-keyed cells. Simulate it:
// give the key a new node and date the table to an earlier collection cycle.
void move_node_of(NodeRef block, int32_t i, NodeRef table) {
  Cell* c = cells(block) + i;
  NodeRef moved = memory::copy_series(memory::buffer_of(c->w2));
  memory::free_node(c->w2);
  c->w2 = moved;
  record(table)->stamp += 7;
}

// The first two texts "<prefix><n>" whose hashes, computed by `hash`, are equal.
template <class Hash>
std::pair<std::string, std::string> colliding_names(const char* prefix, Hash hash) {
  std::unordered_map<uint32_t, std::string> seen;
  for (int n = 0;; n++) {
    std::string name = prefix + std::to_string(n);
    auto [at, fresh] = seen.emplace(hash(name), name);
    if (!fresh) return {at->second, name};
  }
}

// Keys whose whole hashes are equal share the probe path and the stored tag, so
// only the full comparison tells them apart: each is found as itself, in another
// case, and after the other was removed.
TEST(StoredHashes, KeysWithEqualHashesAreToldApartByComparison) {
  auto folded_hash = [](const std::string& name) {
    std::vector<uint32_t> cps(name.begin(), name.end());
    return murmur3(cps.data(), cps.size() * 4);   // upper-case letters and digits fold to themselves
  };
  auto [first, second] = colliding_names("K", folded_hash);
  SCOPED_TRACE(first + " / " + second);
  Cell texts[3] = {test::utf8_text(first), test::utf8_text(second),
                   test::utf8_text("k" + second.substr(1))};
  test::HeldCells held(texts, 3);
  Cell &a = texts[0], &b = texts[1], &lower_b = texts[2];
  ASSERT_EQ(hash_value(&a), hash_value(&b));
  NodeRef pairs = block_of_cells({a, integer(1), b, integer(2)});
  NodeRef map = init(2, pairs, K_MAP);
  EXPECT_EQ(get(map, &a, 0, 1, C_STRICT_EQUAL), cells(pairs) + 0);
  EXPECT_EQ(get(map, &b, 0, 1, C_STRICT_EQUAL), cells(pairs) + 2);
  EXPECT_EQ(get(map, &lower_b), cells(pairs) + 2);
  EXPECT_EQ(get(map, &lower_b, 0, 1, C_STRICT_EQUAL), nullptr);

  NodeRef block = block_of_cells({a, b, a, b});
  NodeRef hash = init(4, block, K_HASH);
  verify_hash_table(hash);
  remove(hash, cells(block) + 0);
  EXPECT_EQ(get(hash, &lower_b), cells(block) + 1);
  EXPECT_EQ(get(hash, &a), cells(block) + 2);

  // Names interned into a symbol table: equal hashes, separate symbols.
  auto [x, y] = colliding_names("n", [](const std::string& name) {
    return hash_symbol(reinterpret_cast<const uint8_t*>(name.data()), name.size());
  });
  NodeRef symbols = init(4, 0, K_SYMBOL);
  auto intern_name = [&](const std::string& name) {
    return intern(symbols, reinterpret_cast<const uint8_t*>(name.data()), uint32_t(name.size()), false);
  };
  int32_t sx = intern_name(x), sy = intern_name(y);
  EXPECT_NE(sx, sy) << x << " / " << y;
  EXPECT_EQ(intern_name(y), sy);
  EXPECT_EQ(intern_name(x), sx);
}

TEST(NodeKeyedTables, StayValidAfterNodesMoved) {
  // Roomy tables (a rebuild sizes them by the block), so that a stale bucket is not
  // met by chance on a key's new probe path.
  NodeRef a = memory::alloc_cells(1), b = memory::alloc_cells(1);
  // Different contents: blocks compare by their cells, hash by their identity.
  *memory::alloc_tail_cell(a) = integer(1);
  *memory::alloc_tail_cell(b) = integer(2);
  std::vector<Cell> keys = {block_value(a), integer(1), block_value(b)};
  for (int32_t i = 0; i < 300; i++) keys.push_back(integer(1000 + i));
  NodeRef block = block_of_cells(keys, 400);
  NodeRef t = init(int32_t(keys.size()), block, K_HASH);
  ASSERT_NE(record(t)->stamp, 0u) << "a table with node keys is stamped";

  move_node_of(block, 0, t);
  Cell key = cells(block)[0];
  EXPECT_EQ(get(t, &key), cells(block) + 0) << "get";

  move_node_of(block, 2, t);
  int32_t added = length(block);
  *memory::alloc_tail_cell(block) = cells(block)[2];
  put(t, cells(block) + added);
  verify_hash_table(t);
  Cell second = cells(block)[2];
  EXPECT_EQ(get(t, &second, 3), cells(block) + added) << "put joined the moved key's group";

  move_node_of(block, 0, t);
  key = cells(block)[0];
  Cursor cursor;
  EXPECT_EQ(find_next(t, &key, cursor), cells(block) + 0) << "find-next";
  EXPECT_EQ(find_next(t, &key, cursor), nullptr);

  // A map keyed by a block (the one that now holds a's cells).
  std::vector<Cell> pairs_cells = {cells(block)[0], integer(10)};
  for (int32_t i = 0; i < 300; i++) pairs_cells.push_back(integer(2000 + i));
  NodeRef pairs = block_of_cells(pairs_cells);
  NodeRef map = init(300, pairs, K_MAP);
  move_node_of(pairs, 0, map);
  key = cells(pairs)[0];
  EXPECT_EQ(get(map, &key), cells(pairs) + 0) << "map get";
}

TEST(MapKindTable, MergesRepeatedKeysAndLooksWordsUpAsSetWords) {
  NodeRef pairs = block_of_cells({word("a", T_SET_WORD), integer(1), word("b", T_SET_WORD),
                                  integer(2), word("a", T_SET_WORD), integer(3),
                                  word("A", T_SET_WORD), integer(4)});
  NodeRef t = init(4, pairs, K_MAP);
  EXPECT_EQ(length(pairs), 6) << "the repeated a: pair was cut out";
  Cell a = word("a");
  Cell* found = get(t, &a);
  ASSERT_EQ(found, cells(pairs) + 0);
  EXPECT_EQ(cell::get_int(found + 1), 3) << "the later value wins";
  Cell* upper = get(t, &cells(pairs)[4], 0, 1, C_STRICT_EQUAL);
  EXPECT_EQ(upper, cells(pairs) + 4) << "A: is a key of its own under strict-equal";
  Cursor cursor;
  std::set<Cell*> equal_keys;
  while (Cell* k = find_next(t, &a, cursor)) equal_keys.insert(k);
  EXPECT_EQ(equal_keys, (std::set<Cell*>{cells(pairs) + 0, cells(pairs) + 4}));
  remove(t, cells(pairs) + 2);
  EXPECT_EQ(cells(pairs)[3].header, 0u) << "a removed pair keeps its key, its value header is 0";
  EXPECT_EQ(record(t)->size, 2);
}

TEST(RecordTables, PutGetDeleteReuseAndRehash) {
  NodeRef t = init(4, 0, K_INTEGER, 2);
  Cell* v = put_int(t, 42);
  EXPECT_TRUE(v[0].is(T_UNSET) && v[1].is(T_UNSET));
  v[0] = integer(1);
  EXPECT_EQ(cell::get_int(get_int(t, 42)), 1);
  EXPECT_EQ(get_int(t, 43), nullptr);
  int32_t used = int32_t(memory::buffer_of(record(t)->block)->used_bytes());
  EXPECT_NE(delete_int(t, 42), nullptr);
  EXPECT_EQ(get_int(t, 42), nullptr);
  EXPECT_EQ(delete_int(t, 42), nullptr);
  put_int(t, 42);
  EXPECT_EQ(int32_t(memory::buffer_of(record(t)->block)->used_bytes()), used) << "record reused";
  for (uint32_t k = 100; k < 110; k++) put_int(t, k)->w2 = k;
  record(t)->stamp += 3;   // as if a collection ran: re-hashed in place on next use
  for (uint32_t k = 100; k < 110; k++) ASSERT_EQ(get_int(t, k)->w2, k);
  EXPECT_EQ(record(t)->size, 11);
}

TEST(RecordTables, WeakSweepDropsRecordsWhoseNodesDied) {
  NodeRef t = init(8, 0, K_WEAK, 2);
  NodeRef live = memory::alloc_cells(1), dead = memory::alloc_cells(1);
  NodeRef live_owner = memory::alloc_cells(1), dead_owner = memory::alloc_cells(1);
  struct Entry { NodeRef key, owner; bool kept; };
  const Entry entries[] = {{live, live_owner, true}, {dead, live_owner, false}, {live_owner, dead_owner, false}};
  for (const Entry& e : entries) put_int(t, e.key)[1] = Cell{T_OBJECT, e.owner, 0, 0};
  for (NodeRef n : {live, live_owner}) memory::buffer_of(n)->flags |= FLAG_MARK;
  sweep(t);
  for (NodeRef n : {live, live_owner}) memory::buffer_of(n)->flags &= ~FLAG_MARK;
  for (const Entry& e : entries) EXPECT_EQ(get_int(t, e.key) != nullptr, e.kept) << e.key;
  EXPECT_EQ(record(t)->size, 1);
}

TEST(AddressMap, PutGetDeleteGrowAndWalk) {
  address_map::Map* m = address_map::init(4);
  EXPECT_EQ(m->buckets, 8);
  EXPECT_FALSE(address_map::put(m, 10, 100));
  EXPECT_TRUE(address_map::put(m, 10, 101));
  EXPECT_EQ(*address_map::get(m, 10), 101u);
  for (uint32_t k = 1; k <= 50; k++) address_map::put(m, k * 1000, k);
  EXPECT_GE(m->buckets, 64);
  for (uint32_t k = 1; k <= 50; k++) ASSERT_EQ(*address_map::get(m, k * 1000), k);
  address_map::remove(m, 10);
  EXPECT_EQ(address_map::get(m, 10), nullptr);
  EXPECT_EQ(address_map::find(m, 10), -1);
  int walked = 0;
  for (uint32_t* e = address_map::next(m, nullptr); e; e = address_map::next(m, e)) walked++;
  EXPECT_EQ(walked, 50);
  address_map::clear(m);
  EXPECT_EQ(address_map::get(m, 1000), nullptr);
  address_map::destroy(m);
}

}  // namespace
}  // namespace zol
