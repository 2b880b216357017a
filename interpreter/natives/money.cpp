// as-money: an amount given a currency by its code word.
#include "interpreter/natives/natives_internal.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/money/money.h"

namespace zol::natives {

// A code outside the currency list is an invalid denomination; the amount, an
// integer! or a float! (strictly: at most 5 decimals), takes the code's index.
void as_money(int) {
  Cell* code = stack::arguments;
  Cell* amount = stack::arguments + 1;
  int index = money::currency_index(word_cell::symbol(code));
  if (index < 0) fire(err::script::BAD_DENOM, code);
  Cell value{};
  if (amount->is(T_INTEGER)) money::from_integer(&value, cell::get_int(amount));
  else money::from_float(&value, cell::get_double(amount), true);
  money::store(code, money::negative(&value), index, money::units(&value));
}

}  // namespace zol::natives
