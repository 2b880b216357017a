// Test support (see support.h).
#include "support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

#include "runtime/base/output.h"
#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/collector/collector.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/core/error_ids.h"
#include "runtime/core/exits.h"
#include "boot/runtime.h"
#include "boot/boot.h"
#include "interpreter/interpreter.h"
#include "interpreter/lexer/load.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/series/series.h"

namespace zol::test {

ChildResult run_in_child(const std::function<void()>& fn) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    dup2(fds[1], STDOUT_FILENO);
    fn();
    std::fflush(nullptr);
    _exit(0);
  }
  close(fds[1]);
  ChildResult r;
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) r.out.append(buf, size_t(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  return r;
}

ChildResult run_command(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  ChildResult r;
  if (!pipe) return r;
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) r.out.append(chunk, n);
  int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  return r;
}

std::string without_banner(const std::string& out) {
  if (out.rfind("--== Zol", 0) != 0) return out;
  size_t at = 0;
  for (int line = 0; line < 3 && at != std::string::npos; line++) {
    at = out.find('\n', at);
    if (at != std::string::npos) at++;
  }
  return at == std::string::npos ? std::string() : out.substr(at);
}

std::string raised(const std::function<void()>& fn) {
  if (stack::try_run(fn)) return std::string();
  return std::to_string(error::category_of(&exits::value)) + "/" +
         std::to_string(error::id_of(&exits::value));
}

Cell call_on_frame(std::initializer_list<Cell> args, const std::function<void()>& fn) {
  Cell* saved_top = stack::top;
  stack::mark_native(nullptr);
  for (const Cell& a : args) stack::push(&a);
  fn();
  Cell result = *stack::arguments;
  stack::unwind();
  stack::top = saved_top;
  return result;
}

std::string mold(const Cell& value, bool all) {
  Cell s = actions::mold_to_string(&value, all);
  return string::to_utf8(&s);
}

std::string form(const Cell& value) {
  Cell s = actions::form_to_string(&value);
  return string::to_utf8(&s);
}

const char* type_name(uint8_t type) {
  static const std::map<uint8_t, const char*> names = {
      {T_DATATYPE, "datatype!"}, {T_UNSET, "unset!"}, {T_NONE, "none!"}, {T_LOGIC, "logic!"},
      {T_BLOCK, "block!"}, {T_PAREN, "paren!"}, {T_STRING, "string!"}, {T_FILE, "file!"},
      {T_URL, "url!"}, {T_CHAR, "char!"}, {T_INTEGER, "integer!"}, {T_FLOAT, "float!"},
      {T_WORD, "word!"}, {T_SET_WORD, "set-word!"}, {T_LIT_WORD, "lit-word!"},
      {T_GET_WORD, "get-word!"}, {T_REFINEMENT, "refinement!"}, {T_ISSUE, "issue!"},
      {T_PATH, "path!"}, {T_LIT_PATH, "lit-path!"}, {T_SET_PATH, "set-path!"},
      {T_GET_PATH, "get-path!"}, {T_ERROR, "error!"}, {T_PAIR, "pair!"},
      {T_PERCENT, "percent!"}, {T_TUPLE, "tuple!"}, {T_MAP, "map!"}, {T_BINARY, "binary!"},
      {T_TIME, "time!"}, {T_TAG, "tag!"}, {T_EMAIL, "email!"}, {T_DATE, "date!"},
      {T_MONEY, "money!"}, {T_REF, "ref!"}, {T_POINT2D, "point2D!"}, {T_POINT3D, "point3D!"},
  };
  auto it = names.find(type);
  return it == names.end() ? "?" : it->second;
}

namespace {
// Every test in the binary runs against one initialised runtime.
class RuntimeEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { runtime::init(); }
};
const auto* environment = ::testing::AddGlobalTestEnvironment(new RuntimeEnvironment);
}  // namespace

namespace {
std::vector<std::pair<const Cell*, size_t>> held_cells;

void mark_held_cells() {
  for (auto [first, count] : held_cells) collector::mark_values(first, first + count);
}
}  // namespace

HeldCells::HeldCells(const Cell* first, size_t count) : first_(first), count_(count) {
  held_cells.emplace_back(first, count);
  collector::keep(mark_held_cells);   // again after every start-up: keep ignores repeats
}

HeldCells::~HeldCells() {
  std::erase(held_cells, std::pair{first_, count_});
}


Cell load(const std::string& text) {
  Cell blk;
  return *lexer::load_utf8(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), &blk);
}

Cell value(const std::string& text) {
  Cell blk = load(text);
  return *block::cell_at(&blk, 0);
}

Cell at(const std::string& text, int32_t index) {
  Cell v = value(text);
  series_cell::set_head(&v, index);
  return v;
}

std::string show(const Cell& v) {
  if (!series::is_series(v.type())) return mold(v);
  return "@" + std::to_string(series_cell::head(&v) + 1) + " " + mold(v);
}

void boot() {
  if (boot::done()) return;
  boot::init();
}

Cell source(const std::string& text) {
  boot();
  return load(text);
}

std::string eval(const std::string& text) {
  Cell code = source(text);
  Cell result;
  std::string e = raised([&] { result = interpreter::do_block(&code); });
  if (!e.empty()) return "error " + std::to_string(error::category_of(&exits::value)) + " " +
                        std::to_string(error::id_of(&exits::value));
  // error! values cannot be molded until error! objects exist: their category and id
  // stand for them.
  if (result.is(T_ERROR))
    return "error! " + std::to_string(error::category_of(&result)) + " " +
           std::to_string(error::id_of(&result));
  return mold(result);
}

Cell eval_value(const std::string& text) {
  Cell code = source(text);
  return interpreter::do_block(&code);
}

std::string eval_error_text(err::Id id) {
  return "error " + std::to_string(id.category) + " " + std::to_string(id.id);
}

void check(std::initializer_list<SourceCase> cases) {
  for (const SourceCase& c : cases) {
    Cell* top = stack::top;
    EXPECT_EQ(eval(c.source), c.expected) << c.source;
    EXPECT_EQ(stack::top, top) << "the stack is back where it was: " << c.source;
  }
}

std::vector<ListedCategory> listed_categories() {
  std::vector<ListedCategory> all;
#define ZOL_TEST_ID(ID, name) {int(err::Id(type::ID).id), name},
#define ZOL_TEST_CATEGORY(CATEGORY, type_, name)                        \
  {                                                                     \
    using type [[maybe_unused]] = err::type_;                           \
    all.push_back({err::CATEGORY, name, {ZOL_ERRORS_##CATEGORY(ZOL_TEST_ID)}}); \
  }
  ZOL_ERROR_CATEGORIES(ZOL_TEST_CATEGORY)
#undef ZOL_TEST_CATEGORY
#undef ZOL_TEST_ID
  return all;
}

}  // namespace zol::test
