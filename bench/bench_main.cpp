#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchData.h"
#include "imaging/ImageKit.h"

namespace {

using kalvane::bench::Recorded;

void PrintLoadRatio(const std::string& set) {
  const double ours = Recorded("load " + set);
  const double peer = Recorded("vipsthumbnail " + set);
  if (ours <= 0 || peer <= 0) return;
  std::printf("  %-18s kalvane %7.2f ms/photo   vipsthumbnail %7.2f ms/photo   ratio %.2f\n",
              set.c_str(), ours * 1000, peer * 1000, ours / peer);
}

}  // namespace

namespace kalvane::bench {
int WritePcMovie(int count, const std::string& out);
double LargestFrameShift(const std::vector<std::string>& frames);
double PeakMemoryWriting(const char* self, int count);
}  // namespace kalvane::bench

int main(int argc, char** argv) {
  // The memory benchmark runs the writer in a process of its own.
  if (argc == 4 && std::string(argv[1]) == "--write-pc-movie") {
    return kalvane::bench::WritePcMovie(std::stoi(argv[2]), argv[3]);
  }
  kalvane::IKInitialize();
  // How still frames made elsewhere (kalvane-cli frames) stand.
  if (argc >= 3 && std::string(argv[1]) == "--frame-shift") {
    std::printf("largest shift against the first frame: %.3f px\n",
                kalvane::bench::LargestFrameShift({argv + 2, argv + argc}));
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf("\nLoading display copies into an item list, one thread (goal: ratio <= 1.2)\n");
  PrintLoadRatio("sample 1600x1200");
  PrintLoadRatio("36 x 4000x3000");
  if (const double render = Recorded("render mono"); render > 0) {
    std::printf("\nRender, monochrome mode, 600x600, 36 items (goal: < 2 ms)\n");
    std::printf("  %.3f ms a call = %.1f %% of the 40 ms drag tick\n", render * 1000,
                render * 1000 / 40.0 * 100);
  }
  const double ours = Recorded("export kalvane"), vipsFps = Recorded("export vips"),
               magick = Recorded("export convert");
  if (ours > 0 && vipsFps > 0 && magick > 0) {
    std::printf("\nExport, 36 photos of 4000x3000 turned left, width 500\n");
    std::printf(
        "  kalvane %.1f frames/s   vips tools (2 at a time) %.1f   convert (2 at a time) %.1f\n",
        ours, vipsFps, magick);
    std::printf("  ratio to vips tools %.2f (goal >= 1)   to convert %.2f (goal >= 5)\n",
                ours / vipsFps, ours / magick);
  }
  for (const char* set : {"large", "grainy"}) {
    const double headless = Recorded(std::string("headless export ") + set),
                 decode = Recorded(std::string("full decode ") + set);
    if (headless <= 0 || decode <= 0) continue;
    std::printf("\nkalvane-cli export, %s set, width 500, turned left, load included\n", set);
    std::printf("  (goal: <= djpeg decoding every photo at full size, 2 at a time)\n");
    std::printf("  kalvane %.2f s   djpeg %.2f s   ratio %.2f\n", headless, decode,
                headless / decode);
  }
  const double load = Recorded("project kalvane"), thumbs = Recorded("project vipsthumbnail");
  if (load > 0 && thumbs > 0) {
    std::printf("\nProject load, same 36 photos (goal: no slower than vipsthumbnail x2)\n");
    std::printf(
        "  kalvane %.1f ms/photo   vipsthumbnail (2 at a time) %.1f ms/photo   ratio %.2f\n",
        load * 1000, thumbs * 1000, load / thumbs);
  }
  for (const char* set : {"clean", "grainy"}) {
    const double seconds = Recorded(std::string("align seconds ") + set);
    if (seconds <= 0) continue;
    std::printf("\nAutomatic alignment, 36 photos of 4000x3000 with known shake, %s set\n", set);
    const double floor = Recorded(std::string("align floor ") + set);
    std::printf("  (goal: <= djpeg decoding every photo at full size, 2 at a time)\n");
    std::printf("  aligning %.3f s   djpeg %.3f s   ratio %.2f\n", seconds, floor,
                floor > 0 ? seconds / floor : 0.0);
    std::printf("  largest frame shift at width 500: before %.2f px, after %.2f px (goal <= 1)\n",
                Recorded(std::string("align before ") + set),
                Recorded(std::string("align after ") + set));
    std::printf("  largest frame shift at width 2000 after: %.2f px (goal <= 0.5)\n",
                Recorded(std::string("align after 2000 ") + set));
  }
  if (const double mill = Recorded("fotomill"), thumbnails = Recorded("fotomill vipsthumbnail");
      mill > 0 && thumbnails > 0) {
    std::printf("\nfotomill, 36 photos of 4000x3000 matched, cleaned and written at 2000 px\n");
    std::printf("  (goal: ratio <= 1.5 to vipsthumbnail making the same sizes, 2 at a time)\n");
    std::printf("  fotomill %.1f ms/photo   vipsthumbnail %.1f ms/photo   ratio %.2f\n",
                mill * 1000, thumbnails * 1000, mill / thumbnails);
  }
  const double swf = Recorded("swf MB/s"), cat = Recorded("cat MB/s");
  if (swf > 0 && cat > 0) {
    std::printf("\nPC data movie, 1000 frames of 200 KB (goal: >= 80 %% of cat)\n");
    std::printf("  kalvane %.0f MB/s   cat %.0f MB/s   ratio %.2f\n", swf, cat, swf / cat);
    std::printf("  peak memory of the writer process:");
    for (int frames : {1, 100, 1000}) {
      std::printf(" %.1f MB for %d frames%s", kalvane::bench::PeakMemoryWriting(argv[0], frames),
                  frames, frames == 1000 ? "\n" : ",");
    }
  }
  for (const char* codec : {"mp4", "webm"}) {
    const double video = Recorded(std::string("video kalvane ") + codec),
                 peer = Recorded(std::string("video ffmpeg ") + codec);
    if (video <= 0 || peer <= 0) continue;
    std::printf("\nVideo (%s), 36 photos of 4000x3000 turned left, width 1080, 8 a second\n",
                codec);
    std::printf("  (goal: not slower than ffmpeg encoding the same frames from JPEG files)\n");
    std::printf("  kalvane %.2f s (photos cut and encoded)   ffmpeg %.2f s   ratio %.2f\n", video,
                peer, video / peer);
  }
  const double set = Recorded("frameset kalvane"), setPeer = Recorded("frameset vips");
  if (set > 0 && setPeer > 0) {
    std::printf(
        "\n72-frame square set of 2000 px, 36 photos of 4000x3000 and copies, turned left\n");
    std::printf("  (goal: not slower than the vips tools, 2 at a time)\n");
    std::printf("  kalvane %.2f s   vips tools %.2f s   ratio %.2f\n", set, setPeer, set / setPeer);
  }
  const double batch = Recorded("batch"), singles = Recorded("batch single commands");
  if (batch > 0 && singles > 0) {
    std::printf("\nBatch, 6 products of 24 photos (aligned; data movie, page set, frames, MP4)\n");
    std::printf("  (goal: not slower than the same single commands one after another)\n");
    std::printf("  batch %.1f s   single commands %.1f s   ratio %.2f\n", batch, singles,
                batch / singles);
  }
  if (const double done = Recorded("batch done"); done > 0)
    std::printf("\nBatch run again over 100 done products (goal: under 1 s)\n  %.3f s\n", done);
  return 0;
}
