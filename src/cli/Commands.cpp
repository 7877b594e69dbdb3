#include "cli/Commands.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "cli/CliWindow.h"
#include "export/LayerToSwf.h"
#include "imaging/AppUtil.h"
#include "project/LoadThread.h"
#include "project/ProjectFile.h"

namespace kalvane::cli {

namespace fs = std::filesystem;

namespace {

int Fail(const std::string& message) {
  std::cerr << "kalvane-cli: " << message << "\n";
  return kFailed;
}

int BadUsage(const std::string& message) {
  std::cerr << "kalvane-cli: " << message << "\n(see kalvane-cli --help)\n";
  return kUsage;
}

// Image files named on the command line, folders expanded in name order.
bool CollectImages(const std::vector<std::string>& args, std::vector<std::string>& files) {
  for (const std::string& arg : args) {
    std::error_code ec;
    if (fs::is_directory(arg, ec)) {
      std::vector<std::string> names = ListFiles(arg);
      std::sort(names.begin(), names.end());
      const std::string folder = arg.back() == '/' ? arg : arg + "/";
      for (const std::string& name : names) {
        if (IsImageFile(name)) files.push_back(folder + name);
      }
    } else if (fs::exists(arg, ec)) {
      files.push_back(arg);
    } else {
      std::cerr << "kalvane-cli: " << arg << ": no such file or folder\n";
      return false;
    }
  }
  return true;
}

bool ReadableFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

}  // namespace

int Load(std::vector<std::string> args) {
  if (args.empty()) args.push_back(GetAppFolder() + "samples/turntable");
  std::vector<std::string> files;
  if (!CollectImages(args, files)) return kFailed;
  if (files.empty()) return Fail("no image files (.bmp .jpg .gif .png .tif) to load");

  const auto start = std::chrono::steady_clock::now();
  TCliWindow window;
  TBatchDialogs dialogs("");
  TPrjItemLoadThread loader;
  loader.SetMainWindow(&window);
  loader.SetDialogs(&dialogs);
  loader.SetFiles(files);
  loader.Run();
  TLayerManagement& items = window.LayerItems();
  items.Render();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  for (const TRejectedFile& rejected : loader.Rejected()) {
    std::cerr << "kalvane-cli: " << rejected.Reason << "\n";
  }
  std::printf("items: %d (not registered: %d)\n", items.Count(), loader.GetRejectedCount());
  std::printf("item scale: %.6g\n", items.GetItemScale());
  for (int i = 0; i < items.Count(); ++i) {
    const TLayerItemObject* item = items.GetItem(i);
    const TBitmap24* display = item->GetDisplayBitmap();
    std::printf("  %3d  %-32s %4d x %-4d\n", i, item->GetItemName().c_str(), display->Width(),
                display->Height());
  }
  std::printf("work bitmap: %d x %d\n", window.WorkBitmap().Width(), window.WorkBitmap().Height());
  std::printf("time: %.3f s (%.1f ms a photo)\n", seconds,
              1000.0 * seconds / static_cast<double>(files.size()));
  return items.Count() > 0 ? kDone : kFailed;
}

int Info(const std::vector<std::string>& args) {
  if (args.size() != 1) return BadUsage("info takes one project file");
  const std::string& path = args[0];
  if (!ReadableFile(path)) return Fail(path + ": no such project file");
  const TProjectContent c = ReadProjectContent(TIniFile::Load(path));
  std::printf("project: %s\n", path.c_str());
  std::printf("items: %zu (itemCount=%d)\n", c.Items.size(), c.ItemCount);
  int missing = 0;
  for (const TProjectItemEntry& item : c.Items) {
    const bool found = ReadableFile(item.Name);
    missing += found ? 0 : 1;
    std::printf("  %3d  %s  offset (%d, %d)%s\n", item.Index, item.Name.c_str(), item.X, item.Y,
                found ? "" : "  [missing]");
  }
  std::printf("rotation: %d (hundredths of a degree)\n", c.Rotation);
  std::printf("guides: %zu\n", c.Guides.size());
  for (const TProjectGuideEntry& g : c.Guides) {
    std::printf("  %s at %s\n", g.Orientation == 1 ? "horizontal" : "vertical",
                FormatReal(g.RelPos).c_str());
  }
  std::printf("trimming box: %s %s %s %s\n", FormatReal(c.Box.p1x).c_str(),
              FormatReal(c.Box.p1y).c_str(), FormatReal(c.Box.p2x).c_str(),
              FormatReal(c.Box.p2y).c_str());
  std::printf("missing images: %d\n", missing);
  return kDone;
}

int Export(const std::vector<std::string>& args) {
  std::string project, output, search;
  int width = TSwfExportWidth::kDefault;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "-o" || a == "--output") {
      if (!hasValue) return BadUsage(a + " needs a file name");
      output = args[++i];
    } else if (a == "--width") {
      if (!hasValue) return BadUsage("--width needs a number");
      const std::string& v = args[++i];
      const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), width);
      if (ec != std::errc() || end != v.data() + v.size() || width < 1 ||
          width > TSwfExportWidth::kMaximum) {
        return BadUsage("--width must be a whole number from 1 to 2500");
      }
    } else if (a == "--search") {
      if (!hasValue) return BadUsage("--search needs a folder");
      search = args[++i];
      std::error_code ec;
      if (!fs::is_directory(search, ec)) return Fail(search + ": no such folder");
    } else if (!a.empty() && a[0] == '-') {
      return BadUsage("unknown option " + a);
    } else if (project.empty()) {
      project = a;
    } else {
      return BadUsage("more than one project file");
    }
  }
  if (project.empty()) return BadUsage("export needs a project file");
  if (output.empty()) return BadUsage("export needs -o OUT.swf");
  if (!ReadableFile(project)) return Fail(project + ": no such project file");

  TCliWindow window;
  TBatchDialogs dialogs(search);
  TPrjLoadThread loader;
  loader.SetMainWindow(&window);
  loader.SetFindDialog(&dialogs);
  loader.SetProjectPath(project);
  loader.Run();
  if (loader.IsCancelled()) {
    return Fail(
        ExtractName(loader.GetMissingPath()) + ": image not found (stored as " +
        loader.GetMissingPath() + ")" +
        (search.empty() ? "; give the folder it moved to with --search DIR" : " nor in " + search));
  }
  if (!loader.Rejected().empty()) {
    for (const TRejectedFile& r : loader.Rejected())
      std::cerr << "kalvane-cli: " << r.Reason << "\n";
    return Fail("some images could not be read");
  }
  TLayerManagement& items = window.LayerItems();
  items.Render();  // fits the work bitmap, whose size the box refers to

  std::unique_ptr<TProgressModel> progress = MakeTerminalProgress();
  TLayerToSwf exporter;
  exporter.SetProgress(progress.get());
  exporter.SetItems(&items);
  exporter.SetTrimBox(&window.TrimBox());
  exporter.SetWorkSize(window.WorkBitmap().Width(), window.WorkBitmap().Height());
  exporter.SetSwfWidth(width);
  exporter.SetMobile(false);
  const TExportResult result = exporter.Execute(output);
  if (!result.Written) return Fail(output + ": no movie written: " + result.Error);
  std::printf("wrote %s: %zu frames of %d x %d pixels\n", output.c_str(), result.Frames.size(),
              result.Width, result.Height);
  return kDone;
}

}  // namespace kalvane::cli
