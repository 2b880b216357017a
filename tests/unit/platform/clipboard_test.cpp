// The clipboard: file lists as text/uri-list, helpers that fail or hang, and, on a
// virtual X display (Xvfb), text, file lists and images crossing between this
// program and xclip in both directions.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "platform/clipboard.h"
#include "platform/process.h"
#include "support.h"

namespace zol {
namespace {

using platform::ClipboardContent;

TEST(ClipboardUriList, PathsCrossAsFileUris) {
  std::string long_path = "/tmp/" + std::string(295, 'x');
  const struct {
    std::vector<std::string> paths;
    const char* list;   // null: not checked (too long to write out)
  } cases[] = {
      {{"/tmp/a b.txt", "/tmp/caf\xC3\xA9"}, "file:///tmp/a%20b.txt\r\nfile:///tmp/caf%C3%A9\r\n"},
      {{"/odd/%#?&+"}, "file:///odd/%25%23%3F%26%2B\r\n"},
      {{long_path}, nullptr},
      {{}, ""},
  };
  for (const auto& c : cases) {
    std::string list = platform::file_uri_list(c.paths);
    if (c.list) EXPECT_EQ(list, c.list);
    EXPECT_EQ(platform::paths_of_uri_list(list), c.paths) << list;
  }
}

TEST(ClipboardUriList, OnlyLocalFilesAreRead) {
  std::string list =
      "# a comment\r\nhttp://example.com/page\nfile://localhost/etc/hosts\r\n"
      "file:///a%2fb%zz\n\nfile:///last";
  std::vector<std::string> expected = {"/etc/hosts", "/a/b%zz", "/last"};
  EXPECT_EQ(platform::paths_of_uri_list(list), expected);
}

// Sets environment variables for one test and puts them back.
class ScopedEnv {
 public:
  void set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) setenv(it->first.c_str(), it->second->c_str(), 1);
      else unsetenv(it->first.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Fake helpers in a folder that is all of PATH (their scripts name the tools they
// use by full path), under a display that is never contacted.
class FakeHelper : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir_template[] = "/tmp/zol_fake_helper_XXXXXX";
    dir_ = mkdtemp(dir_template);
    env_.set("PATH", dir_.c_str());
    env_.set("FAKE_CLIPBOARD", (dir_ + "/held").c_str());
  }
  void install(const std::string& name, const std::string& script) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n" << script << "\n";
    chmod(path.c_str(), 0755);
    installed_.push_back(path);
  }
  void under(const char* display_variable) {
    env_.set("DISPLAY", nullptr);
    env_.set("WAYLAND_DISPLAY", nullptr);
    env_.set(display_variable, ":fake");
  }
  void use_fake_xclip(const std::string& script) {
    install("xclip", script);
    under("DISPLAY");
  }
  void TearDown() override {
    for (const std::string& path : installed_) unlink(path.c_str());
    unlink((dir_ + "/held").c_str());
    unlink((dir_ + "/held.type").c_str());
    rmdir(dir_.c_str());
  }
  ScopedEnv env_;
  std::string dir_;
  std::vector<std::string> installed_;
};

// A clipboard kept in a file ($FAKE_CLIPBOARD, its type beside it), served by
// helpers with the command lines of wl-copy/wl-paste and of xsel.
const char* const FAKE_WL_COPY =
    "if [ \"$1\" = --clear ]; then /bin/rm -f \"$FAKE_CLIPBOARD\"*; exit 0; fi\n"
    "/bin/cat > \"$FAKE_CLIPBOARD\"; printf '%s' \"$2\" > \"$FAKE_CLIPBOARD.type\"";
const char* const FAKE_WL_PASTE =
    "[ -f \"$FAKE_CLIPBOARD\" ] || exit 1\n"
    "if [ \"$1\" = --list-types ]; then /bin/cat \"$FAKE_CLIPBOARD.type\"; echo; exit 0; fi\n"
    "[ \"$3\" = \"$(/bin/cat \"$FAKE_CLIPBOARD.type\")\" ] || exit 1\n"
    "/bin/cat \"$FAKE_CLIPBOARD\"";
const char* const FAKE_XSEL =
    "case \"$2\" in\n"
    "  --input) /bin/cat > \"$FAKE_CLIPBOARD\" ;;\n"
    "  --output) /bin/cat \"$FAKE_CLIPBOARD\" 2>/dev/null ;;\n"
    "  --clear) /bin/rm -f \"$FAKE_CLIPBOARD\" ;;\n"
    "esac";

ClipboardContent text_content(const std::string& text) {
  ClipboardContent content;
  content.kind = ClipboardContent::TEXT;
  content.text = text;
  return content;
}

TEST_F(FakeHelper, WaylandHelpersCarryTextAndFiles) {
  install("wl-copy", FAKE_WL_COPY);
  install("wl-paste", FAKE_WL_PASTE);
  under("WAYLAND_DISPLAY");
  ClipboardContent read;
  ASSERT_TRUE(platform::read_clipboard(&read));
  EXPECT_EQ(read.kind, ClipboardContent::EMPTY);
  ASSERT_TRUE(platform::write_clipboard(text_content("caf\xC3\xA9")));
  std::ifstream type(dir_ + "/held.type");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(type), {}), "text/plain;charset=utf-8");
  ASSERT_TRUE(platform::read_clipboard(&read));
  EXPECT_EQ(read.text, "caf\xC3\xA9");
  ClipboardContent files;
  files.kind = ClipboardContent::FILES;
  files.files = {"/a b", "/c"};
  ASSERT_TRUE(platform::write_clipboard(files));
  ASSERT_TRUE(platform::read_clipboard(&read));
  EXPECT_EQ(read.kind, ClipboardContent::FILES);
  EXPECT_EQ(read.files, files.files);
  ASSERT_TRUE(platform::write_clipboard(ClipboardContent{}));
  ASSERT_TRUE(platform::read_clipboard(&read));
  EXPECT_EQ(read.kind, ClipboardContent::EMPTY);
}

TEST_F(FakeHelper, XselCarriesTextOnly) {
  install("xsel", FAKE_XSEL);
  under("DISPLAY");
  ASSERT_TRUE(platform::write_clipboard(text_content("plain")));
  ClipboardContent read;
  ASSERT_TRUE(platform::read_clipboard(&read));
  EXPECT_EQ(read.kind, ClipboardContent::TEXT);
  EXPECT_EQ(read.text, "plain");
  ClipboardContent files;
  files.kind = ClipboardContent::FILES;
  files.files = {"/a"};
  EXPECT_FALSE(platform::write_clipboard(files)) << "xsel cannot offer a file list";
  ASSERT_TRUE(platform::write_clipboard(ClipboardContent{}));
  ASSERT_TRUE(platform::read_clipboard(&read));
  EXPECT_EQ(read.kind, ClipboardContent::EMPTY);
}

TEST_F(FakeHelper, AHungHelperFailsInTime) {
  use_fake_xclip("exec /bin/sleep 30");
  auto start = std::chrono::steady_clock::now();
  ClipboardContent content;
  EXPECT_FALSE(platform::read_clipboard(&content));
  EXPECT_FALSE(platform::write_clipboard(text_content("x")));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
}

TEST_F(FakeHelper, AFailingHelperFailsWritesAndFindsNothing) {
  use_fake_xclip("exit 1");
  ClipboardContent content;
  EXPECT_FALSE(platform::write_clipboard(text_content("kept?")));
  EXPECT_TRUE(platform::read_clipboard(&content)) << "no owner to list types: empty";
  EXPECT_EQ(content.kind, ClipboardContent::EMPTY);
}

TEST_F(FakeHelper, UriListWinsOverText) {
  // Offers both, as a file manager's copy does; the text would read "text".
  use_fake_xclip(
      "case \"$*\" in\n"
      "  *TARGETS*) printf 'TARGETS\\nUTF8_STRING\\ntext/uri-list\\n' ;;\n"
      "  *uri-list*) printf 'file:///tmp/one\\r\\nfile:///tmp/two%%20x\\r\\n' ;;\n"
      "  *) printf text ;;\n"
      "esac");
  ClipboardContent content;
  ASSERT_TRUE(platform::read_clipboard(&content));
  EXPECT_EQ(content.kind, ClipboardContent::FILES);
  EXPECT_EQ(content.files, (std::vector<std::string>{"/tmp/one", "/tmp/two x"}));
}

bool on_path(const char* program) {
  std::string probe = std::string("command -v ") + program + " >/dev/null 2>&1";
  return std::system(probe.c_str()) == 0;
}

// Runs a shell command and answers its output. (xclip -i stays behind to serve
// the clipboard: its output must not be a pipe this waits on.)
std::string shell_output(const std::string& command, const std::string& input = "") {
  platform::ProcessRequest request;
  request.command = command;
  request.shell = true;
  request.wait = true;
  request.time_limit_ms = 5000;
  request.input.kind = platform::Redirect::DATA;
  request.input.data = input;
  request.output.kind = platform::Redirect::DATA;
  EXPECT_EQ(platform::run_process(&request), 0) << command;
  return request.output.data;
}

// Puts data on the clipboard with xclip as another program would, and waits until
// xclip's process left behind has taken the clipboard over.
void offer_with_xclip(const std::string& type, const std::string& data) {
  shell_output("xclip -selection clipboard -i -t '" + type + "' >/dev/null", data);
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (shell_output("xclip -selection clipboard -o -t '" + type + "' 2>/dev/null || true") != data &&
         std::chrono::steady_clock::now() < until)
    usleep(5000);
}

// A virtual X display of our own: Xvfb picks a free display number and writes it
// to a pipe.
class VirtualDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!on_path("Xvfb") || !on_path("xclip"))
      GTEST_SKIP() << "Xvfb or xclip is not installed (tools/deps.sh installs both)";
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    server_ = fork();
    if (server_ == 0) {
      close(ends[0]);
      std::string fd = std::to_string(ends[1]);
      int quiet = open("/dev/null", O_WRONLY);
      dup2(quiet, 2);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
             "64x64x24", nullptr);
      _exit(127);
    }
    close(ends[1]);
    std::string number;
    char c;
    while (read(ends[0], &c, 1) == 1 && c != '\n') number += c;
    close(ends[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    env_.set("DISPLAY", (":" + number).c_str());
    env_.set("WAYLAND_DISPLAY", nullptr);
  }
  void TearDown() override {
    if (server_ <= 0) return;
    kill(server_, SIGTERM);
    waitpid(server_, nullptr, 0);
  }
  ScopedEnv env_;
  pid_t server_ = -1;
};

TEST_F(VirtualDisplay, TextCrossesBothWays) {
  ClipboardContent content;
  content.kind = ClipboardContent::TEXT;
  content.text = "h\xC3\xA9llo \xE2\x98\x83\nsecond line";
  ASSERT_TRUE(platform::write_clipboard(content));
  EXPECT_EQ(shell_output("xclip -selection clipboard -o"), content.text);
  offer_with_xclip("UTF8_STRING", "from xclip \xF0\x9D\x84\x9E");
  ClipboardContent read;
  ASSERT_TRUE(platform::read_clipboard(&read));
  EXPECT_EQ(read.kind, ClipboardContent::TEXT);
  EXPECT_EQ(read.text, "from xclip \xF0\x9D\x84\x9E");
}

TEST_F(VirtualDisplay, FileListsCrossBothWays) {
  std::string long_path = "/tmp/" + std::string(295, 'y');
  ClipboardContent content;
  content.kind = ClipboardContent::FILES;
  content.files = {"/tmp/b.txt", "/tmp/with space/a.txt", long_path};
  ASSERT_TRUE(platform::write_clipboard(content));
  EXPECT_EQ(shell_output("xclip -selection clipboard -o -t text/uri-list"),
            platform::file_uri_list(content.files));
  offer_with_xclip("text/uri-list", "file:///tmp/from%20xclip\r\nfile:///etc/hosts\r\n");
  ClipboardContent read;
  ASSERT_TRUE(platform::read_clipboard(&read));
  EXPECT_EQ(read.kind, ClipboardContent::FILES);
  EXPECT_EQ(read.files, (std::vector<std::string>{"/tmp/from xclip", "/etc/hosts"}));
}

TEST_F(VirtualDisplay, TheLanguageSeesTheDesktopClipboard) {
  test::boot();
  EXPECT_EQ(test::eval("write-clipboard \"from zol\""), "true");
  EXPECT_EQ(shell_output("xclip -selection clipboard -o"), "from zol");
  offer_with_xclip("UTF8_STRING", "bad \xFF byte");
  EXPECT_EQ(test::eval("read-clipboard"), "\"bad \xEF\xBF\xBD byte\"")
      << "bytes that are not UTF-8 are replaced";
  EXPECT_EQ(test::eval("write-clipboard make image! [1x1 #{0A0B0C}]"), "true");
  std::string png = shell_output("xclip -selection clipboard -o -t image/png");
  EXPECT_EQ(png.substr(0, 4), "\x89PNG") << "images are offered as PNG";
  EXPECT_EQ(test::eval("write-clipboard \"not an image\""), "true");
  offer_with_xclip("image/png", png);
  EXPECT_EQ(test::eval("read-clipboard"), "make image! [1x1 #{0A0B0C}]");
  EXPECT_EQ(test::eval("write-clipboard none"), "true");
  EXPECT_EQ(test::eval("read-clipboard"), "none") << "emptied";
}

}  // namespace
}  // namespace zol
