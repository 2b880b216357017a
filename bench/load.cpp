// Load speed: a generated source text of about 20 MB of mixed literals (records of
// words, integers, floats, strings and nested blocks) loaded into a block by the
// lexer; the best of five rounds is reported in MB/s (a collection between rounds
// gives the previous round's values back).
//
// With a file name as argument, the same records are also written there as JSON
// (objects with string keys, arrays, numbers and strings), about as large, for
// bench/load.sh to time Python's json.loads on.
//
//   Zol:  [id 1234 name "item-1234" score 98.25 tags [red green] at [12 -7 3]]
//   JSON: {"id": 1234, "name": "item-1234", "score": 98.25, "tags": ["red", "green"],
//          "at": [12, -7, 3]}
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "interpreter/lexer/load.h"
#include "runtime/collector/collector.h"
#include "runtime/datatypes/block/block.h"
#include "boot/runtime.h"

namespace {

using namespace zol;
using Clock = std::chrono::steady_clock;

constexpr size_t TARGET_BYTES = 20u << 20;
const char* const TAGS[] = {"red", "green", "blue", "alpha", "beta", "gamma", "delta", "omega"};

struct Record {
  int id;
  std::string name;
  std::string score;
  int tags[3];
  int tag_count;
  int at[3];
};

Record record(std::mt19937& rng, int id) {
  Record r;
  r.id = id;
  r.name = "item-" + std::to_string(rng() % 100000);
  r.score = std::to_string(rng() % 10000) + "." + std::to_string(rng() % 100);
  r.tag_count = 1 + int(rng() % 3);
  for (int& t : r.tags) t = int(rng() % 8);
  for (int& a : r.at) a = int(rng() % 2000) - 1000;
  return r;
}

void append_zol(std::string& out, const Record& r) {
  out += "[id " + std::to_string(r.id) + " name \"" + r.name + "\" score " + r.score + " tags [";
  for (int i = 0; i < r.tag_count; i++) {
    if (i) out += ' ';
    out += TAGS[r.tags[i]];
  }
  out += "] at [" + std::to_string(r.at[0]) + " " + std::to_string(r.at[1]) + " " +
         std::to_string(r.at[2]) + "]]\n";
}

void append_json(std::string& out, const Record& r) {
  out += "{\"id\": " + std::to_string(r.id) + ", \"name\": \"" + r.name + "\", \"score\": " +
         r.score + ", \"tags\": [";
  for (int i = 0; i < r.tag_count; i++) {
    out += i ? ", \"" : "\"";
    out += TAGS[r.tags[i]];
    out += '"';
  }
  out += "], \"at\": [" + std::to_string(r.at[0]) + ", " + std::to_string(r.at[1]) + ", " +
         std::to_string(r.at[2]) + "]}";
}

// Records until the text reaches the target size.
template <class Append>
std::string document(Append append, const char* open, const char* between, const char* close) {
  std::mt19937 rng(7);
  std::string text = open;
  for (int id = 0; text.size() < TARGET_BYTES; id++) {
    if (id) text += between;
    append(text, record(rng, id));
  }
  return text + close;
}

double load_seconds(const std::string& text, int32_t* values) {
  auto start = Clock::now();
  Cell blk;
  lexer::load_utf8(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), &blk);
  double t = std::chrono::duration<double>(Clock::now() - start).count();
  *values = block::length(&blk);
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  runtime::init();
  std::string zol = document(append_zol, "", "", "");
  if (argc > 1) {
    std::string json = document(append_json, "[", ",\n", "]\n");
    FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(json.data(), 1, json.size(), f) != json.size()) return 1;
    std::fclose(f);
  }
  double best = 1e9;
  int32_t values = 0;
  for (int round = 0; round < 5; round++) {
    collector::collect();   // the previous round's block is garbage by now
    double t = load_seconds(zol, &values);
    if (t < best) best = t;
  }
  double megabytes = double(zol.size()) / (1 << 20);
  std::printf("zol %.1f MB/s (%.1f MB, %d records, %.3f s)\n", megabytes / best, megabytes, values,
              best);
  return 0;
}
