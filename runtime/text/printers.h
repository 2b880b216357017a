// The value printers: the list of callbacks through which print and prin send
// every formed string. The list starts with the default printer, which writes the
// string to standard output through the output layer; a component that wants to
// see or redirect printed text adds its own printer.
#pragma once
#include "runtime/base/hook_list.h"
#include "runtime/core/cell.h"

namespace zol::printers {

// Called with a string! cell (its text from the index to the tail) and whether a
// line end follows.
using ValuePrinter = void (*)(const Cell* text, bool newline);

HookList<ValuePrinter>& list();   // holds the default printer from the first use
void add(ValuePrinter printer);
void remove(ValuePrinter printer);
// Calls every printer in the order they were added.
void run(const Cell* text, bool newline);

// The default printer.
void print_string_value(const Cell* text, bool newline);

}  // namespace zol::printers
