// Simple file I/O where the Zol scripts cannot reach: special files of unknown
// size (read once, to their end or their /part), directories made here, and file
// times compared with what Python's os.stat reports. Everything happens in a
// fresh temporary folder.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support.h"

namespace zol {
namespace {

class SimpleIo : public ::testing::Test {
 protected:
  void SetUp() override {
    test::boot();
    std::string pattern = (std::filesystem::temp_directory_path() / "zol-io-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  // The file! literal of a path inside the folder.
  std::string file(const std::string& name) const { return "%" + dir_ + "/" + name; }
  void make_file(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << bytes;
  }
  std::string dir_;
};

TEST_F(SimpleIo, SourcesOfUnknownSizeAreReadOnceToTheirEnd) {
  // /proc reports size 0: the whole text comes back, in one reading.
  std::string status = test::eval("read %/proc/self/status");
  EXPECT_NE(status.find("Name:"), std::string::npos) << status;
  EXPECT_NE(status.find("VmRSS"), std::string::npos) << "read to its end";
  test::check({
      {"length? read/binary/part %/dev/zero 16", "16"},
      {"read/binary/part %/dev/zero 3", "#{000000}"},
      {"read/binary/seek/part %/dev/zero 5 2", "#{0000}"},
      {"read/part %/dev/null 4", "\"\""},
      {"read/binary %/dev/null", "#{}"},
      {"length? read/binary/part %/dev/urandom 16", "16"},
  });
}

TEST_F(SimpleIo, AFifoIsReadWholeOnceWithItsDataKept) {
  std::string fifo = dir_ + "/pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // The writer sends more than one pipe buffer, in pieces.
  std::string sent;
  for (int i = 0; i < 20000; i++) sent += "line " + std::to_string(i) + "\n";
  std::thread writer([&] {
    std::ofstream out(fifo, std::ios::binary);
    for (size_t at = 0; at < sent.size(); at += 7000) out << sent.substr(at, 7000) << std::flush;
  });
  std::string got = test::eval("length? read/lines " + file("pipe"));
  writer.join();
  EXPECT_EQ(got, "20000");
  std::thread second([&] { std::ofstream(fifo, std::ios::binary) << "abcdef"; });
  EXPECT_EQ(test::eval("read/seek " + file("pipe") + " 2"), "\"cdef\"")
      << "a pipe cannot seek: the bytes before the position are skipped";
  second.join();
}

TEST_F(SimpleIo, DirectoriesListSortedWithoutDotsAndDeleteWhenEmpty) {
  std::filesystem::create_directory(dir_ + "/sub");
  std::filesystem::create_directory(dir_ + "/empty");
  make_file("b.txt", "b");
  make_file("A.txt", "a");
  make_file("sub/x", "x");
  make_file("with space", "s");
  test::check({
      {("read " + file("")).c_str(), "[%A.txt %b.txt %empty/ %sub/ %\"with space\"]"},
      {("read " + file("sub/..")).c_str(), "[%A.txt %b.txt %empty/ %sub/ %\"with space\"]"},
      {("read " + file("sub/.")).c_str(), "[%x]"},
      {("read " + file("empty/")).c_str(), "[]"},
      {("query " + file("sub/x/")).c_str(), "none"},
      {("type? query " + file("sub/")).c_str(), "date!"},
      {("size? " + file("sub/")).c_str(), "none"},
      {("delete " + file("sub/")).c_str(), "false"},
      {("delete " + file("empty/")).c_str(), "true"},
      {("delete " + file("b.txt")).c_str(), "true"},
      {("read " + file("")).c_str(), "[%A.txt %sub/ %\"with space\"]"},
  });
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/empty"));
}

// The last-write time as Python's os.stat gives it, in universal time.
std::string python_mtime(const std::string& path) {
  std::string command =
      "python3 -c \"import os,datetime,sys; t=os.stat(sys.argv[1]).st_mtime_ns; "
      "d=datetime.datetime.fromtimestamp(t//10**9, datetime.timezone.utc); "
      "print(d.year, d.month, d.day, d.hour, d.minute, d.second, t%10**9)\" '" +
      path + "'";
  FILE* p = popen(command.c_str(), "r");
  if (!p) return std::string();
  char line[128] = {};
  if (!std::fgets(line, sizeof line, p)) line[0] = 0;
  pclose(p);
  std::string s(line);
  if (!s.empty() && s.back() == '\n') s.pop_back();
  return s;
}

TEST_F(SimpleIo, QueryAgreesWithPythonsStatInUniversalTime) {
  make_file("t.txt", "t");
  // A time in another year and zone than today's, to the nanosecond.
  std::string path = dir_ + "/t.txt";
  timespec times[2] = {{0, UTIME_OMIT}, {1000000000 + 86400 * 100 + 3723, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  std::string expected = python_mtime(path);
  ASSERT_FALSE(expected.empty()) << "python3 is needed";
  setenv("TZ", "NST3:30", 1);
  tzset();
  std::string q = "d: query " + file("t.txt") + " reduce [d/year d/month d/day d/hour d/minute " +
                  "to integer! d/second to integer! 1000 * remainder d/second 1 d/zone]";
  std::string got = test::eval(q);
  unsetenv("TZ");
  tzset();
  int y, mo, da, h, mi, s;
  long ns;
  ASSERT_EQ(std::sscanf(expected.c_str(), "%d %d %d %d %d %d %ld", &y, &mo, &da, &h, &mi, &s, &ns),
            7);
  char want[128];
  std::snprintf(want, sizeof want, "[%d %d %d %d %d %d %ld 0:00:00]", y, mo, da, h, mi, s,
                ns / 1000000);
  EXPECT_EQ(got, want);
}

TEST_F(SimpleIo, WriteAnswersTheTotalAndSizesPassIntegerAsFloat) {
  std::string f = file("big.txt");
  test::check({
      {("write/lines " + f + " [\"abc\" \"de\"]").c_str(), "7"},
      {("size? " + f).c_str(), "7"},
  });
  // A sparse file beyond integer!: its size is a float!, it opens, seeks and
  // appends; only a whole read, beyond the largest series, fails.
  std::string path = dir_ + "/sparse";
  { std::ofstream(path, std::ios::binary) << ""; }
  std::filesystem::resize_file(path, (int64_t(1) << 32) + 5);
  test::check({
      {("size? " + file("sparse")).c_str(), "4294967301.0"},
      {("read/binary/seek/part " + file("sparse") + " 2147483647 3").c_str(), "#{000000}"},
      {("read/binary " + file("sparse")).c_str(), test::eval_error_text(err::script::SIZE_LIMIT)},
      {("write/append " + file("sparse") + " \"xy\"").c_str(), "2"},
      {("size? " + file("sparse")).c_str(), "4294967303.0"},
  });
}

}  // namespace
}  // namespace zol
