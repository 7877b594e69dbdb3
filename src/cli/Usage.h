#pragma once

#include <ostream>

namespace kalvane::cli {

// The usage of every command, as --help shows it.
void PrintUsage(std::ostream& out);

}  // namespace kalvane::cli
