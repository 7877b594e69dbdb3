// kalvane-cli: the headless side of Kalvane.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "document/LayerManagement.h"
#include "imaging/AppUtil.h"
#include "imaging/Bitmap24.h"

namespace {

using namespace kalvane;
namespace fs = std::filesystem;

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

void PrintUsage(std::ostream& out) {
  out << "usage: kalvane-cli load [IMAGE|FOLDER ...]\n"
         "       kalvane-cli --help\n"
         "\n"
         "load   Loads photographs into an item list as the editor does and reports\n"
         "       the items' display sizes, the work-bitmap size and the time taken.\n"
         "       Folders contribute their image files in name order. Without\n"
         "       arguments the bundled sample photographs are loaded.\n"
         "\n"
         "Exit status: 0 done, 1 failed, 2 bad usage.\n";
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

int Load(std::vector<std::string> args) {
  if (args.empty()) args.push_back(GetAppFolder() + "samples/turntable");
  std::vector<std::string> files;
  if (!CollectImages(args, files)) return kFailed;
  if (files.empty()) {
    std::cerr << "kalvane-cli: no image files (.bmp .jpg .gif .png .tif) to load\n";
    return kFailed;
  }

  const auto start = std::chrono::steady_clock::now();
  TBitmap24 work;
  TLayerManagement items;
  items.SetWorkBitmap(&work);
  // As the loaders do for an empty project: the first photo fits 600 x 600
  // (the first readable one: a broken file has no size).
  for (const std::string& file : files) {
    if (const double scale = GetFitScale(file); scale > 0) {
      items.SetItemScale(scale);
      break;
    }
  }

  int rejected = 0;
  for (const std::string& file : files) {
    const std::string name = ExtractName(file);
    if (!IsNewItemName(name, items)) {
      std::cerr << "kalvane-cli: " << file << ": an item named " << name << " is already loaded\n";
      ++rejected;
      continue;
    }
    // Decoded before it joins the list, so a file that fails is never added.
    std::unique_ptr<TLayerItemObject> item = items.CreateItem(name, file);
    if (!item->HasImage()) {
      std::cerr << "kalvane-cli: " << item->LoadError() << "\n";
      ++rejected;
      continue;
    }
    items.InsertCreated(std::move(item), items.Count());
  }
  if (items.Count() > 0) items.SelectIndex(0);
  items.Render();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::printf("items: %d (not registered: %d)\n", items.Count(), rejected);
  std::printf("item scale: %.6g\n", items.GetItemScale());
  for (int i = 0; i < items.Count(); ++i) {
    const TLayerItemObject* item = items.GetItem(i);
    const TBitmap24* display = item->GetDisplayBitmap();
    std::printf("  %3d  %-32s %4d x %-4d\n", i, item->GetItemName().c_str(), display->Width(),
                display->Height());
  }
  std::printf("work bitmap: %d x %d\n", work.Width(), work.Height());
  std::printf("time: %.3f s (%.1f ms a photo)\n", seconds,
              1000.0 * seconds / static_cast<double>(files.size()));
  return items.Count() > 0 ? kDone : kFailed;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintUsage(std::cerr);
    return kUsage;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") {
    PrintUsage(std::cout);
    return kDone;
  }
  if (command == "load") return Load(args);
  std::cerr << "kalvane-cli: unknown command '" << command << "'\n";
  PrintUsage(std::cerr);
  return kUsage;
}
