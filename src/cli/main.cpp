// kalvane-cli: the headless side of Kalvane.
#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/Usage.h"

int main(int argc, char** argv) {
  using namespace kalvane::cli;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintUsage(std::cerr);
    return kUsage;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") {
    PrintUsage(std::cout);
    return kDone;
  }
  if (command == "--version") {
    std::cout << "kalvane-cli " << KALVANE_VERSION << "\n";
    return kDone;
  }
  SetUsageCommand(command);
  if (command == "load") return Load(args);
  if (command == "info") return Info(args);
  if (command == "export") return Export(args);
  if (command == "mobile") return Mobile(args);
  if (command == "designs") return Designs(args);
  if (command == "design") return Design(args);
  if (command == "serve") return Serve(args);
  if (command == "preview") return Preview(args);
  if (command == "align") return Align(args);
  if (command == "new") return New(args);
  if (command == "frames") return Frames(args);
  if (command == "anim") return Anim(args);
  if (command == "video") return Video(args);
  if (command == "check") return Check(args);
  if (command == "batch") return Batch(args);
  std::cerr << "kalvane-cli: unknown command '" << command << "'\n";
  PrintUsage(std::cerr);
  return kUsage;
}
