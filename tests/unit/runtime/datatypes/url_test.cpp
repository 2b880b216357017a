// url!, file!, tag!, email! and ref!: percent coding, molded forms, making urls,
// path steps, POSIX paths and the hand-over of I/O to the services.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "support.h"
#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "platform/platform.h"
#include "runtime/core/action_types.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/url.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/core/values.h"

namespace zol {
namespace {

Cell S(const std::string& utf8, uint8_t type = T_STRING) { return test::utf8_text(utf8, type); }

std::string utf8(const Cell& s) { return string::to_utf8(&s); }
using test::outcome;
std::string error_of(err::Id id) { return test::error_text(id); }

// --- percent coding ------------------------------------------------------------------------

std::string dehex(const std::string& text) {
  return outcome([&] {
    Cell in = S(text), out;
    string::make_at(&out, 8);
    url::decode_percent(&in, &out);
    return utf8(out);
  });
}

TEST(UrlPercent, DecodingWholeSequencesAndLeavingTheRest) {
  const std::string invalid = error_of(err::access::INVALID_UTF8);
  struct Case {
    const char* text;
    std::string expected;
  };
  const Case cases[] = {
      {"a%20b", "a b"},
      {"%C3%A9", "\u00E9"},
      {"%c3%a9", "\u00E9"},
      {"%A9", "\u00A9"},
      {"%E9", "%E9"},
      {"%E9x", "%E9x"},
      {"%E2%82", "%E2\u0082"},
      {"%zz", "%zz"},
      {"50%", "50%"},
      {"%4", "%4"},
      {"%E2%82%AC %F0%9F%98%80", "\u20AC \U0001F600"},
      {"\u00E9%2F", "\u00E9/"},
      {"%C0%AF", invalid},
      {"%E0%80%AF", invalid},
      {"%ED%A0%80", invalid},
      {"%F4%90%80%80", invalid},
      {"%F8%88%80%80", invalid},
  };
  for (const Case& c : cases) EXPECT_EQ(dehex(c.text), c.expected) << c.text;
}

TEST(UrlPercent, EncodingInTheStrictAndUrlSets) {
  struct Case {
    const char* text;
    int mode;
    const char* expected;
  };
  const Case cases[] = {
      {"a b/c", url::MODE_STRICT, "a%20b%2Fc"},
      {"a b/c", url::MODE_URL, "a%20b/c"},
      {"-._~AZaz09", url::MODE_STRICT, "-._~AZaz09"},
      {"!#$&'()*+,:=?@", url::MODE_STRICT, "%21%23%24%26%27%28%29%2A%2B%2C%3A%3D%3F%40"},
      {"!#$&'()*+,:=?@", url::MODE_URL, "!#$&'()*+,:=?@"},
      {"%;<>[\\]^`{|}\"", url::MODE_URL, "%25%3B%3C%3E%5B%5C%5D%5E%60%7B%7C%7D%22"},
      {"\u00E9\U0001F600", url::MODE_URL, "%C3%A9%F0%9F%98%80"},
  };
  for (const Case& c : cases) {
    Cell in = S(c.text), out;
    string::make_at(&out, 8);
    url::encode_percent(&in, &out, c.mode);
    EXPECT_EQ(utf8(out), c.expected) << c.text;
    Cell back;
    string::make_at(&back, 8);
    url::decode_percent(&out, &back);
    EXPECT_EQ(utf8(back), c.text) << "decoding gives the text back";
  }
}

TEST(UrlPercent, LoadingDecodedBytes) {
  Cell* top = stack::top;
  const char bytes[] = "x%41%C3%A9\xC3\xA9";
  EXPECT_EQ(utf8(*url::load_decoded(reinterpret_cast<const uint8_t*>(bytes), uint32_t(std::strlen(bytes)))),
            "xA\u00E9\u00E9");
  stack::top = top;
  const uint8_t cut[] = {'a', 0xC3};
  EXPECT_EQ(test::raised([&] { url::load_decoded(cut, 2); }),
            test::error_name(err::access::INVALID_UTF8));
}

// --- molded and formed text ------------------------------------------------------------------

TEST(UrlText, MoldedForms) {
  struct Case {
    Cell value;
    std::string mold, form;
  };
  const Case cases[] = {
      {S("http://a.b/\u00E9 x?q=1", T_URL), "http://a.b/%C3%A9%20x?q=1", "http://a.b/\u00E9 x?q=1"},
      {S("dir/a.txt", T_FILE), "%dir/a.txt", "dir/a.txt"},
      {S("my file.txt", T_FILE), "%\"my file.txt\"", "my file.txt"},
      {S("50%.txt", T_FILE), "%\"50%.txt\"", "50%.txt"},
      {S("", T_FILE), "%\"\"", ""},
      {S("\u00E9t\u00E9~", T_FILE), "%\u00E9t\u00E9~", "\u00E9t\u00E9~"},
      {S("a b", T_TAG), "<a b>", "<a b>"},
      {S("me@host.org", T_EMAIL), "me@host.org", "me@host.org"},
      {S("xyz", T_REF), "@xyz", "xyz"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(test::mold(c.value), c.mold);
    EXPECT_EQ(test::form(c.value), c.form);
  }
}

TEST(UrlText, PartBudgets) {
  struct Case {
    Cell value;
    int limit;
    std::string text;
  };
  const Case cases[] = {
      {S("a b", T_URL), 2, "a%20"},
      {S("abcdef", T_FILE), 4, "%abc"},
      {S("abcdef", T_TAG), 4, "<abc>"},
      {S("abcdef", T_REF), 3, "@ab"},
  };
  for (const Case& c : cases) {
    Cell out;
    string::make_at(&out, 8);
    Cell part = values::integer(c.limit);
    actions::mold_typed(&c.value, &out, {.part = &part}, c.limit);
    EXPECT_EQ(utf8(out), c.text);
  }
}

// --- making urls and path steps ---------------------------------------------------------------

std::string made(uint8_t type, const Cell& spec) {
  return outcome([&] {
    Cell proto = values::of_datatype(type), s = spec;
    Cell* r = actions::make_typed(&proto, &s);
    return test::mold(*r);
  });
}

TEST(UrlMake, FromBlocksAndText) {
  Cell frag;
  issue::load(&frag, "top");
  Cell with_issue = test::value("[http example.com 8080 a b]");
  block::append(&with_issue, &frag);
  EXPECT_EQ(made(T_URL, with_issue), "http://example.com:8080/a/b#top");
  EXPECT_EQ(made(T_URL, test::value("[ftp host x]")), "ftp://host/x");
  EXPECT_EQ(made(T_URL, test::value("[http]")), "http://");
  EXPECT_EQ(made(T_URL, test::value("[]")), error_of(err::script::INVALID_ARG));
  EXPECT_EQ(made(T_URL, S("http://x.y")), "http://x.y");
  EXPECT_EQ(made(T_FILE, S("a b")), "%\"a b\"");
  EXPECT_EQ(made(T_URL, values::none), error_of(err::script::BAD_TO_ARG));
}

std::string step(Cell parent, Cell element, const Cell* set = nullptr) {
  return outcome([&] {
    Cell path = test::value("u/x");
    Cell v = set ? *set : values::none;
    Cell* r = actions::eval_path_typed(&parent, &element, set ? &v : nullptr, &path, 1);
    return test::mold(*r);
  });
}

TEST(UrlPath, JoinsWithExactlyOneSlash) {
  Cell slash = S("http://a.b/", T_URL), bare = S("http://a.b", T_URL);
  EXPECT_EQ(step(slash, word::load("x")), "http://a.b/x");
  EXPECT_EQ(step(slash, S("/x")), "http://a.b/x");
  EXPECT_EQ(step(bare, word::load("x")), "http://a.b/x");
  EXPECT_EQ(step(bare, S("/x")), "http://a.b/x");
  EXPECT_EQ(step(bare, values::integer(3)), "http://a.b/3");
  EXPECT_EQ(utf8(bare), "http://a.b") << "the url itself is left alone";
  Cell name = word::load("page");
  Cell value = S("index.html");
  context::set(&name, &value);
  Cell get_name = name;
  cell::set_type(&get_name, T_GET_WORD);
  EXPECT_EQ(step(bare, get_name), "http://a.b/index.html") << "a get-word! gives its value";
  EXPECT_EQ(step(S("dir/", T_FILE), word::load("f")), "%dir/f") << "file! inherits the step";
  Cell x = values::integer(1);
  EXPECT_EQ(step(bare, word::load("x"), &x), error_of(err::script::BAD_PATH_SET));
}

TEST(EmailPath, UserAndHost) {
  Cell path_value = S("new");
  Cell email = S("me@host.org", T_EMAIL);
  EXPECT_EQ(step(email, word::load("user")), "\"me\"");
  EXPECT_EQ(step(email, word::load("HOST")), "\"host.org\"");
  EXPECT_EQ(step(email, values::integer(2)), "#\"e\"");
  EXPECT_EQ(step(S("nobody", T_EMAIL), word::load("user")), "\"nobody\"");
  EXPECT_EQ(step(S("nobody", T_EMAIL), word::load("host")), "\"\"");
  EXPECT_EQ(step(email, word::load("name")), error_of(err::script::INVALID_PATH));
  EXPECT_EQ(step(email, S("user")), error_of(err::script::INVALID_PATH));
  EXPECT_EQ(step(email, word::load("host"), &path_value), "\"new\"");
  EXPECT_EQ(utf8(email), "me@new");
  Cell longer = S("someone");
  EXPECT_EQ(step(email, word::load("user"), &longer), "\"someone\"");
  EXPECT_EQ(utf8(email), "someone@new");
  Cell ref = S("x", T_REF);
  EXPECT_EQ(step(ref, values::integer(1)), error_of(err::script::BAD_PATH_TYPE));
}

// --- POSIX paths -----------------------------------------------------------------------------

std::string local(const std::string& file, bool prefix) {
  Cell f = S(file, T_FILE), out;
  string::make_at(&out, 8);
  file::to_local_path(&f, &out, prefix);
  return utf8(out);
}

TEST(FilePaths, PosixPathsAsTheyAre) {
  std::string cwd = platform::current_directory();
  ASSERT_FALSE(cwd.empty());
  if (cwd.back() != '/') cwd += '/';
  struct Case {
    const char* file;
    bool prefix;
    std::string expected;
  };
  const Case cases[] = {
      {"/home/me/a.txt", false, "/home/me/a.txt"},
      {"/home/me/a.txt", true, "/home/me/a.txt"},
      {"/c/docs/a.txt", true, "/c/docs/a.txt"},
      {"/c", true, "/c"},
      {"/", true, "/"},
      {"/server/share", true, "/server/share"},
      {"dir/a.txt", false, "dir/a.txt"},
      {"dir/a.txt", true, cwd + "dir/a.txt"},
      {"", true, cwd},
  };
  for (const Case& c : cases) EXPECT_EQ(local(c.file, c.prefix), c.expected) << c.file;
  Cell* top = stack::top;
  EXPECT_EQ(utf8(*file::get_current_dir()), cwd);
  stack::top = top;
  Cell f = S("/tmp/\u00E9t\u00E9 x", T_FILE);
  EXPECT_STREQ(file::to_local_text(&f), "/tmp/\u00E9t\u00E9 x");
  EXPECT_EQ(stack::top, top) << "the temporary is dropped";
  Cell backslash = S("a\\b");
  file::from_local_path(&backslash);
  EXPECT_EQ(utf8(backslash), "a\\b") << "a backslash is a file-name character here";
  Cell* loaded = file::load(reinterpret_cast<const uint8_t*>("x/y"), 3, string::ENCODING_UTF8);
  EXPECT_EQ(test::mold(*loaded), "%x/y");
  stack::top = top;
}

// --- I/O hand-over ---------------------------------------------------------------------------

// What the fake services saw, and the cell they answer with (a local of the
// running test, so that the collector sees it).
std::string seen_path;
Cell* answer = nullptr;

Cell* fake_http(const Cell* method, const Cell* url, const Cell* headers, const Cell* data,
                const url::HttpOptions& how) {
  seen_path = test::mold(*method) + " " + utf8(*url) + (headers ? " headers" : "") +
              (data ? " " + test::mold(*data) : "") + (how.binary ? " /binary" : "") +
              (how.lines ? " /lines" : "") + (how.info ? " /info" : "");
  return answer;
}

TEST(FileServices, TheActionsNeedTheServicesInstalled) {
  Cell f = S("/home/me/a.txt", T_FILE);
  file::Services installed = file::services;
  file::services = {};
  std::string missing = outcome([&] {
    Cell v = f;
    return test::mold(*actions::read_typed(&v, nullptr, nullptr, false, false, false, nullptr));
  });
  file::services = installed;
  EXPECT_EQ(missing, error_of(err::internal::FEATURE_NA));
}

TEST(UrlServices, HttpReadsAndWrites) {
  Cell u = S("http://a.b/x", T_URL);
  auto read = [&] {
    return outcome([&] {
      Cell v = u;
      return test::mold(*actions::read_typed(&v, nullptr, nullptr, false, false, false, nullptr));
    });
  };
  auto write = [&](Cell data) {
    return outcome([&] {
      Cell v = u;
      actions::write_typed(&v, &data, false, false, false, false, nullptr, nullptr, nullptr, nullptr);
      return seen_path;
    });
  };
  url::Services installed = url::services;
  url::services = {};
  EXPECT_EQ(read(), error_of(err::internal::FEATURE_NA));
  url::services.http_request = fake_http;
  Cell none = values::none, page = S("page");
  answer = &none;
  EXPECT_EQ(read(), error_of(err::access::CANNOT_OPEN));
  answer = &page;
  EXPECT_EQ(read(), "\"page\"");
  EXPECT_EQ(seen_path, "get http://a.b/x");
  EXPECT_EQ(write(S("body")), "post http://a.b/x \"body\"");
  EXPECT_EQ(write(test::value("[put [h 1] x]")), "put http://a.b/x headers x");
  EXPECT_EQ(write(test::value("[1 [h 1] x]")), error_of(err::script::INVALID_ARG));
  EXPECT_EQ(write(test::value("[put h x]")), error_of(err::script::INVALID_ARG));
  EXPECT_EQ(write(values::integer(1)), error_of(err::script::INVALID_ARG));
  Cell shaped = u;
  actions::read_typed(&shaped, nullptr, nullptr, true, true, true, nullptr);
  EXPECT_EQ(seen_path, "get http://a.b/x /binary /lines /info") << "the answer's shape reaches the service";
  Cell two = values::integer(2);
  EXPECT_EQ(test::raised([&] {
              Cell v = u;
              actions::read_typed(&v, &two, nullptr, false, false, false, nullptr);
            }),
            test::error_name(err::script::BAD_REFINES));
  answer = &none;
  EXPECT_EQ(write(S("body")), error_of(err::access::CANNOT_OPEN)) << "a write without response fails too";
  Cell other = S("ftp://a.b/x", T_URL);
  EXPECT_EQ(test::raised([&] {
              actions::read_typed(&other, nullptr, nullptr, false, false, false, nullptr);
            }),
            test::error_name(err::internal::FEATURE_NA))
      << "other schemes need the url parser and ports";
  url::services = installed;
}

}  // namespace
}  // namespace zol
