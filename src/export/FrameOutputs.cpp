#include "export/FrameOutputs.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

#include "base/AppUtil.h"
#include "base/AtomicFile.h"
#include "base/MarkedFolder.h"
#include "base/Round.h"
#include "base/StagedFolder.h"
#include "export/ExportTexts.h"
#include "export/LayerToSwf.h"
#include "export/PageSetFolder.h"

namespace kalvane {

namespace fs = std::filesystem;

void SetOneSizeFrames(TLayerToSwf& exporter, int width, int longSide) {
  exporter.SetSwfWidth(longSide > 0 ? longSide : width);
  exporter.SetFrameShape({true, longSide});
  exporter.SetFrameFolder(GetTempFolder());
}

std::vector<int> PickFrames(int items, int count) {
  if (count <= 0 || count > items) count = items;
  std::vector<int> picked;
  for (long long k = 0; k < count; ++k)
    picked.push_back(static_cast<int>(k * items / count));
  return picked;
}

std::string FrameFileName(const std::string& pattern, const std::string& name, int index, int angle,
                          std::string* error) {
  const auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return std::string();
  };
  // A "\" is a folder on Windows and in a zip; a line break ends a name.
  if (HoldsBackslashOrControl(pattern)) {
    return fail("the name template \"" + ShownName(pattern) +
                "\" holds a \"\\\" or a control character, which no file name may hold");
  }
  std::string out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '}') return fail("a \"}\" without \"{\" in the name");
    if (pattern[i] != '{') {
      out += pattern[i];
      continue;
    }
    const std::size_t close = pattern.find('}', i);
    if (close == std::string::npos) return fail("a \"{\" without \"}\" in the name");
    const std::string field = pattern.substr(i + 1, close - i - 1);
    i = close;
    const std::size_t colon = field.find(':');
    const std::string key = field.substr(0, colon);
    const std::string spec = colon == std::string::npos ? "" : field.substr(colon + 1);
    if (colon != std::string::npos &&
        (key == "name" || spec.empty() || spec.size() > 2 ||
         !std::all_of(spec.begin(), spec.end(), [](char c) { return c >= '0' && c <= '9'; })))
      return fail("{" + field + "}: a number's width is one or two digits, as in {index:02}");
    if (key == "name") {
      if (HoldsBackslashOrControl(name)) {
        return fail("the project's name \"" + ShownName(name) +
                    "\" holds a \"\\\" or a control character, which no file name may hold; "
                    "rename the project file or leave {name} out of the name template");
      }
      out += name;
    } else if (key == "index" || key == "angle") {
      std::string number = std::to_string(key == "index" ? index : angle);
      const std::size_t width = spec.empty() ? 0 : std::stoul(spec);
      if (number.size() < width) number.insert(0, width - number.size(), '0');
      out += number;
    } else {
      return fail("{" + field + "}: the name knows {name}, {index} and {angle}");
    }
  }
  if (out.empty() || out == "." || out == ".." || out.find('/') != std::string::npos)
    return fail("\"" + out + "\" is not a file name");
  return out;
}

std::optional<TCanvas> ParseBackground(const std::string& text) {
  std::string t = text;
  for (char& c : t)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  TCanvas canvas;
  if (t == "white") return canvas;
  if (t == "transparent") {
    canvas.Transparent = true;
    return canvas;
  }
  if (t.size() != 7 || t[0] != '#' || !std::all_of(t.begin() + 1, t.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c));
      }))
    return std::nullopt;
  const auto byte = [&t](int at) {
    return static_cast<std::uint8_t>(
        std::stoi(t.substr(static_cast<std::size_t>(at), 2), nullptr, 16));
  };
  canvas.R = byte(1);
  canvas.G = byte(3);
  canvas.B = byte(5);
  return canvas;
}

std::optional<TImageFormat> ParseStillFormat(const std::string& format) {
  std::string text = format;
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (text == "jpg" || text == "jpeg") return TImageFormat::Jpeg;
  if (text == "png") return TImageFormat::Png;
  if (text == "webp") return TImageFormat::Webp;
  return std::nullopt;
}

const char* FormatExtension(TImageFormat format) {
  switch (format) {
    case TImageFormat::Jpeg:
      return ".jpg";
    case TImageFormat::Png:
      return ".png";
    case TImageFormat::Webp:
      return ".webp";
    case TImageFormat::Gif:
      return ".gif";
  }
  return "";
}

namespace {

// Each project's loose set notes its files in a mark of its own, so that
// sets of several projects share a folder; a zip is one file and needs none.
std::string SetMarkName(const TFrameSetRequest& r) {
  return r.Zip ? std::string() : ".kalvane-frames-" + r.Name;
}
constexpr const char* kSetMarkHeading =
    "# the frame set Kalvane wrote here for one project; its next set replaces it\n";

// The files of the set, by item index, and the reason when a name is bad.
std::map<int, std::string> SetNames(const TFrameSetRequest& r, int items, std::string& error) {
  std::map<int, std::string> names;
  const std::vector<int> picked = PickFrames(items, r.Count);
  std::map<std::string, int> seen;
  for (std::size_t k = 0; k < picked.size(); ++k) {
    const int item = picked[k];
    const int index = static_cast<int>(k) + 1;
    std::string name =
        FrameFileName(r.Pattern, r.Name, index, RoundInt(item * 360.0 / items), &error);
    if (name.empty()) return {};
    // A template that ends with the extension already keeps it once.
    std::string lower = name;
    for (char& c : lower)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!lower.ends_with(FormatExtension(r.Format))) name += FormatExtension(r.Format);
    if (const auto [at, added] = seen.emplace(name, index); !added) {
      error = "frames " + std::to_string(at->second) + " and " + std::to_string(index) +
              " would both be " + name + "; put {index} or {angle} in the name";
      return {};
    }
    names[item] = name;
  }
  return names;
}

TMadeFrame CutFrame(const TImageTrimToJpeg& trimmer, const TFramePlan& frame) {
  TMadeFrame made{{}, trimmer.MakeFrameImage(frame)};
  if (made.Image.IsEmpty())
    made.Result.SetFailure(TErrorCode::Unreadable, made.Image.Error());
  else
    made.Result.Warning = made.Image.Warning();
  return made;
}

// Each frame as a still file in the folder the set is made in.
class TStillFileSink : public TFrameSink {
 public:
  TStillFileSink(const TFrameSetRequest& request, std::string folder,
                 std::map<int, std::string> names, TCanvas canvas)
      : Request(request), Folder(std::move(folder)), Names(std::move(names)), Canvas(canvas) {}
  TMadeFrame Make(const TFramePlan& frame) const override {
    TMadeFrame made = CutFrame(Trimmer, frame);
    if (made.Result.Ok()) {
      const TResult saved = Save(Names.at(frame.Index), made.Image);
      if (!saved.Ok()) static_cast<TResult&>(made.Result) = saved;
      made.Image = {};
    }
    return made;
  }
  void Take(const TFramePlan& frame, TMadeFrame&) override {
    Written.push_back(Names.at(frame.Index));
  }
  std::vector<std::string> Written;  // in order

 private:
  // At the request's quality, or the highest below it that keeps the
  // file within MaxBytes (file sizes grow with the quality).
  TResult Save(const std::string& name, const TIKImage& image) const {
    const std::string path = Folder + name;
    auto saveAt = [&](int quality) {
      return IKSaveStill(path, image, Request.Format, quality, Canvas);
    };
    TResult saved = saveAt(Request.Quality);
    const bool lossy = Request.Format == TImageFormat::Jpeg || Request.Format == TImageFormat::Webp;
    auto fits = [&] { return GetFileSizeOf(path) <= static_cast<std::int64_t>(Request.MaxBytes); };
    if (!saved.Ok() || Request.MaxBytes == 0 || !lossy || fits()) return saved;
    int low = kLeastFitQuality, high = Request.Quality - 1;
    if (low > high || !(saved = saveAt(low)).Ok()) return saved;
    if (!fits()) {
      return TResult::Fail(TErrorCode::WriteFailed,
                           name + ": " + std::to_string(GetFileSizeOf(path)) +
                               " bytes at quality " + std::to_string(low) + ", more than the " +
                               std::to_string(Request.MaxBytes) + " allowed");
    }
    // The highest quality in (low, high] that fits; low fits.
    while (low < high) {
      const int mid = (low + high + 1) / 2;
      if (!(saved = saveAt(mid)).Ok()) return saved;
      if (fits())
        low = mid;
      else
        high = mid - 1;
    }
    return fits() ? saved : saveAt(low);
  }

  const TImageTrimToJpeg Trimmer{};
  const TFrameSetRequest& Request;
  std::string Folder;
  std::map<int, std::string> Names;
  TCanvas Canvas;
};

TResult MakeZip(const std::string& path, const std::string& folder,
                const std::vector<std::string>& names) {
  int error = 0;
  zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  const auto failed = [&path](const std::string& why) {
    return TResult::Fail(TErrorCode::WriteFailed, path + ": cannot write the zip (" + why + ")");
  };
  if (!zip) {
    zip_error_t e;
    zip_error_init_with_code(&e, error);
    const std::string why = zip_error_strerror(&e);
    zip_error_fini(&e);
    return failed(why);
  }
  for (const std::string& name : names) {
    zip_source_t* source = zip_source_file(zip, (folder + name).c_str(), 0, 0);
    const zip_int64_t at =
        source ? zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) : -1;
    if (at < 0) {
      if (source) zip_source_free(source);
      const std::string why = zip_strerror(zip);
      zip_discard(zip);
      return failed(why);
    }
    // The pictures are compressed already.
    zip_set_file_compression(zip, static_cast<zip_uint64_t>(at), ZIP_CM_STORE, 0);
  }
  if (zip_close(zip) != 0) {
    const std::string why = zip_strerror(zip);
    zip_discard(zip);
    return failed(why);
  }
  return {};
}

}  // namespace

TResult CheckFrameSet(const TFrameSetRequest& r, int items) {
  const auto bad = [](const std::string& why) {
    return TResult::Fail(TErrorCode::BadSetting, why);
  };
  if (r.Count < 0) return bad("a set needs at least one frame");
  if (items <= 0) return TResult::Fail(TErrorCode::NoItems, "the project has no photos");
  if (r.Count > items) {
    return bad("a set of " + std::to_string(r.Count) +
               " frames needs as many photos; the project has " + std::to_string(items));
  }
  if (r.Background.Transparent && r.Format == TImageFormat::Jpeg)
    return bad("JPEG cannot be transparent; use png or webp for a transparent background");
  if (r.Format == TImageFormat::Gif) return bad("a frame set is jpg, png or webp");
  if (r.MaxBytes > 0 && r.Format == TImageFormat::Png)
    return bad("a size limit lowers the quality of jpg and webp frames; png is lossless");
  std::string error;
  const std::map<int, std::string> names = SetNames(r, items, error);
  if (names.empty()) return bad(error);
  // The project's name names the zip or the set's mark.
  if (const std::string fault = OutputNameFault(r.Name); !fault.empty())
    return bad("the project's name \"" + ShownName(r.Name) + "\" cannot name the set: " + fault);
  if (const TResult place =
          TPageSetFolder(r.Folder).CheckPlace(GetTemplateFolder(), "", "frame set");
      !place.Ok())
    return place;
  std::error_code ec;
  if (fs::exists(r.Folder, ec) && !fs::is_directory(r.Folder, ec))
    return TResult::Fail(TErrorCode::WriteFailed, r.Folder + ": is a file, not a folder");
  // What is where the set's files go, and the earlier set that goes: a
  // folder there or a write-protected file stops it before any frame.
  const TMarkedFolder target(r.Folder, SetMarkName(r), kSetMarkHeading);
  std::vector<std::string> places;
  if (r.Zip) {
    places.push_back(r.Name + ".zip");
  } else {
    for (const auto& [item, name] : names)
      places.push_back(name);
    places.push_back(target.MarkName());
    for (const std::string& name : target.Earlier())
      places.push_back(name);
  }
  return target.CheckEntries(places);
}

TExportResult WriteFrameSet(const TExportPlan& plan, const TFrameSetRequest& request,
                            IProgress* progress, const std::atomic<bool>* cancel) {
  TExportResult result;
  const int items = static_cast<int>(plan.Frames.size());
  if (const TResult checked = CheckFrameSet(request, items); !checked.Ok()) {
    static_cast<TResult&>(result) = checked;
    return result;
  }
  std::string error;
  std::map<int, std::string> names = SetNames(request, items, error);
  std::vector<TFramePlan> frames;
  for (const auto& [item, name] : names)
    frames.push_back(plan.Frames[static_cast<std::size_t>(item)]);

  TCanvas canvas = request.Background;
  result.Width = plan.Width;
  result.Height = plan.Height;
  if (request.Square) result.Width = result.Height = std::max(plan.Width, plan.Height);
  canvas.Width = result.Width;
  canvas.Height = result.Height;

  TStagedFolder stage(request.Folder, SetMarkName(request), kSetMarkHeading);
  if (!stage.Ok()) {
    result.SetFailure(TErrorCode::WriteFailed, stage.Error());
    return result;
  }
  TExportProgress shown(progress, static_cast<int>(frames.size()), cancel != nullptr);
  TStillFileSink sink(request, stage.Folder(), std::move(names), canvas);
  const int width = result.Width, height = result.Height;
  result = RunFramePipeline(frames, sink, {&shown, cancel, false, &plan.Unusable});
  result.Width = width;
  result.Height = height;
  if (!result.Ok()) return result;
  std::vector<std::string> placed = sink.Written;
  if (request.Zip) {
    const std::string zip = request.Name + ".zip";
    if (const TResult zipped = MakeZip(stage.Folder() + zip, stage.Folder(), placed);
        !zipped.Ok()) {
      static_cast<TResult&>(result) = zipped;
      return result;
    }
    for (const std::string& name : placed)
      std::remove((stage.Folder() + name).c_str());
    placed = {zip};
  }
  // On failure too, the files that are in place are named.
  const TResult moved = stage.MoveIn(placed);
  for (int i = 0; i < stage.Placed(); ++i)
    result.Frames.push_back(WithTrailingSlash(request.Folder) +
                            placed[static_cast<std::size_t>(i)]);
  if (!moved.Ok()) static_cast<TResult&>(result) = moved;
  return result;
}

}  // namespace kalvane
