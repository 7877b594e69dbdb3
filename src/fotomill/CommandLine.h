#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "imaging/PhotoBatch.h"

namespace kalvane::fotomill {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

// A command line taken apart: the settings, the output folder and the
// inputs as given (folders not yet expanded).
struct TRequest {
  TPrepSettings Settings;
  std::string Output;
  std::vector<std::string> Inputs;
};

// Takes the line apart. Empty with the exit status when it was bad usage
// (said on `err`) or a call for help (the usage printed on `out`).
std::optional<int> ParseCommandLine(const std::vector<std::string>& args, TRequest& request,
                                    std::ostream& out, std::ostream& err);

// The whole headless run: exit status 0 when every photo was written,
// 1 when any failed or nothing could be done, 2 for bad usage.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

void PrintUsage(std::ostream& out);

}  // namespace kalvane::fotomill
