// The clipboard as this system sees it: empty, text, a list of file paths, or an
// encoded image.
//
// On a desktop the clipboard is the session's own, reached through a helper
// program: wl-copy and wl-paste under Wayland (WAYLAND_DISPLAY), xclip or else xsel
// under X (DISPLAY). Text crosses as UTF-8; a file list as text/uri-list (file://
// URIs, percent-encoded); an image as the bytes of an image/* type (xsel carries
// text only). Helpers run without a shell under a time limit, so a
// helper that fails or hangs makes the call fail instead of blocking. Without a
// display or a helper, a private store inside the process keeps what was written,
// so that scripts run headless still read back their own copy.
#pragma once
#include <string>
#include <vector>

namespace zol::platform {

struct ClipboardContent {
  enum Kind { EMPTY, TEXT, FILES, IMAGE };
  Kind kind = EMPTY;
  std::string text;                  // TEXT, as UTF-8 (as the other program gave it)
  std::vector<std::string> files;    // FILES, local paths in order
  std::string image;                 // IMAGE, its encoded bytes
  std::string image_type;            // IMAGE, their MIME type ("image/png" when written)
};

// False when the clipboard could not be read or written.
bool read_clipboard(ClipboardContent* content);
bool write_clipboard(const ClipboardContent& content);

// The text/uri-list form of a file list ("file://" and the percent-encoded path,
// each line ending in CR LF), and the local paths of the file:// URIs in such a
// list (other URIs and "#" comments are skipped).
std::string file_uri_list(const std::vector<std::string>& paths);
std::vector<std::string> paths_of_uri_list(const std::string& list);

}  // namespace zol::platform
