// Test support (see support.h).
#include "support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "console/output.h"
#include "interpreter/actions.h"
#include "interpreter/stack.h"
#include "runtime/datatypes/string.h"
#include "runtime/error.h"
#include "runtime/exits.h"
#include "runtime/runtime.h"

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

namespace {
// Every test in the binary runs against one initialised runtime.
class RuntimeEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { runtime::init(); }
};
const auto* environment = ::testing::AddGlobalTestEnvironment(new RuntimeEnvironment);
}  // namespace

}  // namespace zol::test
