#pragma once

#include <ostream>
#include <string>

namespace kalvane::cli {

// The command being run: --help shows its usage alone, and bad usage
// points to it.
void SetUsageCommand(const std::string& command);
const std::string& UsageCommand();

// The usage of every command, as kalvane-cli --help shows it.
void PrintUsage(std::ostream& out);
// The usage of the command being run; every command's when none is.
void PrintCommandUsage(std::ostream& out);

}  // namespace kalvane::cli
