// HTTP requests against a local server (tests/data/http_server.py) that logs every
// request it receives: what read and write send (method, headers, body), how the
// answers come back (string, binary, lines, [status headers body]), redirects,
// and the failures that raise "cannot open:". Nothing leaves 127.0.0.1.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/http.h"
#include "runtime/datatypes/http.h"
#include "support.h"

namespace zol {
namespace {

// The server runs while the object lives; it ends by itself when its standard
// input closes, so a test that dies takes it along.
class LocalServer {
 public:
  LocalServer() {
    char log_template[] = "/tmp/zol_http_log_XXXXXX";
    int log_fd = mkstemp(log_template);
    close(log_fd);
    log_path_ = log_template;
    int to_child[2], from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(to_child[0], 0);
      dup2(from_child[1], 1);
      close(to_child[1]);
      close(from_child[0]);
      std::string script = std::string(ZOL_TEST_DATA) + "/http_server.py";
      execlp("python3", "python3", script.c_str(), log_path_.c_str(), nullptr);
      _exit(127);
    }
    close(to_child[0]);
    close(from_child[1]);
    stdin_ = to_child[1];
    stdout_ = from_child[0];
    port_ = read_port();
  }
  ~LocalServer() {
    close(stdin_);
    close(stdout_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
    unlink(log_path_.c_str());
  }

  bool running() const { return port_ > 0; }
  int port() const { return port_; }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // One line per request: method, path, {headers joined by "|"}, the body as a
  // Python bytes literal.
  std::vector<std::string> requests() const {
    std::vector<std::string> lines;
    std::ifstream log(log_path_);
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
  }
  std::string last_request() const {
    auto all = requests();
    return all.empty() ? "" : all.back();
  }

 private:
  std::string log_path_;
  // The first line the server writes; its standard output stays open while it
  // runs, so that nothing it writes meets a closed pipe.
  int read_port() {
    std::string line;
    char c;
    while (line.size() < 16 && read(stdout_, &c, 1) == 1 && c != '\n') line += c;
    return line.empty() ? 0 : std::stoi(line);
  }

  pid_t pid_ = -1;
  int stdin_ = -1;
  int stdout_ = -1;
  int port_ = 0;
};

const std::string DEFAULTS =
    "Content-Type: application/x-www-form-urlencoded|Accept-Charset: UTF-8|"
    "User-Agent: Mozilla/5.0 (Windows NT 6.1; Win64; x64)";

class Http : public ::testing::Test {
 protected:
  void SetUp() override {
    test::boot();
    // A proxy set for the machine must not stand between the tests and the server.
    setenv("no_proxy", "127.0.0.1", 1);
    ASSERT_TRUE(server.running()) << "the local server did not start";
  }
  // Evaluates source in which "URL/" stands for the server's address.
  std::string eval(std::string source) {
    for (size_t at; (at = source.find("URL/")) != std::string::npos;)
      source.replace(at, 4, server.url("/"));
    return test::eval(source);
  }
  LocalServer server;
};

TEST_F(Http, WhatReadAndWriteSend) {
  const struct {
    const char* source;
    const char* answer;
    std::string request;
  } cases[] = {
      {"read URL/text", "\"hello\"", "GET /text {" + DEFAULTS + "} b''"},
      {"write URL/echo \"posted é\"", "\"posted é\"",
       "POST /echo {" + DEFAULTS + "|Content-Length: 9} b'posted \\xc3\\xa9'"},
      {"write/binary URL/echo [put [X-A 1 Content-Type: \"text/plain\" <t> 2] #{0001FF}]",
       "#{0001FF}", "PUT /echo {X-A: 1|Content-Type: text/plain|<t>: 2|Content-Length: 3} b'\\x00\\x01\\xff'"},
      {"write URL/echo [delete []]", "\"\"", "DELETE /echo {} b''"},
      {"write URL/echo [get [] \"ignored\"]", "\"\"", "GET /echo {} b''"},
      {"write URL/echo [post [Empty \"\"] \"\"]", "\"\"", "POST /echo {Empty: |Content-Length: 0} b''"},
      {"write URL/echo [post [Lone]]", "\"\"", "POST /echo {} b''"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(eval(c.source), c.answer) << c.source;
    EXPECT_EQ(server.last_request(), c.request) << c.source;
  }
}

TEST_F(Http, TheAnswerTakesTheShapeAsked) {
  const struct {
    const char* source;
    const char* expected;
  } cases[] = {
      {"read/binary URL/lines", "#{610D0A62}"},
      {"read/lines URL/lines", "[\"a\" \"b\"]"},
      {"length? read/binary URL/bytes", "256"},
      {"r: read/info URL/missing reduce [r/1 map? r/2 r/3]", "[404 true \"not here\"]"},
      {"r: read/info URL/cookies reduce [select r/2 'Set-Cookie select r/2 'Content-Type "
       "select r/2 'X-Tight r/3]",
       "[[\"a=1\" \"b=2\"] \"text/plain\" \"y\" \"ok\"]"},
      {"r: read/info URL/redirect reduce [r/1 r/3 select r/2 'X-First select r/2 "
       "'Content-Length]",
       "[200 \"hello\" none \"5\"]"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(eval(c.source), c.expected) << c.source;
  EXPECT_EQ(eval("length? write URL/echo append/dup copy \"\" \"x\" 1100000"), "1100000");
  EXPECT_EQ(server.last_request().find("Expect"), std::string::npos)
      << "a large body goes without waiting for a 100 Continue";
  EXPECT_EQ(eval("r: write/info URL/echo [head] reduce [r/1 r/3]"), "[200 \"\"]");
  EXPECT_EQ(server.last_request(), "HEAD /echo {" + DEFAULTS + "} b''");
  auto log = server.requests();
  auto redirect = std::find_if(log.begin(), log.end(),
                               [](const std::string& line) { return line.starts_with("GET /redirect"); });
  ASSERT_TRUE(redirect != log.end() && redirect + 1 != log.end());
  EXPECT_TRUE(redirect[1].starts_with("GET /text ")) << "the redirect was followed";
}

// load of a url: another status than 200 gives none, a codec claiming the answer's
// Content-Type decodes the body, and any other body loads as code.
TEST_F(Http, LoadPicksTheCodecByContentType) {
  const struct {
    const char* source;
    const char* expected;
  } cases[] = {
      {"load URL/code", "[1 two 3]"},
      {"load URL/missing", "none"},
      {"i: load URL/png reduce [i/size i/1]", "[1x1 10.20.30.0]"},
      {"load/as URL/png 'png", "make image! [1x1 #{0A141E}]"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(eval(c.source), c.expected) << c.source;
}

// The download cache: a url is fetched once and then read from disk until /update;
// a failed download gives none and keeps nothing.
TEST_F(Http, TheDownloadCacheFetchesOnceUntilUpdated) {
  char dir_template[] = "/tmp/zol_thru_XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  std::string dir = dir_template;
  eval("system/options/thru-cache: %" + dir + "/");
  auto gets = [&] {
    auto log = server.requests();
    return std::count_if(log.begin(), log.end(),
                         [](const std::string& line) { return line.starts_with("GET "); });
  };
  const struct {
    const char* source;
    const char* expected;
    long requests;   // GETs the server has seen after it
  } cases[] = {
      {"read-thru URL/code", "\"[1 two 3]\"", 1},
      {"read-thru URL/code", "\"[1 two 3]\"", 1},
      {"exists-thru? URL/code", "true", 1},
      {"load-thru URL/code", "[1 two 3]", 1},
      {"read-thru/update URL/code", "\"[1 two 3]\"", 2},
      {"read-thru URL/missing", "none", 3},
      {"exists-thru? URL/missing", "false", 3},
      {"i: load-thru URL/png i/1", "10.20.30.0", 4},
      {"do-thru URL/script", "42", 5},
      {"do-thru URL/script", "42", 5},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(eval(c.source), c.expected) << c.source;
    EXPECT_EQ(gets(), c.requests) << c.source;
  }
  std::filesystem::remove_all(dir);
}

TEST_F(Http, NoAnswerRaisesCannotOpenPromptly) {
  const std::string cannot_open = test::eval_error_text(err::access::CANNOT_OPEN);
  auto start = std::chrono::steady_clock::now();
  std::string tls = "https://127.0.0.1:" + std::to_string(server.port()) + "/text";
  EXPECT_EQ(test::eval("read " + tls), cannot_open) << "TLS to a plain server";
  EXPECT_EQ(test::eval("read http://127.0.0.1:1/text"), cannot_open) << "a closed port";
  EXPECT_EQ(eval("write URL/echo [put]"), "\"\"");
  EXPECT_EQ(test::eval("write http://127.0.0.1:1/x \"data\""), cannot_open);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20))
      << "failures must not wait for the long timeouts";
  EXPECT_EQ(eval("read/part URL/text 2"), test::eval_error_text(err::script::BAD_REFINES));
  size_t sent = server.requests().size();
  for (const char* smuggled : {"[X \"a^M^/Injected: 1\"]", "[\"X^/Y\" 1]", "[X \"a^@b\"]"})
    EXPECT_EQ(eval(std::string("write URL/echo [post ") + smuggled + " \"\"]"),
              test::eval_error_text(err::script::INVALID_ARG))
        << smuggled;
  EXPECT_EQ(server.requests().size(), sent) << "nothing was sent";
}

TEST_F(Http, AStalledAnswerEndsAfterTheStallTime) {
  platform::HttpRequest request;
  request.method = "GET";
  request.url = server.url("/stall");
  request.stall_timeout = 1;
  platform::HttpResponse response;
  EXPECT_FALSE(platform::http_exchange(request, &response));
  request.url = server.url("/text");
  request.stall_timeout = 30;
  EXPECT_TRUE(platform::http_exchange(request, &response));
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.body, "hello");
  EXPECT_NE(response.headers.find("Content-Type: text/plain\r\n"), std::string::npos);
  EXPECT_NE(response.headers.rfind("HTTP/", 0), 0u) << "no status line";
}

// A map's mold: its pairs one per line.
std::string map_mold(std::initializer_list<const char*> pairs) {
  std::string text = "#[\n";
  for (const char* pair : pairs) text += std::string("    ") + pair + "\n";
  return text + "]";
}

TEST(HttpHeaders, ParseHeaderLines) {
  test::boot();
  const struct {
    const char* text;
    std::string expected;
  } cases[] = {
      {"X:y\r\n", map_mold({"X: \"y\""})},
      {"A:  \t two blanks\r\nB:\r\n\r\n", map_mold({"A: \"two blanks\"", "B: \"\""})},
      {"Set-Cookie: a\r\nset-cookie: b\r\nSet-Cookie: c\r\n",
       map_mold({"Set-Cookie: [\"a\" \"b\" \"c\"]"})},
      {"no colon here\r\n: no name\r\nLast: x", map_mold({"Last: \"x\""})},
      {"Url: http://a/b:c\r\n", map_mold({"Url: \"http://a/b:c\""})},
      {"U: caf\xC3\xA9\r\nL: caf\xE9\r\n",
       map_mold({"U: \"caf\xC3\xA9\"", "L: \"caf\xEF\xBF\xBD\""})},
  };
  for (const auto& c : cases) {
    Cell map;   // on the native stack, where the collector looks
    http::parse_headers(c.text, &map);
    EXPECT_EQ(test::mold(map), c.expected) << c.text;
  }
}

}  // namespace
}  // namespace zol
