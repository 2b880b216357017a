// The private in-process clipboard store.
#include "platform/clipboard.h"

#include <mutex>

namespace zol::platform {
namespace {

std::mutex store_lock;
ClipboardContent store;

}  // namespace

bool read_clipboard(ClipboardContent* content) {
  std::lock_guard<std::mutex> hold(store_lock);
  *content = store;
  return true;
}

bool write_clipboard(const ClipboardContent& content) {
  std::lock_guard<std::mutex> hold(store_lock);
  store = content;
  return true;
}

}  // namespace zol::platform
