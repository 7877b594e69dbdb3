#pragma once

#include <string>
#include <vector>

#include "cli/CommandLine.h"

namespace kalvane::cli {

// Each command takes the words after its name and gives the exit status.
int Load(const std::vector<std::string>& args);
int Info(const std::vector<std::string>& args);
int Export(const std::vector<std::string>& args);
int Mobile(const std::vector<std::string>& args);
int Designs(const std::vector<std::string>& args);
int Design(const std::vector<std::string>& args);
int Serve(const std::vector<std::string>& args);
int Preview(const std::vector<std::string>& args);
int Align(const std::vector<std::string>& args);
int New(const std::vector<std::string>& args);
int Frames(const std::vector<std::string>& args);
int Anim(const std::vector<std::string>& args);
int Video(const std::vector<std::string>& args);
int Check(const std::vector<std::string>& args);
int Batch(const std::vector<std::string>& args);

}  // namespace kalvane::cli
