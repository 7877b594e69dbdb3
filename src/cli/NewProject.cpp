// kalvane-cli new: a project made from photos without the editor.
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "base/AppUtil.h"
#include "cli/BatchDialogs.h"
#include "cli/CliView.h"
#include "cli/CommandSteps.h"
#include "cli/Commands.h"
#include "export/SwfList.h"
#include "project/IniFile.h"
#include "project/LoadThread.h"
#include "project/ProjectDocument.h"
#include "project/ProjectFile.h"

namespace kalvane::cli {

namespace fs = std::filesystem;

namespace {

// The loader's summary box says what each photo's line says again; the
// command names the photos itself, one a line.
class TQuietDialogs : public TBatchDialogs {
 public:
  TQuietDialogs() : TBatchDialogs("") {}
  void Warn(const std::string&, const std::string&) override {}
};

// The output must not be one of the photos: a project written over a photo
// would lose it.
bool IsOneOf(const std::string& output, const std::vector<std::string>& files) {
  std::error_code ec;
  if (!fs::exists(output, ec)) return false;
  for (const std::string& file : files) {
    if (fs::equivalent(output, file, ec)) return true;
  }
  return false;
}

// The path from the root, as the editor stores its photos: a project is
// opened from other folders than the one it was made in. "." steps are
// dropped; ".." ones are kept, as a link before them may lead elsewhere.
std::string FromRoot(const std::string& path) {
  std::error_code ec;
  const fs::path whole = fs::absolute(path, ec);
  if (ec) return path;
  for (const fs::path& step : whole) {
    if (step == "..") return whole.string();
  }
  return whole.lexically_normal().string();
}

}  // namespace

int New(const std::vector<std::string>& args) {
  TCommandLine line;
  std::vector<std::string> inputs;
  std::string output, rotateText, boxText;
  bool align = false;
  line.Arguments(inputs);
  line.Value("-o,--output", output, "a file name");
  line.Flag("--align", align);
  line.Value("--rotate", rotateText, "90, 180 or 270");
  line.Value("--box", boxText, "L,T,R,B");
  if (const auto rc = line.Parse(args)) return *rc;

  int quarterTurns = 0;
  if (line.Given("--rotate")) {
    const std::optional<int> degrees = WholeNumber(rotateText, 90, 270);
    if (!degrees || *degrees % 90 != 0)
      return BadUsage("--rotate takes 90, 180 or 270 (degrees, counter-clockwise)");
    quarterTurns = *degrees / 90;
  }
  TRelBox box = kDefaultRelBox;
  if (line.Given("--box")) {
    const std::optional<TFractionBox> b = FractionBox(boxText);
    if (!b) {
      return BadUsage(
          "--box takes L,T,R,B: fractions of the image from 0 to 1, left < right, top < bottom");
    }
    box = {b->Left, b->Top, b->Right, b->Bottom};
  }
  if (inputs.empty()) return BadUsage("new needs photos or folders of photos");
  if (output.empty()) return BadUsage("new needs -o PROJECT.vpj");

  std::vector<std::string> files;
  if (!CollectPhotos(inputs, true, files)) return kFailed;
  return MakeProject(std::move(files), {quarterTurns, box, align}, output);
}

int MakeProject(std::vector<std::string> files, const TNewProject& how, const std::string& output) {
  if (files.empty()) return Fail("no image files (.bmp .jpg .gif .png .tif) to make a project of");
  // Refused before a photo is read: a project the movie exports refuse.
  if (files.size() > static_cast<std::size_t>(TSwfList::kMaxFrames)) {
    return Fail(std::to_string(files.size()) + " photos: a project's movie holds at most " +
                std::to_string(TSwfList::kMaxFrames) + " frames; no project written");
  }
  for (std::string& file : files)
    file = FromRoot(file);
  if (IsOneOf(output, files))
    return Fail(output + ": is one of the photos; a project is not written over it");
  if (RefusedOutput(output)) return kFailed;

  TCliView view;
  TProjectDocument document(&view);
  // Without alignment only the photos' sizes are needed: their headers.
  document.LayerItems().SetDisplayCopies(how.Align);
  TQuietDialogs dialogs;
  TPrjItemLoadThread loader;
  loader.SetMainWindow(&document);
  loader.SetDialogs(&dialogs);
  loader.SetFiles(files);
  loader.Run();
  if (!loader.Failure().empty()) return Fail(loader.Failure());
  if (!loader.Rejected().empty()) {
    for (const TRejectedFile& rejected : loader.Rejected())
      std::cerr << "kalvane-cli: " << rejected.Reason << "\n";
    return Fail(std::to_string(loader.Rejected().size()) + " of " + std::to_string(files.size()) +
                " photos could not be taken; no project written");
  }

  // Turned before the offsets are measured, by the editor's own commands:
  // the offsets belong to the turned pictures.
  if (how.QuarterTurns != 0) document.RotateAll(how.QuarterTurns * 9000);
  document.SetBox(how.Box);
  if (how.Align) {
    const TAlignReport report = AlignItems(document, TAlignRegion{});
    std::printf("aligned %zu items in %.2f s (%d kept their offsets)\n", report.Items,
                report.Seconds, report.Untrusted);
  }
  TPrjSave save;
  save.SetMainWindow(&document);
  if (const TResult saved = save.Save(output); !saved.Ok()) return Fail(saved.Error);
  const TRelBox kept = document.TrimRelBox();
  std::printf("wrote %s: %d photos, rotation %d, trimming box %s %s %s %s\n", output.c_str(),
              document.LayerItems().Count(), document.Rotation(), FormatReal(kept.p1x).c_str(),
              FormatReal(kept.p1y).c_str(), FormatReal(kept.p2x).c_str(),
              FormatReal(kept.p2y).c_str());
  return kDone;
}

}  // namespace kalvane::cli
