#include "fotomill/CommandLine.h"

#include <CLI/CLI.hpp>
#include <atomic>
#include <charconv>
#include <cmath>

#include "imaging/OutputNames.h"

namespace kalvane::fotomill {

namespace {

constexpr const char* kWhite = "--white-background";
constexpr int kLargestSide = 30000;

int BadUsage(std::ostream& err, const std::string& message) {
  err << "fotomill: " << message << "\n(see fotomill --help)\n";
  return kUsage;
}

std::optional<double> Real(const std::string& text, double low, double high) {
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !(value >= low && value <= high))
    return std::nullopt;
  return value;
}

std::optional<int> Whole(const std::string& text, int low, int high) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
    return std::nullopt;
  return value;
}

}  // namespace

void PrintUsage(std::ostream& out) {
  out << "usage: fotomill [--match-exposure] [--white-background[=THRESHOLD]] [--level DEG]\n"
         "                [--rotate 90|180|270] [--size PX] [--format jpg|png|webp]\n"
         "                [--quality Q] [--name TEMPLATE] -o OUTDIR INPUT...\n"
         "       fotomill            (no arguments: the window)\n"
         "\n"
         "Prepares a shoot for Kalvane. INPUT is a photo (jpg png tif webp heic avif,\n"
         "or a camera file: cr2 cr3 nef arw raf dng) or a folder of them; all are\n"
         "taken in name order (p2, P3, p10). Each is written to OUTDIR, never over\n"
         "an original.\n"
         "\n"
         "--match-exposure      evens out light and colour: every photo is matched to\n"
         "                      the first, measured on the backdrop along the border\n"
         "--white-background    pushes the backdrop to pure white; THRESHOLD is how\n"
         "                      close a pixel must be, in percent (default 12)\n"
         "--level DEG           turns by DEG degrees to level the photo, positive\n"
         "                      counter-clockwise (at most 45)\n"
         "--rotate 90|180|270   quarter turns, counter-clockwise\n"
         "--size PX             the longest side in pixels (default: as read)\n"
         "--format jpg|png|webp the written format (default jpg)\n"
         "--quality Q           JPEG and WebP quality, 1 to 100 (default 90)\n"
         "--name TEMPLATE       the written names: {name} the photo's name, {index}\n"
         "                      its number from 1, {index:03} with zeros to three\n"
         "                      digits (default {name})\n"
         "\n"
         "Exit status: 0 all written, 1 a photo or the folder failed, 2 bad usage.\n";
}

std::optional<int> ParseCommandLine(const std::vector<std::string>& args, TRequest& request,
                                    std::ostream& out, std::ostream& err) {
  // The threshold joins its option with "=" only, so a bare
  // --white-background never takes the photo after it for its value.
  std::vector<std::string> rest;
  bool white = false, ended = false;
  std::string thresholdText;
  for (const std::string& arg : args) {
    if (!ended && arg == "--") ended = true;
    if (!ended && arg == kWhite) {
      white = true;
      thresholdText.clear();
    } else if (!ended && arg.starts_with("--match-exposure=")) {
      return BadUsage(err, "--match-exposure takes no value");
    } else if (!ended && arg.starts_with(std::string(kWhite) + "=")) {
      white = true;
      thresholdText = arg.substr(std::string(kWhite).size() + 1);
      if (thresholdText.empty()) return BadUsage(err, "--white-background= needs a threshold");
    } else {
      rest.push_back(arg);
    }
  }

  CLI::App app;
  app.set_help_flag();
  app.allow_extras();
  bool help = false, match = false;
  std::string level, rotate, size, format, quality, name;
  app.add_flag("-h,--help", help);
  app.add_flag("--match-exposure", match);
  const auto value = [&](const char* names, std::string& target) {
    app.add_option(names, target)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  };
  value("--level", level);
  value("--rotate", rotate);
  value("--size", size);
  value("--format", format);
  value("--quality", quality);
  value("--name", name);
  value("-o,--output", request.Output);
  app.add_option("inputs", request.Inputs);
  const std::vector<std::string> reversed(rest.rbegin(), rest.rend());
  try {
    app.parse(std::vector<std::string>(reversed));
  } catch (const CLI::ArgumentMismatch&) {
    const std::string last = rest.empty() ? "" : rest.back().substr(0, rest.back().find('='));
    return BadUsage(err, last + " needs a value");
  } catch (const CLI::ParseError& e) {
    return BadUsage(err, e.what());
  }
  if (help) {
    PrintUsage(out);
    return kDone;
  }
  for (const std::string& extra : app.remaining()) {
    if (extra != "--") return BadUsage(err, "unknown option " + extra);
  }
  const auto given = [&](const char* option) { return app.count(option) > 0; };

  TPrepSettings& s = request.Settings;
  s.MatchExposure = match;
  s.WhiteBackground = white;
  if (!thresholdText.empty()) {
    const std::optional<double> t = Real(thresholdText, 0, 100);
    if (!t) return BadUsage(err, "--white-background=THRESHOLD takes a percentage, 0 to 100");
    s.Clean.Threshold = *t / 100;
  }
  if (given("--level")) {
    const std::optional<double> degrees = Real(level, -45, 45);
    if (!degrees) return BadUsage(err, "--level takes degrees from -45 to 45");
    s.Geometry.LevelDegrees = *degrees;
  }
  if (given("--rotate")) {
    const std::optional<int> degrees = Whole(rotate, 90, 270);
    if (!degrees || *degrees % 90 != 0)
      return BadUsage(err, "--rotate takes 90, 180 or 270 (degrees, counter-clockwise)");
    s.Geometry.QuarterTurns = *degrees / 90;
  }
  if (given("--size")) {
    const std::optional<int> px = Whole(size, 1, kLargestSide);
    if (!px) return BadUsage(err, "--size takes pixels from 1 to " + std::to_string(kLargestSide));
    s.Output.LongestSide = *px;
  }
  if (given("--format")) {
    if (format == "jpg") {
      s.Output.Format = TPhotoFormat::Jpeg;
    } else if (format == "png") {
      s.Output.Format = TPhotoFormat::Png;
    } else if (format == "webp") {
      s.Output.Format = TPhotoFormat::Webp;
    } else {
      return BadUsage(err, "--format takes jpg, png or webp");
    }
  }
  if (given("--quality")) {
    const std::optional<int> q = Whole(quality, 1, 100);
    if (!q) return BadUsage(err, "--quality takes 1 to 100");
    s.Output.Quality = *q;
  }
  if (given("--name")) {
    std::string error;
    if (!TNameTemplate::Parse(name, error)) return BadUsage(err, "--name: " + error);
    s.NameTemplate = name;
  }
  if (given("-o") && request.Output.empty()) return BadUsage(err, "-o needs a folder");
  if (request.Inputs.empty()) return BadUsage(err, "no photos given");
  if (request.Output.empty()) return BadUsage(err, "no output folder: -o OUTDIR");
  return std::nullopt;
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TRequest request;
  if (const std::optional<int> rc = ParseCommandLine(args, request, out, err)) return *rc;
  std::vector<std::string> files;
  if (const TResult found = CollectPhotoFiles(request.Inputs, files); !found.Ok()) {
    err << "fotomill: " << found.Error << "\n";
    return kFailed;
  }
  if (files.empty()) {
    err << "fotomill: no photos in " << request.Inputs.front() << "\n";
    return kFailed;
  }
  const std::atomic<bool> cancel{false};
  const TPrepReport report =
      RunPreparation(files, request.Output, request.Settings, nullptr, cancel);
  if (!report.Result.Ok()) {
    err << "fotomill: " << report.Result.Error << "\n";
    return kFailed;
  }
  for (const TPrepItem& item : report.Items) {
    if (item.Result.Ok()) {
      out << "wrote " << item.Output << "\n";
    } else {
      err << "fotomill: " << item.Result.Error << "\n";
    }
  }
  out << "prepared " << report.Written() << " of " << files.size() << " photos into "
      << request.Output << "\n";
  return report.Failed() == 0 ? kDone : kFailed;
}

}  // namespace kalvane::fotomill
