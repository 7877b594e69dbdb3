#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cmdline/ProgramVoice.h"

namespace CLI {
class App;
}

namespace kalvane::cmdline {

// A command line's options, taken apart the same way by every command of
// both programs: an option's value may follow it or be joined with "=",
// options and arguments may come in any order, "--" ends the options, the
// last of a repeated option counts, an unknown option or a value option at
// the end of the line is bad usage, and --help (-h) shows the usage. Every
// message is said in the program's voice.
class TOptionParser {
 public:
  explicit TOptionParser(const TProgramVoice& voice);
  ~TOptionParser();
  TOptionParser(const TOptionParser&) = delete;
  TOptionParser& operator=(const TOptionParser&) = delete;

  // An option with a value: `names` as "-o,--output"; `needs` completes
  // the message for a missing or empty value ("--width needs a number").
  void Value(const std::string& names, std::string& target, const std::string& needs);
  // An option whose value, empty too, the caller checks; one missing at
  // the end of the line "needs a value".
  void Value(const std::string& names, std::string& target);
  void Flag(const std::string& names, bool& target);
  // An option this command has no use for, refused with `message`.
  void Refuse(const std::string& name, const std::string& message);
  // The arguments that are not options, in order.
  void Arguments(std::vector<std::string>& target);

  // Empty when the line was taken apart; otherwise the exit status, with
  // the message (or the usage) already written.
  std::optional<int> Parse(const std::vector<std::string>& args);
  bool Given(const std::string& name) const;
  const TProgramVoice& Voice() const { return Says; }

 private:
  struct TValueOption {
    std::vector<std::string> Names;
    std::string Needs;  // empty: the caller checks the value
  };
  struct TRefusal {
    std::string Name;
    std::string Message;
  };
  TProgramVoice Says;
  std::unique_ptr<CLI::App> App;
  std::vector<TValueOption> ValueOptions;
  std::vector<TRefusal> Refusals;
  std::vector<std::string> FlagNames;
  bool Help = false;
};

// A whole number from `low` to `high`, nothing else in the text.
std::optional<int> WholeNumber(const std::string& text, int low, int high);
// A real number from `low` to `high`, nothing else in the text.
std::optional<double> RealNumber(const std::string& text, double low, double high);

}  // namespace kalvane::cmdline
