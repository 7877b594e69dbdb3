#pragma once

#include <string>
#include <vector>

namespace kalvane::cli {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

int Load(std::vector<std::string> args);
int Info(const std::vector<std::string>& args);
int Export(const std::vector<std::string>& args);
int Mobile(const std::vector<std::string>& args);
int Designs(const std::vector<std::string>& args);
int Design(const std::vector<std::string>& args);
int Serve(const std::vector<std::string>& args);
int Preview(const std::vector<std::string>& args);
int Align(const std::vector<std::string>& args);

}  // namespace kalvane::cli
