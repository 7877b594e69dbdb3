#include "TestImages.h"

#include <unistd.h>

#include <zlib.h>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vips/vips8>

#include "imaging/ImageKit.h"

namespace kalvane::test {

using vips::VImage;

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kalvane-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

namespace {
void Save(const VImage& image, const std::string& path) {
  const std::string ext = path.substr(path.rfind('.'));
  if (ext == ".jpg") {
    image.jpegsave(path.c_str(), VImage::option()->set("Q", 95));
  } else if (ext == ".webp" || ext == ".avif" || ext == ".heic") {
    image.write_to_file(path.c_str(), VImage::option()->set("lossless", true));
  } else if (ext == ".bmp" || ext == ".gif") {
    image.magicksave(path.c_str(), VImage::option()->set("format", ext.substr(1).c_str()));
  } else {
    image.write_to_file(path.c_str());
  }
}
}  // namespace

void WriteGradient(const std::string& path, int width, int height) {
  IKInitialize();
  VImage xy = VImage::xyz(width, height);
  VImage r = (xy[0] % 256).cast(VIPS_FORMAT_UCHAR);
  VImage g = (xy[1] % 256).cast(VIPS_FORMAT_UCHAR);
  VImage b = (xy[0] * 0 + 77).cast(VIPS_FORMAT_UCHAR);
  Save(VImage::bandjoin(std::vector<VImage>{r, g, b})
           .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)),
       path);
}

void WriteSolid(const std::string& path, int width, int height, int r, int g, int b) {
  IKInitialize();
  VImage image = VImage::black(width, height, VImage::option()->set("bands", 3))
                     .linear({0, 0, 0}, {double(r), double(g), double(b)})
                     .cast(VIPS_FORMAT_UCHAR)
                     .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
  Save(image, path);
}

void WriteMarker(const std::string& path, int width, int height, int x, int y, int s) {
  IKInitialize();
  VImage marked = (VImage::black(width, height, VImage::option()->set("bands", 3)) + 255)
                      .cast(VIPS_FORMAT_UCHAR)
                      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
                      .copy_memory();
  marked.draw_rect({0, 0, 0}, x, y, s, s, VImage::option()->set("fill", true));
  Save(marked, path);
}

void WriteHugePng(const std::string& path, unsigned width, unsigned height, int depth,
                  int colourType) {
  auto chunk = [](const std::string& type, const std::string& data) {
    auto be32 = [](std::uint32_t v) {
      return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                         static_cast<char>(v >> 8), static_cast<char>(v)};
    };
    const std::string body = type + data;
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
    return be32(static_cast<std::uint32_t>(data.size())) + body + be32(crc);
  };
  // A little image data that decodes to nothing useful, which only a
  // decode finds.
  const auto be32 = [](std::uint32_t v) {
    return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 8), static_cast<char>(v)};
  };
  const std::string header = be32(width) + be32(height) + static_cast<char>(depth) +
                             static_cast<char>(colourType) + std::string(3, '\0');
  const std::string zeros(1000, '\0');
  std::string packed(compressBound(zeros.size()), '\0');
  uLongf size = packed.size();
  compress(reinterpret_cast<Bytef*>(packed.data()), &size,
           reinterpret_cast<const Bytef*>(zeros.data()), zeros.size());
  packed.resize(size);
  std::ofstream(path, std::ios::binary)
      << std::string("\x89PNG\r\n\x1A\n", 8) << chunk("IHDR", header) << chunk("IDAT", packed)
      << chunk("IEND", "");
}

std::string SamplesDir() {
  return KALVANE_SAMPLES_DIR;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace {

// A line of /proc/self/status in bytes ("VmHWM:  1234 kB").
long long StatusBytes(const std::string& key) {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key + ":", 0) == 0) return std::atoll(line.c_str() + key.size() + 1) * 1024;
  }
  return 0;
}

}  // namespace

ScopedEnv::ScopedEnv(const char* name, const char* value) : Name(name) {
  if (const char* old = std::getenv(name)) {
    Old = old;
    Had = true;
  }
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (Had)
    setenv(Name.c_str(), Old.c_str(), 1);
  else
    unsetenv(Name.c_str());
}

PeakMemory::PeakMemory() {
  // "5" sets the peak back to the present resident set (Linux 4.0 on).
  std::ofstream("/proc/self/clear_refs") << "5";
  Start = StatusBytes("VmHWM");
}

long long PeakMemory::PeakGrowth() const {
  return StatusBytes("VmHWM") - Start;
}

}  // namespace kalvane::test
