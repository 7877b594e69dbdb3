#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace kalvane::cli {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

// Says what went wrong on stderr; kFailed.
int Fail(const std::string& message);
// Says what is wrong with the command line and where help is; kUsage.
int BadUsage(const std::string& message);

// One command's options, taken apart the same way for every command: an
// option's value may follow it or be joined with "=", options and
// arguments may come in any order, "--" ends the options, the last of a
// repeated option counts, an unknown option or a value option at the end
// of the line is bad usage, and --help (-h) shows the usage.
class TCommandLine {
 public:
  TCommandLine();
  ~TCommandLine();
  TCommandLine(const TCommandLine&) = delete;
  TCommandLine& operator=(const TCommandLine&) = delete;

  // An option with a value: `names` as "-o,--output"; `needs` completes
  // the message for a missing value ("--width needs a number").
  void Value(const std::string& names, std::string& target, const std::string& needs);
  void Flag(const std::string& names, bool& target);
  // An option this command has no use for, refused with `message`.
  void Refuse(const std::string& name, const std::string& message);
  // The arguments that are not options, in order.
  void Arguments(std::vector<std::string>& target);

  // Empty when the line was taken apart; otherwise the exit status, with
  // the message (or the usage) already written.
  std::optional<int> Parse(const std::vector<std::string>& args);
  bool Given(const std::string& name) const;

 private:
  struct TValueOption {
    std::vector<std::string> Names;
    std::string Needs;
  };
  struct TRefusal {
    std::string Name;
    std::string Message;
  };
  std::unique_ptr<CLI::App> App;
  std::vector<TValueOption> ValueOptions;
  std::vector<TRefusal> Refusals;
  std::vector<std::string> FlagNames;
  bool Help = false;
};

// A whole number from `low` to `high`, nothing else in the text.
std::optional<int> WholeNumber(const std::string& text, int low, int high);

// Four fractions "L,T,R,B" of an image: 0 <= L < R <= 1, 0 <= T < B <= 1.
struct TFractionBox {
  double Left = 0, Top = 0, Right = 1, Bottom = 1;
};
std::optional<TFractionBox> FractionBox(const std::string& text);

// Where moved photos are looked for must be a folder; kDone or kFailed
// (said). An empty name is no search folder.
int CheckSearchFolder(const std::string& folder);

}  // namespace kalvane::cli
