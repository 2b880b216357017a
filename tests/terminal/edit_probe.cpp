// A test seam for the line editor: edits lines on the terminal it runs in, with
// the prompt and hidden flag given on the command line, and prints each line it
// got as "<<" its mold ">>" until the line is "q".
// Usage: edit_probe PROMPT HIDDEN; "\e" in PROMPT stands for the escape character.
#include <string>

#include "boot/runtime.h"
#include "console/line_editor.h"
#include "platform/platform.h"
#include "runtime/base/output.h"
#include "runtime/core/exits.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"

namespace {

std::string prompt_text;
bool hidden = false;

int probe(void*) {
  using namespace zol;
  runtime::init();
  Cell* history = stack::push(&values::none);
  block::make_at(history, 4);
  for (;;) {
    std::string text = console::editor::read_line(history, prompt_text, hidden);
    std::string shown = "<<";
    for (char c : text) shown += c == 27 ? std::string("^[") : std::string(1, c);
    shown += ">>";
    output::put(shown.data(), shown.size(), true);
    if (text == "q") return 0;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string raw = argc > 1 ? argv[1] : ">> ";
  for (size_t i = 0; i < raw.size(); i++) {
    if (raw.compare(i, 2, "\\e") == 0) prompt_text += '\x1b', i++;
    else prompt_text += raw[i];
  }
  hidden = argc > 2 && std::string(argv[2]) == "1";
  zol::platform::init_argv(argc, argv);
  return zol::platform::run_on_large_stack(probe, nullptr, zol::platform::RUNTIME_STACK_BYTES);
}
