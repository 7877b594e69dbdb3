#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace kalvane::cmdline {

// The exit statuses of both command-line programs.
constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

// How a command-line program speaks: every message on its error stream
// after its name ("kalvane-cli: ..."), bad usage pointing to its help, and
// the help on its output stream.
class TProgramVoice {
 public:
  // `topic`: what the help is asked for ("export" for "kalvane-cli export
  // --help"); empty for the program's own.
  TProgramVoice(std::string program, std::ostream& out, std::ostream& err,
                std::function<void(std::ostream&)> usage, std::string topic = {});

  // Says what went wrong; kFailed.
  int Fail(const std::string& message) const;
  // Says what is wrong with the command line and where help is; kUsage.
  int BadUsage(const std::string& message) const;
  // The usage on the output; kDone.
  int Help() const;
  std::ostream& Out() const { return *OutStream; }
  std::ostream& Err() const { return *ErrStream; }

 private:
  std::string Program;
  std::ostream* OutStream = nullptr;
  std::ostream* ErrStream = nullptr;
  std::function<void(std::ostream&)> Usage;
  std::string Topic;
};

}  // namespace kalvane::cmdline
