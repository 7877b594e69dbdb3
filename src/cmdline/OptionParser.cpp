#include "cmdline/OptionParser.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>

namespace kalvane::cmdline {

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

TOptionParser::TOptionParser(const TProgramVoice& voice)
    : Says(voice), App(std::make_unique<CLI::App>()) {
  App->set_help_flag();  // ours, so it prints the command's usage in our words
  App->add_flag("-h,--help", Help);
  App->allow_extras();  // unknown options are reported below, in our words
}

TOptionParser::~TOptionParser() = default;

void TOptionParser::Value(const std::string& names, std::string& target, const std::string& needs) {
  App->add_option(names, target)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  ValueOptions.push_back({SplitNames(names), needs});
}

void TOptionParser::Value(const std::string& names, std::string& target) {
  Value(names, target, "");
}

void TOptionParser::Flag(const std::string& names, bool& target) {
  App->add_flag(names, target)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  for (std::string& name : SplitNames(names))
    FlagNames.push_back(std::move(name));
}

void TOptionParser::Refuse(const std::string& name, const std::string& message) {
  // Takes a value if one follows, so the refusal is the one message given.
  App->add_option(name)->expected(0, 1)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  Refusals.push_back({name, message});
}

void TOptionParser::Arguments(std::vector<std::string>& target) {
  App->add_option("arguments", target);
}

std::optional<int> TOptionParser::Parse(const std::vector<std::string>& args) {
  // CLI11 takes the words last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    App->parse(reversed);
  } catch (const CLI::ArgumentMismatch& e) {
    // A value option with nothing after it: the last word of the line.
    const std::string last = args.empty() ? "" : args.back().substr(0, args.back().find('='));
    for (const TValueOption& option : ValueOptions) {
      if (std::find(option.Names.begin(), option.Names.end(), last) != option.Names.end())
        return Says.BadUsage(last + " needs " + (option.Needs.empty() ? "a value" : option.Needs));
    }
    for (const TRefusal& refusal : Refusals) {
      if (refusal.Name == last) return Says.BadUsage(refusal.Message);
    }
    return Says.BadUsage(e.what());
  } catch (const CLI::ConversionError& e) {
    // Only a flag converts: "--overwrite=maybe".
    for (const std::string& arg : args) {
      const std::size_t equals = arg.find('=');
      if (arg.starts_with("-") && equals != std::string::npos &&
          std::find(FlagNames.begin(), FlagNames.end(), arg.substr(0, equals)) != FlagNames.end())
        return Says.BadUsage(arg.substr(0, equals) + " takes no value");
    }
    return Says.BadUsage(e.what());
  } catch (const CLI::ParseError& e) {
    return Says.BadUsage(e.what());
  }
  if (Help) return Says.Help();
  for (const std::string& extra : App->remaining()) {
    // The parser keeps the "--" that ended the options among the extras.
    if (extra != "--") return Says.BadUsage("unknown option " + extra);
  }
  for (const TRefusal& refusal : Refusals) {
    if (Given(refusal.Name)) return Says.BadUsage(refusal.Message);
  }
  // An empty value ("--search=", -o "") is no value either.
  for (const TValueOption& option : ValueOptions) {
    const CLI::Option* o = App->get_option(option.Names.front());
    if (!option.Needs.empty() && o->count() > 0 && o->results().back().empty())
      return Says.BadUsage(option.Names.front() + " needs " + option.Needs);
  }
  return std::nullopt;
}

bool TOptionParser::Given(const std::string& name) const {
  return App->count(name) > 0;
}

std::optional<int> WholeNumber(const std::string& text, int low, int high) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
    return std::nullopt;
  return value;
}

std::optional<double> RealNumber(const std::string& text, double low, double high) {
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !(value >= low && value <= high))
    return std::nullopt;
  return value;
}

}  // namespace kalvane::cmdline
