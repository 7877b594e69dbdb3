#pragma once

#include <optional>
#include <string>

#include "cmdline/OptionParser.h"

namespace kalvane::cli {

using cmdline::kDone;
using cmdline::kFailed;
using cmdline::kUsage;
using cmdline::WholeNumber;

// kalvane-cli's voice: its name, the standard streams, and the usage of
// the command being run.
cmdline::TProgramVoice CliVoice();
// Says what went wrong on stderr; kFailed.
int Fail(const std::string& message);
// Says what is wrong with the command line and where help is; kUsage.
int BadUsage(const std::string& message);

// One command's options, in kalvane-cli's voice.
class TCommandLine : public cmdline::TOptionParser {
 public:
  TCommandLine();
};

// Four fractions "L,T,R,B" of an image: 0 <= L < R <= 1, 0 <= T < B <= 1.
struct TFractionBox {
  double Left = 0, Top = 0, Right = 1, Bottom = 1;
};
std::optional<TFractionBox> FractionBox(const std::string& text);

// Where moved photos are looked for must be a folder; kDone or kFailed
// (said). An empty name is no search folder.
int CheckSearchFolder(const std::string& folder);

}  // namespace kalvane::cli
