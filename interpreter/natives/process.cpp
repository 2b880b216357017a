// The natives over child processes and the environment: browse, call (a command run with
// its standard streams left alone, sent to /dev/null, or redirected to and from
// strings, binaries and files) and list-env (the environment as a map).
#include <algorithm>
#include <string>

#include "interpreter/natives/natives_internal.h"
#include "platform/process.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/url.h"
#include "runtime/text/unicode.h"

namespace zol::natives {
namespace {

// What a refinement's argument asks of one stream; `position` is -1 when the
// refinement is absent.
platform::Redirect redirect_of(int position, bool input) {
  platform::Redirect r;
  if (position < 0) return r;
  const Cell* target = stack::arg(position);
  if (target->is(T_FILE)) {
    r.kind = platform::Redirect::FILE;
    r.path = file::to_local_text(target);
    return r;
  }
  r.kind = platform::Redirect::DATA;
  if (!input) return r;
  if (target->is(T_BINARY))
    r.data.assign(reinterpret_cast<const char*>(binary::head_bytes(target)), size_t(binary::length(target)));
  else
    r.data = string::to_utf8(target);
  return r;
}

// Puts captured bytes into the target: inserted at a binary's position, appended
// to a string's tail as UTF-8 text.
void deliver(int position, platform::Redirect& r) {
  if (position < 0 || r.kind != platform::Redirect::DATA || r.data.empty()) return;
  Cell* target = stack::arg(position);
  if (target->is(T_BINARY)) {
    bool rebuild = false;
    uint8_t* gap = series::open_gap(target, series::head_index(target), int32_t(r.data.size()), false, &rebuild);
    std::copy(r.data.begin(), r.data.end(), gap);
    return;
  }
  unicode::repair_utf8(&r.data);
  Cell* decoded = string::load(reinterpret_cast<const uint8_t*>(r.data.data()), uint32_t(r.data.size()), nullptr,
                               string::ENCODING_UTF8);
  string::concatenate(target, decoded, -1, 0, false, string::CONCAT_APPEND);
  stack::pop(1);
}

}  // namespace

void call(int, int wait, int, int console, int shell, int input, int output, int error) {
  Cell* command = stack::arg(0);
  if (series::at_tail(command)) {
    *command = values::integer(0);
    return;
  }
  platform::ProcessRequest request;
  request.program_path = command->is(T_FILE);
  request.command = request.program_path ? std::string(file::to_local_text(command)) : string::to_utf8(command);
  request.wait = wait >= 0;
  request.console = console >= 0;
  request.shell = shell >= 0;
  request.input = redirect_of(input, true);
  request.output = redirect_of(output, false);
  request.error = redirect_of(error, false);
  int result = platform::run_process(&request);
  deliver(output, request.output);
  deliver(error, request.error);
  *stack::arg(0) = values::integer(result);
}

// The desktop's opener shows the url or file; the call does not wait for it.
void browse(int) {
  Cell* target = stack::arg(0);
  platform::ProcessRequest request;
  request.program_path = true;
  request.command = "xdg-open";
  request.arguments = {target->is(T_FILE) ? std::string(file::to_local_text(target)) : string::to_utf8(target)};
  platform::run_process(&request);
  *target = values::unset;
}

void list_env(int) {
  auto pairs = platform::environment_pairs();
  Cell* block = stack::push_unset();
  block::make_at(block, uint32_t(pairs.size() * 2 + 1));
  for (const auto& pair : pairs) {
    for (const std::string* part : {&pair.first, &pair.second}) {
      std::string text = *part;
      unicode::repair_utf8(&text);
      string::load_in(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()),
                      series_cell::node(block), string::ENCODING_UTF8);
    }
  }
  map::make_over(block, block);
  *stack::arg(0) = *block;
  stack::pop(1);
}

}  // namespace zol::natives
