// The natives that change text: uppercase and lowercase (in place, through the
// case-folding engine), dehex and enhex (percent coding into a new string!), and
// to-local-file (a file name in the system's form).
#include "interpreter/natives/natives_internal.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/url.h"
#include "runtime/text/casefold.h"

namespace zol::natives {
namespace {

void change_case(int part, bool upper) {
  case_folding::change(stack::arg(0), part >= 0 ? stack::arg(part) : nullptr, upper);
}

// A new string! of at least the argument's length, filled by `fill` from the
// argument, becomes the result. The string waits on the stack while it is filled,
// where the collector sees it.
template <class Fill>
void into_new_string(Fill fill) {
  const Cell* source = stack::arg(0);
  Cell* out = stack::push_unset();
  string::make_at(out, uint32_t(string::length(source)) + 1);
  fill(source, out);
  *stack::arg(0) = *out;
  stack::pop(1);
}

}  // namespace

void uppercase(int, int part) { change_case(part, true); }
void lowercase(int, int part) { change_case(part, false); }

void dehex(int) { into_new_string(url::decode_percent); }

// A string! keeps the characters of urls; file names, urls and the other string
// types keep only letters, digits and "-._~".
void enhex(int) {
  int mode = stack::arg(0)->is(T_STRING) ? url::MODE_URL : url::MODE_STRICT;
  into_new_string([mode](const Cell* text, Cell* out) { url::encode_percent(text, out, mode); });
}

void to_local_file(int, int full) {
  into_new_string([full](const Cell* path, Cell* out) { file::to_local_path(path, out, full >= 0); });
}

}  // namespace zol::natives
