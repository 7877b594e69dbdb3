#include "fotomill/CommandLine.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "base/AppUtil.h"
#include "cmdline/OptionParser.h"
#include "imaging/OutputNames.h"

namespace kalvane::fotomill {

namespace {

constexpr const char* kWhite = "--white-background";
constexpr int kLargestSide = 30000;
// Options that take no value.
constexpr const char* kFlags[] = {"--match-exposure", "--remove-shadows", "--enlarge",
                                  "--keep-metadata", "--replace"};

cmdline::TProgramVoice Voice(std::ostream& out, std::ostream& err) {
  return {"fotomill", out, err, PrintUsage};
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The photos a name stands for: its file name, or that name without its
// extension.
std::vector<std::string> Named(const std::string& name, const std::vector<std::string>& photos) {
  std::vector<std::string> found;
  for (const std::string& photo : photos) {
    if (ExtractName(photo) == name || std::filesystem::path(photo).stem().string() == name)
      found.push_back(photo);
  }
  return found;
}

// The reference photo: a number from 1 or a name.
std::optional<int> ReferenceIndex(const std::string& text, const std::vector<std::string>& photos,
                                  std::string& error) {
  if (const std::optional<int> n = cmdline::WholeNumber(text, 1, static_cast<int>(photos.size())))
    return *n - 1;
  const std::vector<std::string> found = Named(text, photos);
  if (found.size() == 1) {
    for (std::size_t i = 0; i < photos.size(); ++i)
      if (photos[i] == found.front()) return static_cast<int>(i);
  }
  error = "--reference " + text + ": " +
          (found.empty() ? "is neither a photo's name nor its number from 1 to " +
                               std::to_string(photos.size())
                         : "names more than one photo; give the extension too");
  return std::nullopt;
}

// The margins to cut, L,T,R,B in percent.
std::optional<std::array<double, 4>> Margins(const std::string& text) {
  std::array<double, 4> m{};
  std::size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t comma = i < 3 ? text.find(',', at) : text.size();
    if (comma == std::string::npos) return std::nullopt;
    const std::optional<double> v = cmdline::RealNumber(text.substr(at, comma - at), 0, 45);
    if (!v) return std::nullopt;
    m[static_cast<std::size_t>(i)] = *v / 100;
    at = comma + 1;
  }
  return m;
}

}  // namespace

std::optional<std::map<std::string, double>> ReadLevelFile(const std::string& path,
                                                           const std::vector<std::string>& photos,
                                                           std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot read the level file";
    return std::nullopt;
  }
  std::map<std::string, double> levels;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    const std::string where = path + ":" + std::to_string(number) + ": ";
    line = Trimmed(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    // The angle is the last word, so a name may hold spaces.
    const std::size_t gap = line.find_last_of(" \t");
    const std::optional<double> degrees = gap == std::string::npos
                                              ? std::nullopt
                                              : cmdline::RealNumber(line.substr(gap + 1), -45, 45);
    if (!degrees) {
      error = where + "not \"name angle\" with an angle from -45 to 45 degrees";
      return std::nullopt;
    }
    const std::string name = Trimmed(line.substr(0, gap));
    const std::vector<std::string> found = Named(name, photos);
    if (found.size() != 1) {
      error =
          where + name + (found.empty() ? " is none of the photos" : " names more than one photo");
      return std::nullopt;
    }
    if (!levels.emplace(found.front(), *degrees).second) {
      error = where + name + " is given a level twice";
      return std::nullopt;
    }
  }
  return levels;
}

void PrintUsage(std::ostream& out) {
  out << "usage: fotomill [--match-exposure] [--reference PHOTO]\n"
         "                [--white-background[=THRESHOLD]] [--feather PCT] [--remove-shadows]\n"
         "                [--cutout white|transparent] [--shadow none|soft] [--plate EMPTY]\n"
         "                [--level DEG] [--level-file FILE] [--rotate 90|180|270]\n"
         "                [--crop L,T,R,B] [--size PX] [--enlarge] [--format jpg|png|webp]\n"
         "                [--quality Q] [--keep-metadata] [--name TEMPLATE] [--replace]\n"
         "                -o OUTDIR INPUT...\n"
         "       fotomill            (no arguments: the window)\n"
         "\n"
         "Prepares a shoot for Kalvane. INPUT is a photo (jpg png tif webp heic avif,\n"
         "or a camera file: cr2 cr3 nef arw raf dng) or a folder of them; all are\n"
         "taken in name order (p2, P3, p10). Each is written to OUTDIR, never over\n"
         "an original, and all at one size: the reference photo's shape. OUTDIR is\n"
         "never the root, the home folder itself or a system folder, and links in\n"
         "it are never followed.\n"
         "\n"
         "--match-exposure      evens out light and colour: every photo is matched to\n"
         "                      the reference, measured on the backdrop along the border\n"
         "--reference PHOTO     the reference photo: its name or number (default 1)\n"
         "--white-background    pushes the backdrop reached from the border to white,\n"
         "                      never the product; THRESHOLD is how far a pixel may be\n"
         "                      from the backdrop's level around it, in percent\n"
         "                      (default 12)\n"
         "--feather PCT         the blend along the backdrop's edge, in percent\n"
         "                      (default 8)\n"
         "--remove-shadows      whitens the product's shadow too (default: kept)\n"
         "--cutout white|transparent\n"
         "                      cuts the product out of every photo, its shadow and\n"
         "                      the backdrop gone, the edge alike from frame to frame:\n"
         "                      on pure white (255, 255, 255), or transparent (PNG or\n"
         "                      WebP; PNG unless --format says webp)\n"
         "--shadow none|soft    with --cutout: one soft shadow under the product, the\n"
         "                      same in every frame (default none)\n"
         "--plate EMPTY         with --cutout: a photo of the empty set taken with the\n"
         "                      same camera, for a backdrop that is not plain\n"
         "--level DEG           turns by DEG degrees to level the photos, positive\n"
         "                      counter-clockwise (at most 45); the size is kept\n"
         "--level-file FILE     each photo's own level: lines of \"name angle\"\n"
         "--rotate 90|180|270   quarter turns, counter-clockwise\n"
         "--crop L,T,R,B        margins cut from each side, in percent\n"
         "--size PX             the longest side in pixels (default: as read)\n"
         "--enlarge             lets --size scale a smaller photo up\n"
         "--format jpg|png|webp the written format (default jpg)\n"
         "--quality Q           JPEG and WebP quality, 1 to 100 (default 90)\n"
         "--keep-metadata       keeps the photos' EXIF, XMP and IPTC\n"
         "--name TEMPLATE       the written names: {name} the photo's name, {index}\n"
         "                      its number from 1, {index:03} with zeros to three\n"
         "                      digits (default {name})\n"
         "--replace             removes the photos an earlier run wrote to OUTDIR\n"
         "                      first (without it such a folder is refused)\n"
         "\n"
         "Exit status: 0 all written, 1 a photo or the folder failed, 2 bad usage.\n";
}

std::optional<int> ParseCommandLine(const std::vector<std::string>& args, TRequest& request,
                                    std::ostream& out, std::ostream& err) {
  const cmdline::TProgramVoice says = Voice(out, err);
  // The threshold joins its option with "=" only, so a bare
  // --white-background never takes the photo after it for its value.
  std::vector<std::string> rest;
  bool white = false, ended = false;
  std::string thresholdText;
  for (const std::string& arg : args) {
    if (!ended && arg == "--") ended = true;
    const std::string option = arg.substr(0, arg.find('='));
    const bool flag = std::find(std::begin(kFlags), std::end(kFlags), option) != std::end(kFlags);
    if (!ended && arg == kWhite) {
      white = true;
      thresholdText.clear();
    } else if (!ended && flag && option != arg) {
      return says.BadUsage(option + " takes no value");
    } else if (!ended && arg.starts_with(std::string(kWhite) + "=")) {
      white = true;
      thresholdText = arg.substr(std::string(kWhite).size() + 1);
      if (thresholdText.empty()) return says.BadUsage("--white-background= needs a threshold");
    } else {
      rest.push_back(arg);
    }
  }

  // Every value is checked below, an empty one too.
  cmdline::TOptionParser line(says);
  bool match = false, removeShadows = false, enlarge = false, metadata = false, replace = false;
  std::string level, rotate, size, format, quality, name, feather, crop, cutout, shadow;
  line.Flag("--match-exposure", match);
  line.Flag("--remove-shadows", removeShadows);
  line.Flag("--enlarge", enlarge);
  line.Flag("--keep-metadata", metadata);
  line.Flag("--replace", replace);
  line.Value("--level", level);
  line.Value("--rotate", rotate);
  line.Value("--size", size);
  line.Value("--format", format);
  line.Value("--quality", quality);
  line.Value("--name", name);
  line.Value("--feather", feather);
  line.Value("--crop", crop);
  line.Value("--cutout", cutout);
  line.Value("--shadow", shadow);
  line.Value("--plate", request.Settings.CutoutPlate);
  line.Value("--reference", request.Reference);
  line.Value("--level-file", request.LevelFile);
  line.Value("-o,--output", request.Output);
  line.Arguments(request.Inputs);
  if (const std::optional<int> rc = line.Parse(rest)) return *rc;
  const auto given = [&](const char* option) { return line.Given(option); };

  TPrepSettings& s = request.Settings;
  s.MatchExposure = match;
  s.WhiteBackground = white;
  s.Clean.KeepShadows = !removeShadows;
  s.Output.Enlarge = enlarge;
  s.Output.KeepMetadata = metadata;
  s.ReplaceEarlier = replace;
  if (given("--feather")) {
    const std::optional<double> f = cmdline::RealNumber(feather, 0, 50);
    if (!f) return says.BadUsage("--feather takes a percentage, 0 to 50");
    s.Clean.SoftEdge = *f / 100;
  }
  if (given("--crop")) {
    const std::optional<std::array<double, 4>> m = Margins(crop);
    if (!m) return says.BadUsage("--crop takes L,T,R,B: four percentages from 0 to 45");
    s.Geometry.MarginLeft = (*m)[0];
    s.Geometry.MarginTop = (*m)[1];
    s.Geometry.MarginRight = (*m)[2];
    s.Geometry.MarginBottom = (*m)[3];
    if (!s.Geometry.Valid()) return says.BadUsage("--crop leaves no picture");
  }
  if (given("--reference") && request.Reference.empty())
    return says.BadUsage("--reference needs a photo's name or number");
  if (given("--level-file") && request.LevelFile.empty())
    return says.BadUsage("--level-file needs a file");
  if (!thresholdText.empty()) {
    const std::optional<double> t = cmdline::RealNumber(thresholdText, 0, 100);
    if (!t) return says.BadUsage("--white-background=THRESHOLD takes a percentage, 0 to 100");
    s.Clean.Threshold = *t / 100;
  }
  if (given("--level")) {
    const std::optional<double> degrees = cmdline::RealNumber(level, -45, 45);
    if (!degrees) return says.BadUsage("--level takes degrees from -45 to 45");
    s.Geometry.LevelDegrees = *degrees;
  }
  if (given("--rotate")) {
    const std::optional<int> degrees = cmdline::WholeNumber(rotate, 90, 270);
    if (!degrees || *degrees % 90 != 0)
      return says.BadUsage("--rotate takes 90, 180 or 270 (degrees, counter-clockwise)");
    s.Geometry.QuarterTurns = *degrees / 90;
  }
  if (given("--size")) {
    const std::optional<int> px = cmdline::WholeNumber(size, 1, kLargestSide);
    if (!px) return says.BadUsage("--size takes pixels from 1 to " + std::to_string(kLargestSide));
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
      return says.BadUsage("--format takes jpg, png or webp");
    }
  }
  if (given("--quality")) {
    const std::optional<int> q = cmdline::WholeNumber(quality, 1, 100);
    if (!q) return says.BadUsage("--quality takes 1 to 100");
    s.Output.Quality = *q;
  }
  if (given("--name")) {
    std::string error;
    if (!TNameTemplate::Parse(name, error)) return says.BadUsage("--name: " + error);
    s.NameTemplate = name;
  }
  if (given("--cutout")) {
    if (cutout == "white") {
      s.Cutout.Mode = TCutoutMode::White;
    } else if (cutout == "transparent") {
      s.Cutout.Mode = TCutoutMode::Transparent;
      if (!given("--format")) s.Output.Format = TPhotoFormat::Png;
      if (s.Output.Format == TPhotoFormat::Jpeg)
        return says.BadUsage("--cutout transparent needs --format png or webp: JPEG has no alpha");
    } else {
      return says.BadUsage("--cutout takes white or transparent");
    }
    if (white)
      return says.BadUsage(
          "--cutout and --white-background do not go together: the cut-out "
          "already takes the backdrop away");
  }
  const bool cutting = s.Cutout.Mode != TCutoutMode::None;
  if (given("--shadow")) {
    if (shadow != "none" && shadow != "soft") return says.BadUsage("--shadow takes none or soft");
    if (!cutting) return says.BadUsage("--shadow goes with --cutout");
    s.Cutout.SoftShadow = shadow == "soft";
  }
  if (given("--plate") && !cutting) return says.BadUsage("--plate goes with --cutout");
  if (given("--plate") && s.CutoutPlate.empty())
    return says.BadUsage("--plate needs the photo of the empty set");
  if (given("-o") && request.Output.empty()) return says.BadUsage("-o needs a folder");
  if (request.Inputs.empty()) return says.BadUsage("no photos given");
  if (request.Output.empty()) return says.BadUsage("no output folder: -o OUTDIR");
  return std::nullopt;
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TRequest request;
  if (const std::optional<int> rc = ParseCommandLine(args, request, out, err)) return *rc;
  const cmdline::TProgramVoice says = Voice(out, err);
  std::vector<std::string> files;
  if (const TResult found = CollectPhotoFiles(request.Inputs, files); !found.Ok())
    return says.Fail(found.Error);
  if (files.empty()) return says.Fail("no photos in " + request.Inputs.front());
  TPrepSettings& settings = request.Settings;
  std::string error;
  if (!request.Reference.empty()) {
    const std::optional<int> reference = ReferenceIndex(request.Reference, files, error);
    if (!reference) return says.BadUsage(error);
    settings.Reference = *reference;
  }
  if (!request.LevelFile.empty()) {
    std::optional<std::map<std::string, double>> levels =
        ReadLevelFile(request.LevelFile, files, error);
    if (!levels) return says.BadUsage(error);
    settings.Levels = std::move(*levels);
  }
  const std::atomic<bool> cancel{false};
  const TPrepReport report = RunPreparation(files, request.Output, settings, nullptr, cancel);
  if (!report.Result.Ok()) {
    says.Fail(report.Result.Error);
    if (report.Result.Fault == TPrepFault::EarlierRun)
      says.Fail("--replace removes them first, or choose another folder");
    return kFailed;
  }
  for (const TPrepItem& item : report.Items) {
    if (item.Result.Ok()) {
      out << "wrote " << item.Output << "\n";
    } else {
      says.Fail(item.Result.Error);
    }
    if (item.NoProduct) {
      err << "fotomill: " << item.Input
          << ": warning: the cut-out found no product, only backdrop; the frame is empty\n";
    }
    if (item.LostColour) {
      says.Fail(item.Input +
                ": warning: the white background took colour from the product; check the photo, "
                "or lower the threshold");
    }
  }
  out << "prepared " << report.Written() << " of " << files.size() << " photos into "
      << request.Output << " at " << report.Frame.Width << " x " << report.Frame.Height << "\n";
  return report.Failed() == 0 ? kDone : kFailed;
}

}  // namespace kalvane::fotomill
