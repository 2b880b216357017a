// The value-printer list and the default printer.
#include "runtime/text/printers.h"

#include "runtime/base/output.h"
#include "runtime/text/unicode.h"

namespace zol::printers {

HookList<ValuePrinter>& list() {
  static HookList<ValuePrinter>* printers = [] {
    auto* l = new HookList<ValuePrinter>;
    l->add(print_string_value);
    return l;
  }();
  return *printers;
}

void add(ValuePrinter printer) { list().add(printer); }
void remove(ValuePrinter printer) { list().remove(printer); }
void run(const Cell* text, bool newline) { list().run(text, newline); }

void print_string_value(const Cell* text, bool newline) {
  int32_t length = -1;
  const char* bytes = unicode::to_utf8(text, &length);
  output::put(bytes, size_t(length), newline);
}

}  // namespace zol::printers
