#include "cli/CommandLine.h"

#include <charconv>
#include <filesystem>
#include <iostream>

#include "cli/Usage.h"

namespace kalvane::cli {

cmdline::TProgramVoice CliVoice() {
  return {"kalvane-cli", std::cout, std::cerr, PrintCommandUsage, UsageCommand()};
}

TCommandLine::TCommandLine() : TOptionParser(CliVoice()) {}

int Fail(const std::string& message) {
  return CliVoice().Fail(message);
}

int BadUsage(const std::string& message) {
  return CliVoice().BadUsage(message);
}

std::optional<TFractionBox> FractionBox(const std::string& text) {
  double v[4];
  const char* at = text.data();
  const char* const end = text.data() + text.size();
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (at == end || *at != ',') return std::nullopt;
      ++at;
    }
    const auto [next, ec] = std::from_chars(at, end, v[i]);
    if (ec != std::errc()) return std::nullopt;
    at = next;
  }
  // NaN fails every comparison, so it is refused too.
  if (at != end ||
      !(v[0] >= 0 && v[0] < v[2] && v[2] <= 1 && v[1] >= 0 && v[1] < v[3] && v[3] <= 1)) {
    return std::nullopt;
  }
  return TFractionBox{v[0], v[1], v[2], v[3]};
}

int CheckSearchFolder(const std::string& folder) {
  if (folder.empty()) return kDone;
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return Fail(folder + ": no such folder");
  return kDone;
}

}  // namespace kalvane::cli
