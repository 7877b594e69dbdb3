#include "export/SwfList.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/AppUtil.h"
#include "base/AtomicFile.h"
#include "base/Round.h"
#include "base/RunProgram.h"
#include "swf/FlashMovie.h"
#include "swf/SwfCombine.h"
#include "swf/SwfReader.h"

namespace kalvane {

void TSwfList::SetSwfWidth(std::int32_t w) {
  if (w > 0) FrameWidth = w;
}

void TSwfList::SetSwfHeight(std::int32_t h) {
  if (h > 0) FrameHeight = h;
}

// Measured here: jpeg2swf took 14 s for 1000 frames of 160 x 2400 (the
// tallest a phone's frames get), 14 ms a frame; swfcombine only copies.
// A tenth of a second a frame leaves seven times that.
int TSwfList::ToolSeconds(int frames) {
  return 20 + std::max(frames, 0) / 10;
}

int TSwfList::FrameCount(double t) {
  const int frames = RoundInt(t * 1.0);
  return frames == 0 ? 1 : frames;
}

TResult TSwfList::MakePcSwf(const std::string& fileName) const {
  if (Files.empty()) return TResult::Fail(TErrorCode::NoItems, "there are no frames to write");
  if (Count() > kMaxFrames) {
    return TResult::Fail(
        TErrorCode::TooManyItems,
        std::to_string(Count()) + " frames: a movie holds at most " + std::to_string(kMaxFrames));
  }
  try {
    TFlashMovie movie(0, 0, 20 * FrameWidth, 20 * FrameHeight, 1.0, false);
    movie.SetSwfVersion(6);
    movie.SetPixelUnits(true);
    std::vector<TFlashShape*> shapes;
    shapes.reserve(Files.size());
    for (const std::string& file : Files) {
      TFlashImage* image = movie.AddImageFromFile(file);
      TFlashShape* shape = movie.AddRectShape(0, 0, FrameWidth, FrameHeight);
      shape->SetBitmapFill(*image, 1, 1.0, 1.0);
      shapes.push_back(shape);
    }
    for (std::size_t i = 0; i < shapes.size(); ++i) {
      TFlashPlaceObject* place = movie.PlaceObject(shapes[i], 1);
      if (i > 0) place->SetMove(true);
      movie.ShowFrame(FrameCount(1.0));
    }
    movie.BuildBody();
    movie.SaveToFile(fileName);
  } catch (const TSwfError& e) {
    return TResult::Fail(TErrorCode::WriteFailed, e.what());
  }
  return {};
}

namespace {

// The tools' settings: 3 frames a second at JPEG quality 72.
constexpr const char* kMobileRate = "3";
constexpr const char* kMobileQuality = "72";
constexpr const char* kMobilePlace = "loadRect_mc=";

// Template is the installed master movie; Master its copy with a stage
// the size of the frames, which the combiner is given.
struct TMobilePaths {
  std::string Jpeg2Swf, SwfCombine, Template, Master, Slide, Combined, Script, Log, Output;
};

TMobilePaths MobilePaths(const std::string& fileName, const TMobileKit& kit,
                         const std::string& workFolder) {
  const std::string tools = WithTrailingSlash(kit.ToolFolder);
  const std::string data = WithTrailingSlash(kit.DataFolder);
  const std::string work = WithTrailingSlash(workFolder);
  std::error_code ec;
  const std::string output = std::filesystem::absolute(fileName, ec).string();
  return {tools + "jpeg2swf",  tools + "swfcombine", data + "template_m/velmobile.swf",
          work + "motmp0.swf", work + "motmp1.swf",  work + "motmp2.swf",
          work + "motmp.bat",  work + "motmp.log",   output.empty() ? fileName : output};
}

// The combiner's exit status alone is not believed: its output must be a
// movie whose loadRect_mc plays every frame. It writes into the work
// folder; only a movie that passes replaces the user's file, so a failing
// or lying combiner never costs the last good export.
TResult CheckCombined(const std::string& combined, const std::string& output, int frames) {
  const auto failed = [](const std::string& why) {
    return TResult::Fail(TErrorCode::ToolFailed, "swfcombine reported success but " + why);
  };
  std::error_code ec;
  if (!std::filesystem::is_regular_file(combined, ec))
    return failed("wrote no movie (" + output + " was left as it was)");
  try {
    const unsigned shown = SpriteFrames(TSwfFile::Read(combined), "loadRect_mc");
    if (shown == static_cast<unsigned>(frames)) return {};
    return failed("wrote a movie of " + std::to_string(shown) + " frames, not " +
                  std::to_string(frames) + " (" + output + " was left as it was)");
  } catch (const TSwfError& e) {
    return failed("wrote no readable movie (" + output +
                  " was left as it was): " + std::string(e.what()));
  }
}

// The checked movie as the new content of the user's file.
TResult CopyInto(TAtomicFile& target, const std::string& from) {
  std::ifstream in(from, std::ios::binary);
  char buffer[1 << 16];
  while (in) {
    in.read(buffer, sizeof buffer);
    for (std::streamsize done = 0; done < in.gcount();) {
      const ssize_t n =
          write(target.Handle(), buffer + done, static_cast<std::size_t>(in.gcount() - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        return TResult::Fail(TErrorCode::WriteFailed, "the movie cannot be written (" +
                                                          std::string(std::strerror(errno)) + ")");
      }
      done += n;
    }
  }
  if (in.bad()) return TResult::Fail(TErrorCode::WriteFailed, from + ": cannot be read");
  if (!target.Commit()) return TResult::Fail(TErrorCode::WriteFailed, target.Error());
  return {};
}

}  // namespace

std::vector<std::string> TSwfList::MobileCommandLines(const std::string& fileName,
                                                      const TMobileKit& kit,
                                                      const std::string& workFolder) const {
  const TMobilePaths p = MobilePaths(fileName, kit, workFolder);
  std::string first = QuoteText(p.Jpeg2Swf) + " -r " + kMobileRate + " -q " + kMobileQuality +
                      " -o " + QuoteText(p.Slide) + " ";
  for (const std::string& frame : Files)
    first += " " + QuoteText(frame);
  const std::string second = QuoteText(p.SwfCombine) + " -o " + QuoteText(p.Output) + " " +
                             QuoteText(p.Master) + " " + kMobilePlace + QuoteText(p.Slide);
  return {first, second};
}

TResult TSwfList::MakeMobileSwf(const std::string& fileName, const TMobileKit& kit,
                                const std::string& workFolder,
                                const std::atomic<bool>* cancel) const {
  if (Files.empty()) return TResult::Fail(TErrorCode::NoItems, "there are no frames to write");
  if (Count() > kMaxFrames) {
    return TResult::Fail(
        TErrorCode::TooManyItems,
        std::to_string(Count()) + " frames: a movie holds at most " + std::to_string(kMaxFrames));
  }
  const TMobilePaths p = MobilePaths(fileName, kit, workFolder);
  for (const std::string& needed : {p.Jpeg2Swf, p.SwfCombine, p.Template}) {
    if (!std::filesystem::is_regular_file(needed)) {
      return TResult::Fail(TErrorCode::ToolFailed,
                           needed + ": missing; the mobile export needs it beside the program");
    }
  }
  // The output's place is tried before the tools run: a folder, or a
  // write-protected file, is refused as every export refuses it.
  TAtomicFile target(p.Output);
  if (!target.Ok()) return TResult::Fail(TErrorCode::WriteFailed, target.Error());
  std::remove(p.Master.c_str());
  std::remove(p.Slide.c_str());
  std::remove(p.Combined.c_str());
  std::remove(p.Script.c_str());
  // The installed master's stage is square; a box taller than wide would
  // lose its lower part there, so the stage takes the frames' size.
  try {
    TSwfFile master = TSwfFile::Read(p.Template);
    master.SetStage({0, 0, 20 * FrameWidth, 20 * FrameHeight});
    master.Save(p.Master);
  } catch (const TSwfError& e) {
    return TResult::Fail(TErrorCode::ToolFailed, e.what());
  }
  {  // for the record: what the two programs are run with
    std::ofstream script(p.Script, std::ios::binary);
    for (const std::string& line : MobileCommandLines(fileName, kit, workFolder))
      script << line << "\r\n";
    if (!script) return TResult::Fail(TErrorCode::WriteFailed, p.Script + ": cannot be written");
  }
  std::vector<std::string> slides = {p.Jpeg2Swf,     "-r", kMobileRate, "-q",
                                     kMobileQuality, "-o", p.Slide};
  slides.insert(slides.end(), Files.begin(), Files.end());
  TResult made = RunProgram(slides, p.Log, ToolSeconds(Count()), cancel);
  if (made.Ok()) {
    made = RunProgram({p.SwfCombine, "-o", p.Combined, p.Master, kMobilePlace + p.Slide}, p.Log,
                      ToolSeconds(Count()), cancel);
    if (made.Ok()) made = CheckCombined(p.Combined, p.Output, Count());
    if (made.Ok()) made = CopyInto(target, p.Combined);
  }
  if (!made.Ok() && made.Code != TErrorCode::Cancelled) made.Code = TErrorCode::ToolFailed;
  return made;
}

}  // namespace kalvane
