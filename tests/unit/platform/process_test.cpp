// The process layer's time limit: a waiting call that runs out of time kills the
// child and answers -1 without leaving it behind; one that ends in time answers
// its status and its output as without a limit.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>

#include "platform/process.h"

namespace zol {
namespace {

platform::ProcessRequest shell_request(const char* command, int limit_ms) {
  platform::ProcessRequest request;
  request.command = command;
  request.shell = true;
  request.wait = true;
  request.time_limit_ms = limit_ms;
  request.output.kind = platform::Redirect::DATA;
  return request;
}

TEST(ProcessTimeLimit, AChildPastTheLimitIsKilled) {
  const struct {
    const char* command;
    const char* why;
  } cases[] = {
      {"echo $$; exec sleep 30", "a child that holds its output open"},
      {"echo $$; exec sleep 30 >/dev/null", "a child that only has to be waited for"},
  };
  for (const auto& c : cases) {
    auto start = std::chrono::steady_clock::now();
    platform::ProcessRequest request = shell_request(c.command, 300);
    EXPECT_EQ(platform::run_process(&request), -1) << c.why;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.why;
    pid_t child = std::stoi(request.output.data);
    EXPECT_NE(kill(child, 0), 0) << c.why << ": the child is gone, reaped";
  }
}

TEST(ProcessTimeLimit, AChildWithinTheLimitAnswersAsUsual) {
  platform::ProcessRequest request = shell_request("printf ok; exit 3", 5000);
  EXPECT_EQ(platform::run_process(&request), 3);
  EXPECT_EQ(request.output.data, "ok");
}

}  // namespace
}  // namespace zol
