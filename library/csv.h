// The CSV codec's routine body (see csv.cpp).
#pragma once

namespace zol::library::csv {

// Registers the body of csv-scan by name.
void init();

}  // namespace zol::library::csv
