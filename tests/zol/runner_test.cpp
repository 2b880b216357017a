// The runner of the Zol scripts in tests/zol: each script is one test, run in the
// unit test binary, so the scripts run optimised, under the sanitizers and under
// the collector's stress mode like every other test.
//
// A script is a list of cases, each a source text and the outcome expected of it:
//
//   ; a comment line (";;" heads a group of related cases)
//   x: 5 x * x  ;== 25                        the mold of the value
//   1 / 0  ;!! math/zero-divide               the error raised, as category/id
//   loop 2 [try/all [break]]  ;== error! throw/break    an error! value likewise
//   form try [1 / 0]  ;== {*** Math Error: attempt to divide by zero
//   ;.. *** Where: /                          ";.. " goes on with the expectation
//   ;.. *** Near : 1 / 0}                     after a line break
//
// The expectation is the text after the last ";==" or ";!!" on the line and one
// space; a line that starts with one is a case of empty source. A line of source
// without an expectation goes on to the next one, joined by a line break, so a
// case may span lines. The cases of a script run in order against the runtime the
// whole binary shares (words set by one case are seen by the next), and each must
// leave the value stack where it found it. A failure names the script and the line
// of the expectation. Each script runs in a fresh temporary folder of its own, its
// current directory, so that scripts may write files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "support.h"

namespace zol {
namespace {

struct Case {
  int line = 0;          // the line of the expectation
  std::string source;
  std::string expected;  // as outcome() writes it
};

// "category/id" for the numbers an error carries, from the lists of error_ids.h.
const std::map<std::pair<int, int>, std::string>& error_names() {
  static const std::map<std::pair<int, int>, std::string> names = [] {
    std::map<std::pair<int, int>, std::string> all;
    for (const test::ListedCategory& c : test::listed_categories())
      for (auto [id, word] : c.ids) all[{int(c.category), id}] = std::string(c.name) + "/" + word;
    return all;
  }();
  return names;
}

// What a case gives, in the script's words: test::eval names errors by number.
std::string outcome(const std::string& source) {
  std::string shown = test::eval(source);
  static const std::regex numbered("(error!?) (\\d+) (\\d+)");
  std::smatch m;
  if (!std::regex_match(shown, m, numbered)) return "== " + shown;
  auto it = error_names().find({std::stoi(m[2]), std::stoi(m[3])});
  std::string name = it == error_names().end() ? m[2].str() + "/" + m[3].str() : it->second;
  return m[1] == "error" ? "!! " + name : "== error! " + name;
}

std::vector<Case> read_script(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<Case> cases;
  std::string pending;  // source lines waiting for their expectation
  std::string line;
  for (int number = 1; std::getline(in, line); number++) {
    if (line.starts_with(";.. ")) {
      if (!cases.empty()) cases.back().expected += "\n" + line.substr(4);
      continue;
    }
    bool marked_start = line.starts_with(";==") || line.starts_with(";!!");
    if (line.starts_with(";") && !marked_start) continue;  // a comment
    size_t eq = line.rfind(";=="), bang = line.rfind(";!!");
    size_t mark = eq == std::string::npos ? bang
                  : bang == std::string::npos ? eq
                                              : std::max(eq, bang);
    if (mark == std::string::npos) {
      if (line.find_first_not_of(" \t") != std::string::npos)
        pending += (pending.empty() ? "" : "\n") + line;
      continue;
    }
    std::string code = line.substr(0, mark);
    code.erase(code.find_last_not_of(" \t") + 1);
    if (!pending.empty()) code = pending + "\n" + code;
    pending.clear();
    std::string expected = line.substr(mark + 1, 2) + " " +
                           (line.size() > mark + 4 ? line.substr(mark + 4) : std::string());
    cases.push_back({number, code, expected});
  }
  return cases;
}

std::vector<std::filesystem::path> scripts() {
  std::vector<std::filesystem::path> all;
  for (const auto& entry : std::filesystem::directory_iterator(ZOL_TEST_SCRIPTS))
    if (entry.path().extension() == ".zol") all.push_back(entry.path());
  std::sort(all.begin(), all.end());
  return all;
}

// Makes a fresh temporary folder the current directory for the life of a script,
// then goes back and removes it.
class TemporaryFolder {
 public:
  TemporaryFolder() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "zol-script-XXXXXX").string();
    if (mkdtemp(pattern.data())) folder_ = pattern;
    if (!folder_.empty()) std::filesystem::current_path(folder_);
  }
  ~TemporaryFolder() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }
  bool made() const { return !folder_.empty(); }

 private:
  std::filesystem::path previous_;
  std::filesystem::path folder_;
};

class Script : public ::testing::TestWithParam<std::filesystem::path> {};

TEST_P(Script, GivesWhatItsCommentsExpect) {
  test::boot();
  const std::filesystem::path& path = GetParam();
  std::vector<Case> cases = read_script(path);
  ASSERT_FALSE(cases.empty()) << path << " holds no case";
  TemporaryFolder folder;
  ASSERT_TRUE(folder.made()) << "no temporary folder for " << path;
  for (const Case& c : cases) {
    Cell* top = stack::top;
    std::string got = outcome(c.source);
    if (got != c.expected)
      ADD_FAILURE_AT(path.c_str(), c.line)
          << c.source << "\n  expected ;" << c.expected << "\n  but got  ;" << got;
    if (stack::top != top)
      ADD_FAILURE_AT(path.c_str(), c.line) << "the stack is not back where it was: " << c.source;
  }
}

INSTANTIATE_TEST_SUITE_P(Zol, Script, ::testing::ValuesIn(scripts()),
                         [](const ::testing::TestParamInfo<std::filesystem::path>& info) {
                           return info.param.stem().string();
                         });

}  // namespace
}  // namespace zol
