// Cut-out masks of a rendered spin against their truth: ours (backdrop
// model, GrabCut, the neighbours' prior, the edge at full size) and the
// peer, OpenCV's plain GrabCut started from the box around the product,
// on the same photos. Prints each one's intersection over union with the
// truth (mean and worst frame) and its time a photo, and the time of both
// on a 12 MP photo.
// usage: kalvane_cutout_bench [FOLDER KIND]  (FOLDER holds KIND_NN.jpg and
// KIND_NN-truth.png as tools/samples/render-cutouts writes them; without
// arguments 24 photos of each kind are rendered once into the build tree)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>
#include <vips/vips8>

#include "imaging/CutoutEdge.h"
#include "imaging/CutoutMask.h"
#include "imaging/PhotoLoad.h"

namespace {

using namespace kalvane;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The truth as product (1) or not (0), at the photo's size.
std::vector<std::uint8_t> Truth(const std::string& path) {
  const vips::VImage t = vips::VImage::new_from_file(path.c_str()).extract_band(0);
  std::size_t n = 0;
  auto* data = static_cast<std::uint8_t*>(t.write_to_memory(&n));
  std::vector<std::uint8_t> out(data, data + n);
  g_free(data);
  for (std::uint8_t& v : out)
    v = v >= 128;
  return out;
}

double Iou(const std::vector<std::uint8_t>& truth, const std::vector<std::uint8_t>& found) {
  std::size_t both = 0, either = 0;
  for (std::size_t i = 0; i < truth.size(); ++i) {
    both += truth[i] && found[i];
    either += truth[i] || found[i];
  }
  return either ? double(both) / either : 1.0;
}

struct TScore {
  double Mean = 0, Worst = 1, Seconds = 0;
};

void Print(const char* who, const TScore& s, int n) {
  std::printf("  %-28s IoU mean %.4f worst %.4f   %.3f s a photo\n", who, s.Mean / n, s.Worst,
              s.Seconds / n);
}

// The peer on a photo: GrabCut from the truth's box with a margin of 5 %,
// five rounds, on the same reduced copy ours works on, scaled back up.
std::vector<std::uint8_t> Peer(const TRgbImage& photo, const std::vector<std::uint8_t>& truth) {
  const TRgbImage work = CutoutWorkCopy(photo);
  int x0 = photo.Width, y0 = photo.Height, x1 = 0, y1 = 0;
  for (int y = 0; y < photo.Height; ++y)
    for (int x = 0; x < photo.Width; ++x)
      if (truth[static_cast<std::size_t>(y) * photo.Width + x]) {
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
  const double f = double(work.Width) / photo.Width;
  const int mx = photo.Width / 20, my = photo.Height / 20;
  const cv::Rect box =
      cv::Rect(static_cast<int>((x0 - mx) * f), static_cast<int>((y0 - my) * f),
               static_cast<int>((x1 - x0 + 2 * mx) * f), static_cast<int>((y1 - y0 + 2 * my) * f)) &
      cv::Rect(0, 0, work.Width, work.Height);
  cv::Mat bytes;
  cv::Mat(work.Height, work.Width, CV_16UC3, const_cast<std::uint16_t*>(work.Pixels.data()))
      .convertTo(bytes, CV_8UC3, 1.0 / 257);
  cv::Mat mask, bg, fg;
  cv::grabCut(bytes, mask, box, bg, fg, 5, cv::GC_INIT_WITH_RECT);
  cv::Mat1b product = (mask == cv::GC_FGD) | (mask == cv::GC_PR_FGD), full;
  cv::resize(product, full, cv::Size(photo.Width, photo.Height), 0, 0, cv::INTER_LINEAR);
  std::vector<std::uint8_t> out(full.total());
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = full.data[i] >= 128;
  return out;
}

void Compare(const std::string& folder, const std::string& kind) {
  std::vector<std::string> photos;
  for (int i = 0;; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "%s_%02d", kind.c_str(), i);
    if (!fs::exists(folder + "/" + name + ".jpg")) break;
    photos.push_back(folder + "/" + name);
  }
  if (photos.empty()) return;
  const int n = static_cast<int>(photos.size());
  std::vector<TRgbImage> images(photos.size()), works(photos.size());
  std::vector<TCutoutMask> masks(photos.size());
  TScore ours, peer;
  double loadSeconds = 0;
  for (std::size_t i = 0; i < photos.size(); ++i) {
    const auto start = Clock::now();
    LoadPhoto(photos[i] + ".jpg", 0, images[i], nullptr);
    loadSeconds += Since(start);
  }
  // Ours: every mask, then each with its neighbours and its edge.
  const auto start = Clock::now();
  for (std::size_t i = 0; i < photos.size(); ++i) {
    works[i] = CutoutWorkCopy(images[i]);
    masks[i] = FindProduct(works[i], nullptr);
  }
  std::vector<std::vector<std::uint8_t>> found(photos.size());
  for (std::size_t i = 0; i < photos.size(); ++i) {
    const TCutoutMask mask = WithNeighbours(masks[i], i > 0 ? &masks[i - 1] : nullptr,
                                            i + 1 < masks.size() ? &masks[i + 1] : nullptr);
    TRgbImage cut = images[i];
    CutOut(cut, works[i], mask);
    if (const char* dump = std::getenv("CUTOUT_BENCH_DUMP")) {
      // Each alpha as a picture, to look at.
      std::vector<std::uint8_t> bytes(cut.Alpha.size());
      for (std::size_t k = 0; k < bytes.size(); ++k)
        bytes[k] = static_cast<std::uint8_t>(cut.Alpha[k] / 257);
      vips::VImage::new_from_memory(bytes.data(), bytes.size(), cut.Width, cut.Height, 1,
                                    VIPS_FORMAT_UCHAR)
          .pngsave(
              (std::string(dump) + "/" + fs::path(photos[i]).filename().string() + ".png").c_str());
    }
    found[i].resize(cut.Alpha.size());
    for (std::size_t k = 0; k < cut.Alpha.size(); ++k)
      found[i][k] = cut.Alpha[k] >= 32768;
  }
  ours.Seconds = Since(start);
  for (std::size_t i = 0; i < photos.size(); ++i) {
    const std::vector<std::uint8_t> truth = Truth(photos[i] + "-truth.png");
    const double iou = Iou(truth, found[i]);
    ours.Mean += iou;
    ours.Worst = std::min(ours.Worst, iou);
    const auto peerStart = Clock::now();
    const std::vector<std::uint8_t> theirs = Peer(images[i], truth);
    peer.Seconds += Since(peerStart);
    const double peerIou = Iou(truth, theirs);
    peer.Mean += peerIou;
    peer.Worst = std::min(peer.Worst, peerIou);
    if (std::getenv("CUTOUT_BENCH_FRAMES"))
      std::printf("    %s: ours %.4f peer %.4f\n", fs::path(photos[i]).filename().c_str(), iou,
                  peerIou);
  }
  std::printf("%s: %d photos of %d x %d (loading %.3f s a photo, not counted)\n", kind.c_str(), n,
              images[0].Width, images[0].Height, loadSeconds / n);
  Print("ours", ours, n);
  Print("peer (GrabCut from the box)", peer, n);
  std::printf("  time ours / peer: %.2f\n", ours.Seconds / std::max(peer.Seconds, 1e-9));
}

// Both on a photo of 4000 x 3000 made from a render.
void Large(const std::string& photo) {
  TRgbImage small, large;
  if (!LoadPhoto(photo, 0, small, nullptr).Ok()) return;
  const cv::Mat in(small.Height, small.Width, CV_16UC3, small.Pixels.data());
  large.Width = 4000;
  large.Height = 3000;
  large.Pixels.resize(4000u * 3000u * 3u);
  cv::Mat out(3000, 4000, CV_16UC3, large.Pixels.data());
  cv::resize(in, out, out.size(), 0, 0, cv::INTER_CUBIC);
  double ours = 1e9, peer = 1e9;
  for (int round = 0; round < 3; ++round) {
    auto start = Clock::now();
    const TRgbImage work = CutoutWorkCopy(large);
    const TCutoutMask mask = FindProduct(work, nullptr);
    TRgbImage cut = large;
    const auto copied = Since(start);
    start = Clock::now();
    CutOut(cut, work, mask);
    ours = std::min(ours, Since(start) + copied);
    std::vector<std::uint8_t> truth(4000u * 3000u, 0);
    for (int y = 0; y < 3000; ++y)
      for (int x = 0; x < 4000; ++x)
        truth[static_cast<std::size_t>(y) * 4000 + x] =
            mask.Product(x * mask.Width / 4000, y * mask.Height / 3000);
    start = Clock::now();
    Peer(large, truth);
    peer = std::min(peer, Since(start));
  }
  std::printf("12 MP photo (4000 x 3000), one core: ours %.3f s, peer %.3f s, ratio %.2f\n", ours,
              peer, ours / peer);
}

}  // namespace

int main(int argc, char** argv) {
  if (VIPS_INIT(argv[0])) return 1;
  cv::setNumThreads(1);
  if (argc == 3) {
    Compare(argv[1], argv[2]);
    return 0;
  }
  const std::string folder = KALVANE_BENCH_DATA "/cutouts";
  for (const char* kind : {"white", "dark", "ring"}) {
    if (!fs::exists(folder + "/" + kind + "_23-truth.png")) {
      const std::string render = std::string(KALVANE_TOOLS_DIR "/samples/render-cutouts '") +
                                 folder + "' 1024 768 " + kind + " 24";
      std::printf("rendering %s (once)...\n", kind);
      std::fflush(stdout);
      if (std::system(render.c_str()) != 0) return 1;
    }
    Compare(folder, kind);
  }
  Large(folder + "/white_00.jpg");
  return 0;
}
