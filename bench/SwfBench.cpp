// Writing the PC data movie of 1000 frames of 200 KB, against `cat` of the
// same frame files into one file, and the writer's peak memory for 100 and
// for 1000 frames (each in a process of its own).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vips/vips8>

#include "BenchData.h"
#include "base/AppUtil.h"
#include "export/SwfList.h"
#include "imaging/ImageKit.h"

namespace kalvane::bench {

namespace fs = std::filesystem;

const std::vector<std::string>& FrameFiles() {
  static const std::vector<std::string> files = [] {
    IKInitialize();
    const std::string folder = GetAppFolder() + "data/frames-200k/";
    fs::create_directories(folder);
    const std::string first = folder + "0.jpg";
    if (!fs::exists(first)) {
      // a 200 KB baseline frame: a sample photo at 800 x 600 with fine noise
      vips::VImage photo = vips::VImage::thumbnail(
          SampleFiles().front().c_str(), 800,
          vips::VImage::option()->set("height", 600)->set("size", VIPS_SIZE_FORCE));
      vips::VImage noise =
          vips::VImage::gaussnoise(800, 600, vips::VImage::option()->set("sigma", 10.0));
      (photo + vips::VImage::bandjoin(std::vector<vips::VImage>{noise, noise, noise}) - 128)
          .cast(VIPS_FORMAT_UCHAR)
          .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
          .jpegsave(first.c_str(), vips::VImage::option()->set("Q", 93)->set("strip", true));
    }
    std::vector<std::string> out;
    for (int i = 0; i < 1000; ++i) {
      const std::string path = folder + std::to_string(i) + ".jpg";
      if (!fs::exists(path)) fs::copy_file(first, path);
      out.push_back(path);
    }
    return out;
  }();
  return files;
}

// Runs in a process of its own (see bench_main): writes the movie of the
// first `count` frames.
int WritePcMovie(int count, const std::string& out) {
  TSwfList list;
  for (int i = 0; i < count; ++i)
    list.Add(FrameFiles()[static_cast<std::size_t>(i)]);
  list.SetSwfWidth(800);
  list.SetSwfHeight(600);
  const TResult r = list.MakePcSwf(out);
  if (!r.Ok()) std::fprintf(stderr, "%s\n", r.Error.c_str());
  // The high-water mark of this process image (getrusage would also count
  // what the parent had before exec).
  std::FILE* status = std::fopen("/proc/self/status", "r");
  char line[256];
  while (status && std::fgets(line, sizeof line, status)) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) std::printf("%s", line + 6);
  }
  if (status) std::fclose(status);
  return r.Ok() ? 0 : 1;
}

namespace {

std::uint64_t TotalBytes() {
  std::uint64_t total = 0;
  for (const std::string& f : FrameFiles())
    total += fs::file_size(f);
  return total;
}

void BM_MakePcSwf(benchmark::State& state) {
  const auto& files = FrameFiles();
  TSwfList list;
  for (const std::string& f : files)
    list.Add(f);
  list.SetSwfWidth(800);
  list.SetSwfHeight(600);
  const std::string out = GetAppFolder() + "data/bench-movie.swf";
  const double seconds = TimeEach(state, [&] { return list.MakePcSwf(out).Ok(); });
  const double mbps = static_cast<double>(TotalBytes()) / 1e6 / seconds;
  state.counters["MB_per_s"] = mbps;
  Record("swf MB/s", mbps);
}

void BM_CatFrames(benchmark::State& state) {
  std::string command = "cat";
  for (const std::string& f : FrameFiles())
    command += " '" + f + "'";
  command += " > '" + GetAppFolder() + "data/bench-cat.bin'";
  const double mbps = static_cast<double>(TotalBytes()) / 1e6 / TimeCommandEach(state, command);
  state.counters["MB_per_s"] = mbps;
  Record("cat MB/s", mbps);
}

BENCHMARK(BM_MakePcSwf)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_CatFrames)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace

// Peak resident memory, in MB, of this program writing `count` frames.
double PeakMemoryWriting(const char* self, int count) {
  FrameFiles();
  const std::string n = std::to_string(count);
  const std::string command = std::string(self) + " --write-pc-movie " + n + " '" + GetAppFolder() +
                              "data/bench-movie-" + n + ".swf'";
  std::FILE* child = popen(command.c_str(), "r");
  if (!child) return -1;
  double kb = -1;
  if (std::fscanf(child, "%lf", &kb) != 1) kb = -1;
  if (pclose(child) != 0) return -1;
  return kb / 1024.0;
}

}  // namespace kalvane::bench
