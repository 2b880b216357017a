// The system natives over the platform's services: `wait`, `get-env`, `set-env`
// and `size?`.
#include <string>

#include "interpreter/natives/natives.h"
#include "interpreter/natives/natives_internal.h"
#include "platform/platform.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/simple_io.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/time/time.h"
#include "runtime/datatypes/word.h"

namespace zol::natives {
namespace {

// A variable's name: the text of a string or the spelling of a word.
std::string name_of(const Cell* var) {
  if (!word::any_word(var->type())) return string::to_utf8(var);
  Cell* spelling = word::to_string(var);
  std::string name = string::to_utf8(spelling);
  stack::pop(1);
  return name;
}

}  // namespace

void wait(int, int) {
  const Cell* value = stack::arg(0);
  double seconds;
  if (value->is(T_INTEGER)) seconds = cell::get_int(value);
  else if (value->is(T_FLOAT)) seconds = cell::get_double(value);
  else if (value->is(T_TIME)) seconds = time::get(value);
  else fire(err::script::INVALID_ARG, value);
  platform::wait(seconds);
  stack::set_last(&values::unset);
}

// A variable that is not set gives none.
void get_env(int) {
  std::string value;
  if (!platform::get_env(name_of(stack::arg(0)).c_str(), &value)) {
    stack::set_last(&values::none);
    return;
  }
  Cell text;
  string::load(reinterpret_cast<const uint8_t*>(value.data()), uint32_t(value.size()), &text,
               string::ENCODING_UTF8);
  stack::set_last(&text);
}

// none removes the variable.
void set_env(int) {
  const Cell* value = stack::arg(1);
  std::string name = name_of(stack::arg(0));
  std::string text = value->is(T_NONE) ? std::string() : string::to_utf8(value);
  platform::set_env(name.c_str(), value->is(T_NONE) ? nullptr : text.c_str());
  stack::set_last(value);
}

void size_q(int) {
  Cell size = simple_io::size_of(stack::arg(0));
  stack::set_last(&size);
}

}  // namespace zol::natives
