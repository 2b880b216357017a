// The clipboard as this system sees it: empty, text, or a list of file paths.
// Without a desktop clipboard to talk to, a private store inside the process keeps
// what was written, so that scripts run headless still read back their own copy.
#pragma once
#include <string>
#include <vector>

namespace zol::platform {

struct ClipboardContent {
  enum Kind { EMPTY, TEXT, FILES };
  Kind kind = EMPTY;
  std::string text;                  // TEXT, as UTF-8
  std::vector<std::string> files;    // FILES, local paths in order
};

// False when the clipboard could not be read or written.
bool read_clipboard(ClipboardContent* content);
bool write_clipboard(const ClipboardContent& content);

}  // namespace zol::platform
