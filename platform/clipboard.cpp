// The clipboard: the desktop's through a helper program when one is there, the
// private in-process store otherwise. The helpers differ only in their command
// lines, so each is a row of the HELPERS table.
#include "platform/clipboard.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <thread>

#include "platform/process.h"

namespace zol::platform {
namespace {

// A helper that has not answered by then is taken as hung.
constexpr int HELPER_TIME_LIMIT_MS = 3000;

// Command lines of one helper; "%t" stands for a data type. An empty `list` means
// the helper cannot name what the clipboard offers: it carries text only.
struct Helper {
  const char* display_variable;     // the session it serves
  const char* program;              // must be on PATH
  std::vector<std::string> list;    // prints the offered types, one a line
  std::vector<std::string> read;    // prints the data of a type
  std::vector<std::string> write;   // takes the data of a type on its input
  std::vector<std::string> clear;
  const char* text_type;            // the type text is written as
};

// X programs ask for text as UTF8_STRING, so under X that is what text is offered
// as; Wayland's helpers add the other text types themselves. xclip has no way to
// empty the clipboard: it takes it over offering only a type nobody reads.
const Helper HELPERS[] = {
    {"WAYLAND_DISPLAY", "wl-copy", {"wl-paste", "--list-types"},
     {"wl-paste", "--no-newline", "--type", "%t"}, {"wl-copy", "--type", "%t"},
     {"wl-copy", "--clear"}, "text/plain;charset=utf-8"},
    {"DISPLAY", "xclip", {"xclip", "-selection", "clipboard", "-o", "-t", "TARGETS"},
     {"xclip", "-selection", "clipboard", "-o", "-t", "%t"},
     {"xclip", "-selection", "clipboard", "-i", "-t", "%t"},
     {"xclip", "-selection", "clipboard", "-i", "-t", "application/x-empty-clipboard"},
     "UTF8_STRING"},
    {"DISPLAY", "xsel", {}, {"xsel", "--clipboard", "--output"},
     {"xsel", "--clipboard", "--input"}, {"xsel", "--clipboard", "--clear"}, ""},
};

// The types read as text, best first: all of them are UTF-8.
const char* const TEXT_TYPES[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain"};
const char* const URI_LIST = "text/uri-list";
// The image types read, best first (the encoded forms before the bitmap).
const char* const IMAGE_TYPES[] = {"image/png", "image/jpeg", "image/gif", "image/bmp"};

std::mutex store_lock;
ClipboardContent store;

bool on_path(const char* program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
  return false;
}

// The helper for this session, or null for the private store.
const Helper* session_helper() {
  for (const Helper& h : HELPERS) {
    const char* display = std::getenv(h.display_variable);
    if (display && *display && on_path(h.program)) return &h;
  }
  return nullptr;
}

// Runs a helper's command line with "%t" replaced by `type`; `input` is fed to it,
// and its output captured when `output` is given (a helper that stays behind to
// serve the clipboard must not hold a pipe of ours, so writers get /dev/null).
// Answers the exit status, -1 when it could not start or ran out of time.
int run_helper(const std::vector<std::string>& words, const std::string& type,
               const std::string* input, std::string* output) {
  ProcessRequest request;
  request.program_path = true;
  request.command = words[0];
  for (size_t i = 1; i < words.size(); i++)
    request.arguments.push_back(words[i] == "%t" ? type : words[i]);
  request.wait = true;
  request.time_limit_ms = HELPER_TIME_LIMIT_MS;
  if (input) {
    request.input.kind = Redirect::DATA;
    request.input.data = *input;
  }
  if (output) request.output.kind = Redirect::DATA;
  int status = run_process(&request);
  if (output) *output = std::move(request.output.data);
  return status;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

bool offers(const std::vector<std::string>& types, const char* type) {
  return std::find(types.begin(), types.end(), type) != types.end();
}

// What a helper that cannot list types gives: its text, none when there is none
// (or it ends saying there is nothing to read).
bool read_text_only(const Helper& h, ClipboardContent* content) {
  std::string text;
  int status = run_helper(h.read, "", nullptr, &text);
  if (status < 0) return false;
  if (status == 0 && !text.empty()) {
    content->kind = ClipboardContent::TEXT;
    content->text = std::move(text);
  }
  return true;
}

// Files when the clipboard offers a list of them (a file manager's copy offers
// text beside it), else text in the best type offered, else empty. A helper that
// cannot list (nothing owns the clipboard) finds it empty.
bool read_with(const Helper& h, ClipboardContent* content) {
  *content = {};
  if (h.list.empty()) return read_text_only(h, content);
  std::string listed;
  int status = run_helper(h.list, "", nullptr, &listed);
  if (status < 0) return false;
  if (status != 0) return true;
  std::vector<std::string> types = lines_of(listed);
  if (offers(types, URI_LIST)) {
    std::string list;
    if (run_helper(h.read, URI_LIST, nullptr, &list) != 0) return false;
    content->files = paths_of_uri_list(list);
    if (!content->files.empty()) {
      content->kind = ClipboardContent::FILES;
      return true;
    }
  }
  for (const char* type : TEXT_TYPES) {
    if (!offers(types, type)) continue;
    if (run_helper(h.read, type, nullptr, &content->text) != 0) return false;
    content->kind = ClipboardContent::TEXT;
    return true;
  }
  for (const char* type : IMAGE_TYPES) {
    if (!offers(types, type)) continue;
    if (run_helper(h.read, type, nullptr, &content->image) != 0) return false;
    content->kind = ClipboardContent::IMAGE;
    content->image_type = type;
    return true;
  }
  return true;
}

// Nothing to paste: empty, or an empty text or file list, which some helpers
// cannot tell from empty.
bool blank(const ClipboardContent& c) {
  return c.kind == ClipboardContent::EMPTY || (c.kind == ClipboardContent::TEXT && c.text.empty()) ||
         (c.kind == ClipboardContent::FILES && c.files.empty());
}

bool same_content(const ClipboardContent& a, const ClipboardContent& b) {
  if (blank(a) || blank(b)) return blank(a) && blank(b);
  return a.kind == b.kind && a.text == b.text && a.files == b.files && a.image == b.image;
}

// The helpers hand the clipboard to a process they leave behind, which takes it
// over a moment after they return: a write is done once a read sees what was
// written, so that a script reading right after its own write gets it back.
bool settled(const Helper& h, const ClipboardContent& written) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(HELPER_TIME_LIMIT_MS);
  for (;;) {
    ClipboardContent now;
    if (read_with(h, &now) && same_content(now, written)) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Hands the content to the helper; true once it is there.
bool hand_over(const Helper& h, const ClipboardContent& content) {
  switch (content.kind) {
    case ClipboardContent::EMPTY: {
      std::string nothing;
      return run_helper(h.clear, "", &nothing, nullptr) == 0;
    }
    case ClipboardContent::TEXT:
      return run_helper(h.write, h.text_type, &content.text, nullptr) == 0;
    case ClipboardContent::FILES: {
      if (h.list.empty()) return false;   // a text-only helper cannot carry files
      std::string list = file_uri_list(content.files);
      return run_helper(h.write, URI_LIST, &list, nullptr) == 0;
    }
    case ClipboardContent::IMAGE:
      return !h.list.empty() && run_helper(h.write, content.image_type, &content.image, nullptr) == 0;
  }
  return false;
}

bool unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percent_decoded(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); i++) {
    int high = i + 2 < text.size() && text[i] == '%' ? hex_value(text[i + 1]) : -1;
    int low = high >= 0 ? hex_value(text[i + 2]) : -1;
    if (low < 0) {
      out += text[i];
      continue;
    }
    out += char(high * 16 + low);
    i += 2;
  }
  return out;
}

}  // namespace

std::string file_uri_list(const std::vector<std::string>& paths) {
  static const char digits[] = "0123456789ABCDEF";
  std::string list;
  for (const std::string& path : paths) {
    list += "file://";
    for (unsigned char c : path) {
      if (unreserved(c)) list += char(c);
      else list += {'%', digits[c >> 4], digits[c & 15]};
    }
    list += "\r\n";
  }
  return list;
}

std::vector<std::string> paths_of_uri_list(const std::string& list) {
  std::vector<std::string> paths;
  for (const std::string& line : lines_of(list)) {
    if (line[0] == '#' || line.compare(0, 7, "file://") != 0) continue;
    // file:///path, or file://host/path naming this machine.
    size_t slash = line.find('/', 7);
    if (slash != std::string::npos) paths.push_back(percent_decoded(line.substr(slash)));
  }
  return paths;
}

namespace {

bool write_with(const Helper& h, const ClipboardContent& content) {
  return hand_over(h, content) && settled(h, content);
}

}  // namespace

bool read_clipboard(ClipboardContent* content) {
  if (const Helper* h = session_helper()) return read_with(*h, content);
  std::lock_guard<std::mutex> hold(store_lock);
  *content = store;
  return true;
}

bool write_clipboard(const ClipboardContent& content) {
  if (const Helper* h = session_helper()) return write_with(*h, content);
  std::lock_guard<std::mutex> hold(store_lock);
  store = content;
  return true;
}

}  // namespace zol::platform
