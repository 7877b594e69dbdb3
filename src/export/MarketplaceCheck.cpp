#include "export/MarketplaceCheck.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "base/NameOrder.h"
#include "base/OrderedWork.h"

namespace kalvane {

namespace fs = std::filesystem;

namespace {

constexpr int kAmazonLeast = 1500, kAmazonMost = 2500;
constexpr int kWhiteBorderLeast = 250;
constexpr double kAmazonFill = 0.85;
constexpr double kAmazonCentre = 0.02;
constexpr int kWalmartFrames = 24;
constexpr std::uint64_t kWalmartBytes = 1'500'000;
constexpr int kShopifySide = 4472;
constexpr double kGoogleSeconds = 6;

std::string Percent(double fraction) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %%", fraction * 100);
  return text;
}

std::string Grouped(std::uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string FrameLabel(std::size_t k, const TCheckedFrame& frame) {
  return "frame " + std::to_string(k + 1) + " (" + frame.Name + ")";
}

// A rule every readable frame keeps on its own; `fault` says what is
// wrong with one, empty when it keeps it.
template <typename F>
TRuleCheck EachFrame(std::string rule, const std::vector<TCheckedFrame>& frames, F fault) {
  TRuleCheck check{std::move(rule), true, {}};
  for (std::size_t k = 0; k < frames.size(); ++k) {
    if (!frames[k].Facts) continue;
    if (std::string why = fault(*frames[k].Facts); !why.empty())
      check.Faults.push_back(FrameLabel(k, frames[k]) + ": " + why);
  }
  check.Passed = check.Faults.empty();
  return check;
}

TRuleCheck Readable(const std::vector<TCheckedFrame>& frames) {
  TRuleCheck check{"every frame a picture that can be read", true, {}};
  for (std::size_t k = 0; k < frames.size(); ++k) {
    if (!frames[k].Facts) check.Faults.push_back(FrameLabel(k, frames[k]) + ": " + frames[k].Error);
  }
  check.Passed = check.Faults.empty();
  return check;
}

TRuleCheck Count(const std::string& rule, std::size_t count, const std::vector<int>& allowed) {
  const bool ok =
      std::find(allowed.begin(), allowed.end(), static_cast<int>(count)) != allowed.end();
  return {rule, ok,
          ok ? std::vector<std::string>{} : std::vector{std::to_string(count) + " frames"}};
}

TRuleCheck Formats(const std::string& rule, const std::vector<TCheckedFrame>& frames,
                   const std::vector<std::string>& allowed) {
  return EachFrame(rule, frames, [&allowed](const TFrameFacts& f) {
    return std::find(allowed.begin(), allowed.end(), f.Format) != allowed.end() ? std::string()
                                                                                : f.Format;
  });
}

std::string SizeText(const TFrameFacts& f) {
  return std::to_string(f.Width) + " x " + std::to_string(f.Height);
}

TRuleCheck WhiteBorder(const std::vector<TCheckedFrame>& frames) {
  return EachFrame("white border (a ring 1 % of the side wide, no channel below " +
                       std::to_string(kWhiteBorderLeast) + ")",
                   frames, [](const TFrameFacts& f) {
                     if (f.BorderLeast >= kWhiteBorderLeast) return std::string();
                     return "border pixel (" + std::to_string(f.BorderX) + ", " +
                            std::to_string(f.BorderY) + ") = " + std::to_string(f.BorderLeast);
                   });
}

// The number a name ends with (before its extension), if any.
std::optional<long long> TrailingNumber(const std::string& name) {
  const std::string stem = fs::path(name).stem().string();
  std::size_t end = stem.size();
  while (end > 0 && !std::isdigit(static_cast<unsigned char>(stem[end - 1])))
    --end;
  std::size_t start = end;
  while (start > 0 && std::isdigit(static_cast<unsigned char>(stem[start - 1])))
    --start;
  if (start == end || end - start > 15) return std::nullopt;
  return std::stoll(stem.substr(start, end - start));
}

// Shops order a set by its names: numbered one after another, and sorted
// the same way by a plain sort (shoe_10 goes before shoe_2 there).
TRuleCheck NamesInOrder(const std::vector<TCheckedFrame>& frames) {
  TRuleCheck check{"frame names numbered in order", true, {}};
  std::vector<std::string> plain;
  for (const TCheckedFrame& frame : frames)
    plain.push_back(frame.Name);
  std::sort(plain.begin(), plain.end());
  for (std::size_t k = 0; k < frames.size(); ++k) {
    const std::string label = FrameLabel(k, frames[k]);
    const std::optional<long long> n = TrailingNumber(frames[k].Name);
    const std::optional<long long> before = k ? TrailingNumber(frames[k - 1].Name) : std::nullopt;
    if (!n) {
      check.Faults.push_back(label + ": no number in the name");
    } else if (before && *n != *before + 1) {
      check.Faults.push_back(label + ": number " + std::to_string(*n) + " after " +
                             std::to_string(*before));
    } else if (plain[k] != frames[k].Name) {
      check.Faults.push_back(label + ": a plain sort puts " + plain[k] +
                             " here (pad the numbers with zeros)");
    }
  }
  check.Passed = check.Faults.empty();
  return check;
}

TRuleCheck Fills(const std::vector<TCheckedFrame>& frames) {
  TRuleCheck check{
      "the product fills " + Percent(kAmazonFill) + " of the side in one frame", false, {}};
  double best = 0;
  std::size_t at = 0;
  for (std::size_t k = 0; k < frames.size(); ++k) {
    const auto& f = frames[k].Facts;
    if (!f || !f->HasProduct) continue;
    const double fill = std::max(static_cast<double>(f->Right - f->Left) / f->Width,
                                 static_cast<double>(f->Bottom - f->Top) / f->Height);
    if (fill > best) best = fill, at = k;
  }
  check.Passed = best >= kAmazonFill;
  if (!check.Passed) {
    check.Faults.push_back(best > 0 ? "at most " + Percent(best) + " (" +
                                          FrameLabel(at, frames[at]) + ")"
                                    : "no product in any frame");
  }
  return check;
}

// The turntable's axis: the middle of the product's width, over the turn.
TRuleCheck Centred(const std::vector<TCheckedFrame>& frames) {
  TRuleCheck check{"the product centred (its middle over the turn within " +
                       Percent(kAmazonCentre) + " of the frame's)",
                   true,
                   {}};
  double sum = 0;
  int counted = 0;
  for (const TCheckedFrame& frame : frames) {
    const auto& f = frame.Facts;
    if (!f || !f->HasProduct) continue;
    sum += (f->Left + f->Right) / 2.0 / f->Width;
    ++counted;
  }
  if (counted == 0) return check;
  const double centre = sum / counted;
  if (std::abs(centre - 0.5) > kAmazonCentre) {
    check.Passed = false;
    check.Faults.push_back("its middle lies at " + Percent(centre) + " of the width");
  }
  return check;
}

std::string Lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool PictureName(const fs::path& path) {
  const std::string ext = Lower(path.extension().string());
  for (const char* known : {".jpg", ".jpeg", ".png", ".webp", ".gif", ".tif", ".tiff", ".bmp"})
    if (ext == known) return true;
  return false;
}

bool Hidden(const std::string& name) {
  const std::string base = fs::path(name).filename().string();
  return base.empty() || base.front() == '.' || name.starts_with("__MACOSX/");
}

// Where a set's frames come from, one at a time in the set's order.
class TFrameSource {
 public:
  virtual ~TFrameSource() = default;
  virtual const std::vector<std::string>& Names() const = 0;
  virtual bool Read(std::size_t k, std::vector<std::uint8_t>& bytes, std::string& error) = 0;
};

// Files named one by one, in the set's order.
class TFileFrames : public TFrameSource {
 public:
  explicit TFileFrames(std::vector<std::string> files) : Paths(std::move(files)) {
    for (const std::string& path : Paths)
      List.push_back(fs::path(path).filename().string());
  }
  // The pictures of a folder, in the order of their names.
  static TFileFrames InFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
      const std::string name = e.path().filename().string();
      if (!Hidden(name) && PictureName(e.path()) && e.is_regular_file(ec)) names.push_back(name);
    }
    SortNames(names);
    for (std::string& name : names)
      name = (fs::path(folder) / name).string();
    return TFileFrames(std::move(names));
  }
  const std::vector<std::string>& Names() const override { return List; }
  bool Read(std::size_t k, std::vector<std::uint8_t>& bytes, std::string& error) override {
    std::ifstream in(Paths[k], std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad() || (!in.eof() && in.fail())) {
      error = "cannot be read";
      return false;
    }
    return true;
  }

 private:
  std::vector<std::string> Paths, List;
};

class TZipFrames : public TFrameSource {
 public:
  explicit TZipFrames(const std::string& path) {
    int code = 0;
    Zip = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!Zip) {
      zip_error_t e;
      zip_error_init_with_code(&e, code);
      Error = zip_error_strerror(&e);
      zip_error_fini(&e);
      return;
    }
    const zip_int64_t entries = zip_get_num_entries(Zip, 0);
    std::vector<std::pair<std::string, zip_uint64_t>> found;
    for (zip_int64_t i = 0; i < entries; ++i) {
      const char* name = zip_get_name(Zip, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
      if (name && !std::string(name).ends_with("/") && !Hidden(name) && PictureName(name))
        found.emplace_back(name, static_cast<zip_uint64_t>(i));
    }
    for (const auto& [name, index] : found)
      List.push_back(name);
    SortNames(List);
    for (const std::string& name : List) {
      for (const auto& [n, index] : found)
        if (n == name) Index.push_back(index);
    }
  }
  ~TZipFrames() override {
    if (Zip) zip_discard(Zip);
  }
  TZipFrames(const TZipFrames&) = delete;
  TZipFrames& operator=(const TZipFrames&) = delete;
  const std::string& OpenError() const { return Error; }
  const std::vector<std::string>& Names() const override { return List; }
  bool Read(std::size_t k, std::vector<std::uint8_t>& bytes, std::string& error) override {
    zip_stat_t stat;
    // A frame is a few megabytes; an entry that claims more is not one.
    constexpr zip_uint64_t kMost = 256u << 20;
    if (zip_stat_index(Zip, Index[k], 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) ||
        stat.size > kMost) {
      error = "cannot be read from the zip";
      return false;
    }
    zip_file_t* file = zip_fopen_index(Zip, Index[k], 0);
    bytes.resize(static_cast<std::size_t>(stat.size));
    const zip_int64_t got = file ? zip_fread(file, bytes.data(), stat.size) : -1;
    if (file) zip_fclose(file);
    if (got != static_cast<zip_int64_t>(stat.size)) {
      error = "cannot be read from the zip";
      return false;
    }
    return true;
  }

 private:
  zip_t* Zip = nullptr;
  std::string Error;
  std::vector<std::string> List;
  std::vector<zip_uint64_t> Index;
};

bool IsZip(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char magic[4] = {};
  in.read(magic, 4);
  return in.gcount() == 4 && std::string(magic, 4) == std::string("PK\x03\x04", 4);
}

std::string JsonText(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

TResult CheckSource(TFrameSource& source, TMarketplace market, TMarketplaceReport& report,
                    const TCheckStep& step);

}  // namespace

std::optional<TMarketplace> ParseMarketplace(const std::string& text) {
  for (const TMarketplace m :
       {TMarketplace::Amazon, TMarketplace::Walmart, TMarketplace::Google, TMarketplace::Shopify}) {
    if (text == MarketplaceKey(m)) return m;
  }
  return std::nullopt;
}

const char* MarketplaceKey(TMarketplace market) {
  switch (market) {
    case TMarketplace::Amazon:
      return "amazon";
    case TMarketplace::Walmart:
      return "walmart";
    case TMarketplace::Google:
      return "google";
    case TMarketplace::Shopify:
      return "shopify";
  }
  return "";
}

bool TMarketplaceReport::Passed() const {
  return std::all_of(Rules.begin(), Rules.end(), [](const TRuleCheck& r) { return r.Passed; });
}

TMarketplaceReport CheckFrames(TMarketplace market, const std::vector<TCheckedFrame>& frames) {
  TMarketplaceReport report{market, {}};
  const auto add = [&report](TRule kind, TRuleCheck check) {
    check.Kind = kind;
    report.Rules.push_back(std::move(check));
  };
  add(TRule::Readable, Readable(frames));
  switch (market) {
    case TMarketplace::Amazon:
      add(TRule::Count, Count("24, 48 or 72 frames", frames.size(), {24, 48, 72}));
      add(TRule::Format, Formats("JPEG or PNG", frames, {"jpeg", "png"}));
      add(TRule::Square, EachFrame("square frames", frames, [](const TFrameFacts& f) {
            return f.Width == f.Height ? std::string() : SizeText(f);
          }));
      add(TRule::Side, EachFrame(std::to_string(kAmazonLeast) + " to " +
                                     std::to_string(kAmazonMost) + " pixels a side",
                                 frames, [](const TFrameFacts& f) {
                                   const int low = std::min(f.Width, f.Height),
                                             high = std::max(f.Width, f.Height);
                                   return low >= kAmazonLeast && high <= kAmazonMost ? std::string()
                                                                                     : SizeText(f);
                                 }));
      add(TRule::WhiteBorder, WhiteBorder(frames));
      add(TRule::Fills, Fills(frames));
      add(TRule::Centred, Centred(frames));
      add(TRule::Names, NamesInOrder(frames));
      break;
    case TMarketplace::Walmart:
      add(TRule::Count, Count("exactly 24 frames", frames.size(), {kWalmartFrames}));
      add(TRule::Format, Formats("JPEG or PNG", frames, {"jpeg", "png"}));
      add(TRule::Bytes, EachFrame("at most 1.5 MB (" + Grouped(kWalmartBytes) + " bytes) a frame",
                                  frames, [](const TFrameFacts& f) {
                                    return f.Bytes <= kWalmartBytes ? std::string()
                                                                    : Grouped(f.Bytes) + " bytes";
                                  }));
      add(TRule::WhiteBorder, WhiteBorder(frames));
      break;
    case TMarketplace::Google:
    case TMarketplace::Shopify:
      add(TRule::Format, Formats("JPEG, PNG or WebP", frames, {"jpeg", "png", "webp"}));
      add(TRule::Side, EachFrame("at most " + std::to_string(kShopifySide) + " pixels a side",
                                 frames, [](const TFrameFacts& f) {
                                   return std::max(f.Width, f.Height) <= kShopifySide
                                              ? std::string()
                                              : SizeText(f);
                                 }));
      add(TRule::Names, NamesInOrder(frames));
      break;
  }
  return report;
}

TMarketplaceReport CheckVideo(TMarketplace market, const std::string& name,
                              const TVideoFacts& video) {
  TMarketplaceReport report{market, {}};
  const std::string ext = Lower(fs::path(name).extension().string());
  const bool mp4 =
      video.Container.find("mp4") != std::string::npos && (ext == ".mp4" || ext == ".m4v");
  auto rule = [&report](TRule kind, std::string text, bool passed, std::string fault) {
    report.Rules.push_back({std::move(text), passed,
                            passed ? std::vector<std::string>{} : std::vector{std::move(fault)},
                            kind});
  };
  rule(TRule::Mp4, "MP4 (H.264)", mp4 && video.Codec == "h264",
       name + ": " + video.Codec + " in " + video.Container);
  rule(TRule::PixelFormat, "yuv420p pixels", video.PixelFormat == "yuv420p",
       name + ": " + video.PixelFormat);
  if (market == TMarketplace::Google) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f s", video.Seconds);
    rule(TRule::Seconds, "at least 6 seconds", video.Seconds >= kGoogleSeconds - 1e-3,
         name + ": " + seconds);
  }
  return report;
}

TResult CheckForMarketplace(const std::string& path, TMarketplace market,
                            TMarketplaceReport& report, const TCheckStep& step) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status))
    return TResult::Fail(TErrorCode::NotFound, path + ": no such file or folder");
  std::unique_ptr<TFrameSource> source;
  if (fs::is_directory(status)) {
    source = std::make_unique<TFileFrames>(TFileFrames::InFolder(path));
  } else if (fs::is_regular_file(status) && IsZip(path)) {
    auto zip = std::make_unique<TZipFrames>(path);
    if (!zip->OpenError().empty())
      return TResult::Fail(TErrorCode::Unreadable, path + ": " + zip->OpenError());
    source = std::move(zip);
  } else {
    const bool videos = market == TMarketplace::Google || market == TMarketplace::Shopify;
    if (!videos) {
      return TResult::Fail(TErrorCode::BadSetting, std::string(MarketplaceKey(market)) +
                                                       " takes a folder or a zip of frames");
    }
    std::string why;
    const std::optional<TVideoFacts> video = ProbeVideo(path, &why);
    if (!video) {
      return TResult::Fail(TErrorCode::BadSetting,
                           path + ": not a folder, a zip of frames or a video (" + why + ")");
    }
    report = CheckVideo(market, fs::path(path).filename().string(), *video);
    return {};
  }
  if (source->Names().empty())
    return TResult::Fail(TErrorCode::Unreadable, path + ": no frames in it");
  return CheckSource(*source, market, report, step);
}

TResult CheckFilesForMarketplace(const std::vector<std::string>& files, TMarketplace market,
                                 TMarketplaceReport& report, const TCheckStep& step) {
  if (files.empty()) return TResult::Fail(TErrorCode::Unreadable, "no frames to check");
  TFileFrames source(files);
  return CheckSource(source, market, report, step);
}

namespace {

TResult CheckSource(TFrameSource& source, TMarketplace market, TMarketplaceReport& report,
                    const TCheckStep& step) {
  const std::vector<std::string>& names = source.Names();
  const int total = static_cast<int>(names.size());
  bool going = !step || step(0, total);
  std::vector<TCheckedFrame> frames;
  TOrderedWork<TCheckedFrame> work;
  auto take = [&](TCheckedFrame frame) {
    frames.push_back(std::move(frame));
    if (going && step) going = step(static_cast<int>(frames.size()), total);
  };
  for (std::size_t k = 0; k < names.size() && going; ++k) {
    auto bytes = std::make_shared<std::vector<std::uint8_t>>();
    std::string error;
    if (!source.Read(k, *bytes, error)) {
      work.Add([name = names[k], error] { return TCheckedFrame{name, std::nullopt, error}; }, take);
      continue;
    }
    work.Add(
        [name = names[k], bytes] {
          TCheckedFrame frame{name, std::nullopt, {}};
          frame.Facts = MeasureFrame(*bytes, &frame.Error);
          return frame;
        },
        take);
  }
  work.Finish(take);
  if (!going) return TResult::Fail(TErrorCode::Cancelled, "the check was stopped");
  report = CheckFrames(market, frames);
  return {};
}

}  // namespace

std::string ReportTable(const TMarketplaceReport& report, std::size_t shown) {
  std::ostringstream out;
  const auto passed = std::count_if(report.Rules.begin(), report.Rules.end(),
                                    [](const TRuleCheck& r) { return r.Passed; });
  out << MarketplaceKey(report.For) << ": " << passed << " of " << report.Rules.size()
      << " rules passed\n";
  for (const TRuleCheck& rule : report.Rules) {
    out << (rule.Passed ? "  ok    " : "  FAIL  ") << rule.Rule << "\n";
    for (std::size_t k = 0; k < rule.Faults.size() && k < shown; ++k)
      out << "          " << rule.Faults[k] << "\n";
    if (rule.Faults.size() > shown)
      out << "          ... and " << rule.Faults.size() - shown << " more\n";
  }
  return out.str();
}

std::string ReportJson(const TMarketplaceReport& report) {
  std::ostringstream out;
  out << "{\"for\": " << JsonText(MarketplaceKey(report.For))
      << ", \"passed\": " << (report.Passed() ? "true" : "false") << ", \"rules\": [";
  for (std::size_t r = 0; r < report.Rules.size(); ++r) {
    const TRuleCheck& rule = report.Rules[r];
    out << (r ? ", " : "") << "{\"rule\": " << JsonText(rule.Rule)
        << ", \"passed\": " << (rule.Passed ? "true" : "false") << ", \"faults\": [";
    for (std::size_t k = 0; k < rule.Faults.size(); ++k)
      out << (k ? ", " : "") << JsonText(rule.Faults[k]);
    out << "]}";
  }
  out << "]}\n";
  return out.str();
}

}  // namespace kalvane
