#pragma once

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cmdline/ProgramVoice.h"
#include "imaging/PhotoBatch.h"

namespace kalvane::fotomill {

using cmdline::kDone;
using cmdline::kFailed;
using cmdline::kUsage;

// A command line taken apart: the settings, the output folder and the
// inputs as given (folders not yet expanded). What names photos (the
// reference, the level file) waits until the photos are known.
struct TRequest {
  TPrepSettings Settings;
  std::string Output;
  std::vector<std::string> Inputs;
  std::string Reference;  // a photo's name or its number from 1
  std::string LevelFile;
};

// Each photo's level from a file of "name angle" lines (a name with its
// extension or without; # starts a comment), keyed by the photo's path.
// Empty with `error` said for a line that is not one, an angle beyond 45
// degrees, or a name that is none of the photos or two of them.
std::optional<std::map<std::string, double>> ReadLevelFile(const std::string& path,
                                                           const std::vector<std::string>& photos,
                                                           std::string& error);

// Takes the line apart. Empty with the exit status when it was bad usage
// (said on `err`) or a call for help (the usage printed on `out`).
std::optional<int> ParseCommandLine(const std::vector<std::string>& args, TRequest& request,
                                    std::ostream& out, std::ostream& err);

// The whole headless run: exit status 0 when every photo was written,
// 1 when any failed or nothing could be done, 2 for bad usage.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

void PrintUsage(std::ostream& out);

}  // namespace kalvane::fotomill
