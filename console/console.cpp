// The console. Until text can be loaded and evaluated it only starts the runtime
// and reports that it cannot read commands yet.
#include "console/console.h"

#include "console/output.h"

namespace zol::console {

int run(int, char**) {
  output::print_c_string("Zol: the console cannot evaluate input yet (no lexer or interpreter)\n");
  output::flush();
  return 0;
}

}  // namespace zol::console
