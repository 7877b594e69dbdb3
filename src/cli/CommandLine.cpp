#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iostream>

#include "cli/Usage.h"

namespace kalvane::cli {

int Fail(const std::string& message) {
  std::cerr << "kalvane-cli: " << message << "\n";
  return kFailed;
}

int BadUsage(const std::string& message) {
  const std::string& command = UsageCommand();
  std::cerr << "kalvane-cli: " << message << "\n(see kalvane-cli "
            << (command.empty() ? "" : command + " ") << "--help)\n";
  return kUsage;
}

namespace {

std::vector<std::string> SplitNames(const std::string& names) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= names.size()) {
    const std::size_t comma = std::min(names.find(',', start), names.size());
    out.push_back(names.substr(start, comma - start));
    start = comma + 1;
  }
  return out;
}

}  // namespace

TCommandLine::TCommandLine() : App(std::make_unique<CLI::App>()) {
  App->set_help_flag();  // ours, so it prints the command's usage in our words
  App->add_flag("-h,--help", Help);
  App->allow_extras();  // unknown options are reported below, in our words
}

TCommandLine::~TCommandLine() = default;

void TCommandLine::Value(const std::string& names, std::string& target, const std::string& needs) {
  App->add_option(names, target)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  ValueOptions.push_back({SplitNames(names), needs});
}

void TCommandLine::Flag(const std::string& names, bool& target) {
  App->add_flag(names, target)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  for (std::string& name : SplitNames(names))
    FlagNames.push_back(std::move(name));
}

void TCommandLine::Refuse(const std::string& name, const std::string& message) {
  // Takes a value if one follows, so the refusal is the one message given.
  App->add_option(name)->expected(0, 1)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  Refusals.push_back({name, message});
}

void TCommandLine::Arguments(std::vector<std::string>& target) {
  App->add_option("arguments", target);
}

std::optional<int> TCommandLine::Parse(const std::vector<std::string>& args) {
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    App->parse(reversed);
  } catch (const CLI::ArgumentMismatch& e) {
    // A value option with nothing after it: the last word of the line.
    const std::string last = args.empty() ? "" : args.back().substr(0, args.back().find('='));
    for (const TValueOption& option : ValueOptions) {
      if (std::find(option.Names.begin(), option.Names.end(), last) != option.Names.end())
        return BadUsage(last + " needs " + option.Needs);
    }
    for (const TRefusal& refusal : Refusals) {
      if (refusal.Name == last) return BadUsage(refusal.Message);
    }
    return BadUsage(e.what());
  } catch (const CLI::ConversionError& e) {
    // Only a flag converts: "--overwrite=maybe".
    for (const std::string& arg : args) {
      const std::size_t equals = arg.find('=');
      if (arg.starts_with("-") && equals != std::string::npos &&
          std::find(FlagNames.begin(), FlagNames.end(), arg.substr(0, equals)) != FlagNames.end())
        return BadUsage(arg.substr(0, equals) + " takes no value");
    }
    return BadUsage(e.what());
  } catch (const CLI::ParseError& e) {
    return BadUsage(e.what());
  }
  if (Help) {
    PrintCommandUsage(std::cout);
    return kDone;
  }
  for (const std::string& extra : App->remaining()) {
    // The parser keeps the "--" that ended the options among the extras.
    if (extra != "--") return BadUsage("unknown option " + extra);
  }
  for (const TRefusal& refusal : Refusals) {
    if (Given(refusal.Name)) return BadUsage(refusal.Message);
  }
  // An empty value ("--search=", -o "") is no value either.
  for (const TValueOption& option : ValueOptions) {
    const CLI::Option* o = App->get_option(option.Names.front());
    if (o->count() > 0 && o->results().back().empty())
      return BadUsage(option.Names.front() + " needs " + option.Needs);
  }
  return std::nullopt;
}

bool TCommandLine::Given(const std::string& name) const {
  return App->count(name) > 0;
}

std::optional<int> WholeNumber(const std::string& text, int low, int high) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
    return std::nullopt;
  return value;
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
