#include "cli/CommandSteps.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "base/AppUtil.h"
#include "base/AtomicFile.h"
#include "base/NameOrder.h"

namespace kalvane::cli {

namespace fs = std::filesystem;

bool CollectPhotos(const std::vector<std::string>& args, bool onlyImages,
                   std::vector<std::string>& files) {
  for (const std::string& arg : args) {
    std::error_code ec;
    if (fs::is_directory(arg, ec)) {
      const std::string folder = WithTrailingSlash(arg);
      for (const std::string& name : ListFiles(arg)) {
        if (IsImageFile(name)) files.push_back(folder + name);
      }
    } else if (fs::exists(arg, ec)) {
      if (onlyImages && !IsImageFile(arg)) {
        std::cerr << "kalvane-cli: " << arg << ": not an image file (.bmp .jpg .gif .png .tif)\n";
        return false;
      }
      files.push_back(arg);
    } else {
      std::cerr << "kalvane-cli: " << arg << ": no such file or folder\n";
      return false;
    }
  }
  SortNames(files);
  return true;
}

bool RefusedOutput(const std::string& path) {
  if (!IsWriteProtected(path)) return false;
  std::cerr << "kalvane-cli: " << path
            << ": the file is write-protected (read-only) and is not replaced\n";
  return true;
}

TAlignReport AlignItems(TLayerManagement& items, const TAlignRegion& region) {
  const auto start = std::chrono::steady_clock::now();
  TAutoAlign align;
  align.SetRegion(region);
  const std::vector<TAlignment> found = align.Measure(items);
  TAutoAlign::Apply(items, found);
  TAlignReport report;
  report.Items = found.size();
  report.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("  #  %-32s %12s %12s  confidence\n", "photo", "before", "after");
  for (const TAlignment& a : found) {
    std::printf("%3d  %-32s %5d,%-6d %5d,%-6d %8.1f%s\n", a.Index, a.Name.c_str(), a.Before.X,
                a.Before.Y, a.After.X, a.After.Y, a.Confidence,
                a.Trusted ? "" : "  not trusted: kept");
    report.Untrusted += a.Trusted ? 0 : 1;
  }
  return report;
}

}  // namespace kalvane::cli
