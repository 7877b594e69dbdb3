#include "export/ShopPresets.h"

#include <algorithm>
#include <filesystem>

#include "project/IniFile.h"

namespace kalvane {

namespace {

constexpr const char* kSection = "shopexport";

std::string KeyOf(const TShopPreset& preset, const char* field) {
  return preset.Key + "." + field;
}

void ReadInt(const TIniFile& file, const TShopPreset& p, const char* field, int low, int high,
             int& value) {
  const int read = file.ReadInteger(kSection, KeyOf(p, field), value);
  if (read >= low && read <= high) value = read;
}

void ReadText(const TIniFile& file, const TShopPreset& p, const char* field,
              bool (*valid)(const std::string&), std::string& value) {
  const std::optional<std::string> read = file.Read(kSection, KeyOf(p, field));
  if (read && valid(*read)) value = *read;
}

bool AnyText(const std::string& text) {
  return !text.empty();
}
bool StillFormat(const std::string& text) {
  return ParseStillFormat(text).has_value();
}
bool Background(const std::string& text) {
  return ParseBackground(text).has_value();
}
bool MovingFormat(const std::string& text) {
  return text == "webp" || text == "gif";
}
bool VideoFormat(const std::string& text) {
  return text == "mp4" || text == "webm";
}

void ReadFloat(const TIniFile& file, const TShopPreset& p, const char* field, double low,
               double high, double& value) {
  const double read = file.ReadFloat(kSection, KeyOf(p, field), value);
  if (read >= low && read <= high) value = read;
}

}  // namespace

std::vector<TShopPreset> DefaultShopPresets() {
  TShopPreset amazon;
  amazon.Key = "amazon";
  amazon.Count = 72;
  amazon.Size = 2000;
  amazon.Square = true;
  amazon.Quality = 90;
  amazon.Zip = true;
  // Walmart takes exactly 24 frames of at most 1.5 MB each.
  TShopPreset walmart = amazon;
  walmart.Key = "walmart";
  walmart.Count = 24;
  walmart.Zip = false;
  walmart.MaxBytes = 1'500'000;
  TShopPreset spin;
  spin.Key = "spin";
  spin.Size = 1000;
  spin.Name = "{index:03}";
  TShopPreset animation;
  animation.Key = "animation";
  animation.Kind = TShopPreset::TKind::Animation;
  // The same MP4 serves Google's and eBay's listings, so it lasts Google's
  // shortest 6 s; the WebP is one turn shown for ever.
  TShopPreset shopify;
  shopify.Key = "shopify";
  shopify.Kind = TShopPreset::TKind::Video;
  shopify.Width = 1080;
  shopify.MinSeconds = 6;
  shopify.WithWebp = true;
  TShopPreset video = shopify;
  video.Key = "video";
  video.WithWebp = false;
  // Walmart's came last, so the others keep their places.
  return {amazon, spin, shopify, video, animation, walmart};
}

std::vector<int> MarketplaceCounts(const TShopPreset& preset) {
  if (preset.Key == "amazon") return {72, 48, 24};
  if (preset.Key == "walmart") return {24};
  return {};
}

std::optional<TMarketplace> PresetMarketplace(const TShopPreset& preset) {
  if (preset.Kind != TShopPreset::TKind::FrameSet) return std::nullopt;
  if (preset.Key == "amazon") return TMarketplace::Amazon;
  if (preset.Key == "walmart") return TMarketplace::Walmart;
  return std::nullopt;
}

std::vector<int> PossibleCounts(const TShopPreset& preset, int items) {
  std::vector<int> counts = MarketplaceCounts(preset);
  std::erase_if(counts, [items](int count) { return count > items; });
  return counts;
}

int ShopFrameCount(const TShopPreset& preset, int items) {
  if (preset.Count <= items) return preset.Count;
  const std::vector<int> possible = PossibleCounts(preset, items);
  return possible.empty() ? items : possible.front();
}

void LoadShopPresets(const TIniFile& file, std::vector<TShopPreset>& presets, int& selected) {
  selected = file.ReadInteger(kSection, "Selected", 0);
  if (selected < 0 || selected >= static_cast<int>(presets.size())) selected = 0;
  // The preset's key outlasts a new preset put before it in the list.
  if (const std::optional<std::string> key = file.Read(kSection, "SelectedKey")) {
    for (std::size_t i = 0; i < presets.size(); ++i)
      if (presets[i].Key == *key) selected = static_cast<int>(i);
  }
  for (TShopPreset& p : presets) {
    if (p.Kind == TShopPreset::TKind::FrameSet) {
      ReadInt(file, p, "Count", 0, 100000, p.Count);
      ReadInt(file, p, "Size", 0, TSwfExportWidth::kMaximum, p.Size);
      int square = p.Square ? 1 : 0;
      ReadInt(file, p, "Square", 0, 1, square);
      p.Square = square != 0;
      ReadText(file, p, "Background", Background, p.Background);
      ReadText(file, p, "Format", StillFormat, p.Format);
      ReadInt(file, p, "Quality", 1, 100, p.Quality);
      ReadText(file, p, "Name", AnyText, p.Name);
      int zip = p.Zip ? 1 : 0;
      ReadInt(file, p, "Zip", 0, 1, zip);
      p.Zip = zip != 0;
      int maxBytes = static_cast<int>(p.MaxBytes);
      ReadInt(file, p, "MaxBytes", 0, 1 << 30, maxBytes);
      p.MaxBytes = static_cast<std::uint64_t>(maxBytes);
    } else if (p.Kind == TShopPreset::TKind::Video) {
      ReadInt(file, p, "Width", 1, TSwfExportWidth::kMaximum, p.Width);
      ReadFloat(file, p, "Fps", 1e-3, kVideoMaxFps, p.Fps);
      ReadFloat(file, p, "MinSeconds", 0, kVideoMaxSeconds, p.MinSeconds);
      ReadInt(file, p, "Quality", 0, 100, p.VideoQuality);
      // Shopify's pair is always an MP4.
      if (!p.WithWebp) ReadText(file, p, "Format", VideoFormat, p.VideoFormat);
    } else {
      ReadInt(file, p, "Width", 1, TSwfExportWidth::kMaximum, p.Width);
      ReadFloat(file, p, "Fps", 1e-3, 100, p.Fps);
      ReadInt(file, p, "Loop", 0, 65535, p.Loops);
      ReadText(file, p, "Format", MovingFormat, p.AnimationFormat);
    }
  }
}

void SaveShopPresets(TIniFile& file, const std::vector<TShopPreset>& presets, int selected) {
  file.WriteInteger(kSection, "Selected", selected);
  if (selected >= 0 && selected < static_cast<int>(presets.size()))
    file.Write(kSection, "SelectedKey", presets[static_cast<std::size_t>(selected)].Key);
  for (const TShopPreset& p : presets) {
    if (p.Kind == TShopPreset::TKind::FrameSet) {
      file.WriteInteger(kSection, KeyOf(p, "Count"), p.Count);
      file.WriteInteger(kSection, KeyOf(p, "Size"), p.Size);
      file.WriteInteger(kSection, KeyOf(p, "Square"), p.Square ? 1 : 0);
      file.Write(kSection, KeyOf(p, "Background"), p.Background);
      file.Write(kSection, KeyOf(p, "Format"), p.Format);
      file.WriteInteger(kSection, KeyOf(p, "Quality"), p.Quality);
      file.Write(kSection, KeyOf(p, "Name"), p.Name);
      file.WriteInteger(kSection, KeyOf(p, "Zip"), p.Zip ? 1 : 0);
      file.WriteInteger(kSection, KeyOf(p, "MaxBytes"), static_cast<int>(p.MaxBytes));
    } else if (p.Kind == TShopPreset::TKind::Video) {
      file.WriteInteger(kSection, KeyOf(p, "Width"), p.Width);
      file.WriteFloat(kSection, KeyOf(p, "Fps"), p.Fps);
      file.WriteFloat(kSection, KeyOf(p, "MinSeconds"), p.MinSeconds);
      file.WriteInteger(kSection, KeyOf(p, "Quality"), p.VideoQuality);
      if (!p.WithWebp) file.Write(kSection, KeyOf(p, "Format"), p.VideoFormat);
    } else {
      file.WriteInteger(kSection, KeyOf(p, "Width"), p.Width);
      file.WriteFloat(kSection, KeyOf(p, "Fps"), p.Fps);
      file.WriteInteger(kSection, KeyOf(p, "Loop"), p.Loops);
      file.Write(kSection, KeyOf(p, "Format"), p.AnimationFormat);
    }
  }
}

TResult MakeShopRequest(const TShopPreset& preset, const std::string& output,
                        const std::string& project, TExportRequest& request) {
  const auto bad = [](const std::string& why) {
    return TResult::Fail(TErrorCode::BadSetting, why);
  };
  request = {};
  request.Output = output;
  if (preset.Kind == TShopPreset::TKind::Animation) {
    request.Kind = TExportKind::Animation;
    request.Width = std::clamp(preset.Width, 1, TSwfExportWidth::kMaximum);
    if (!(preset.Fps > 0)) return bad("the rate must be above 0 frames a second");
    request.Animation.Fps = preset.Fps;
    request.Animation.Loops = preset.Loops;
    return {};
  }
  if (preset.Kind == TShopPreset::TKind::Video) {
    request.Kind = TExportKind::Video;
    request.Width = std::clamp(preset.Width, 1, TSwfExportWidth::kMaximum);
    if (!VideoFormat(preset.VideoFormat)) return bad("a video is mp4 or webm");
    if (request.Width % 2 != 0) return bad("a video's width is even");
    // A video's extension typed in the name wins over the chosen format
    // (name.webm is a WebM); Shopify's pair is always an MP4. Any other
    // extension is kept and the format's added.
    const std::optional<TVideoCodec> named = VideoCodecOf(output);
    const bool webm =
        !preset.WithWebp && (named ? *named == TVideoCodec::Vp9 : preset.VideoFormat == "webm");
    const TVideoCodec codec = webm ? TVideoCodec::Vp9 : TVideoCodec::H264;
    const char* ext = webm ? ".webm" : ".mp4";
    std::filesystem::path file(output);
    if (named && *named != codec)
      file.replace_extension(ext);
    else if (!named)
      file += ext;
    request.Output = file.string();
    TVideoRequest& video = request.Video;
    video.Output = request.Output;
    video.Codec = codec;
    video.Fps = preset.Fps;
    video.MinSeconds = preset.MinSeconds;
    video.Quality = preset.VideoQuality;
    if (const TResult checked = CheckVideoRequest(video); !checked.Ok()) return checked;
    if (preset.WithWebp) {
      request.Animation.Output = file.replace_extension(".webp").string();
      request.Animation.Format = TImageFormat::Webp;
      request.Animation.Fps = preset.Fps;
    }
    return {};
  }
  request.Kind = TExportKind::FrameSet;
  request.LongSide = preset.Size;
  TFrameSetRequest& set = request.Set;
  set.Folder = output;
  set.Name = project;
  set.Count = preset.Count;
  set.Square = preset.Square;
  const std::optional<TCanvas> background = ParseBackground(preset.Background);
  if (!background) return bad("the background is white, #RRGGBB or transparent");
  set.Background = *background;
  const std::optional<TImageFormat> format = ParseStillFormat(preset.Format);
  if (!format) return bad("a frame set is jpg, png or webp");
  set.Format = *format;
  set.Quality = preset.Quality;
  set.Pattern = preset.Name;
  set.Zip = preset.Zip;
  set.MaxBytes = preset.MaxBytes;
  if (set.MaxBytes > 0 && set.Format == TImageFormat::Png)
    return bad("a size limit lowers the quality of jpg and webp frames; png is lossless");
  request.CheckFor = PresetMarketplace(preset);
  return {};
}

}  // namespace kalvane
