#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Result.h"
#include "export/MobileTools.h"

namespace kalvane {

// The frame files of an export, in frame order, and the movie size.
class TSwfList {
 public:
  static constexpr int kMaxFrames = 1000;

  void Add(const std::string& fileName) { Files.push_back(fileName); }
  int Count() const { return static_cast<int>(Files.size()); }
  const std::string& operator[](int i) const { return Files[static_cast<std::size_t>(i)]; }
  void Clear() { Files.clear(); }

  // Both store only values above 0.
  void SetSwfWidth(std::int32_t w);
  void SetSwfHeight(std::int32_t h);
  std::int32_t Width() const { return FrameWidth; }
  std::int32_t Height() const { return FrameHeight; }
  // round(t x 1.0), at least 1.
  static int FrameCount(double t);
  // How long each mobile tool may run on `frames` frames before it counts
  // as hung and is stopped: it holds the user's export lock meanwhile, and
  // every other export waits for it.
  static int ToolSeconds(int frames);

  // The PC data movie: one bitmap-filled rectangle per frame, 1 frame a
  // second, version 6. Refuses an empty list or more than 1000 frames
  // without touching the file; the old file is replaced only by a complete
  // new one. Frame files are noted while the movie is built and copied into
  // it one at a time, so memory does not grow with the frame count.
  TResult MakePcSwf(const std::string& fileName) const;

  // The mobile movie: jpeg2swf makes the frames into a slide movie
  // (motmp1.swf in `workFolder`) and swfcombine puts that into the place
  // loadRect_mc of template_m/velmobile.swf, all three from `kit` (or all
  // from `programFolder`);
  // the master is first copied to motmp0.swf with a stage of the frames'
  // size, so the whole of every frame shows.
  // The two command lines are written to motmp.bat for the record; the
  // programs run with argument vectors, in order, and are waited for, so a
  // missing or failing tool is an error naming it. The combiner writes
  // motmp2.swf in `workFolder`, which must read back as a movie whose
  // loadRect_mc plays every frame, or the combiner counts as failed; only
  // then is it copied over `fileName` (atomically), so a failed export
  // leaves the earlier movie as it was.
  TResult MakeMobileSwf(const std::string& fileName, const TMobileKit& kit,
                        const std::string& workFolder,
                        const std::atomic<bool>* cancel = nullptr) const;
  TResult MakeMobileSwf(const std::string& fileName, const std::string& programFolder,
                        const std::string& workFolder,
                        const std::atomic<bool>* cancel = nullptr) const {
    return MakeMobileSwf(fileName, MobileKitIn(programFolder), workFolder, cancel);
  }
  // The record's two lines, quoted as a command interpreter takes them.
  std::vector<std::string> MobileCommandLines(const std::string& fileName, const TMobileKit& kit,
                                              const std::string& workFolder) const;

 private:
  std::vector<std::string> Files;
  std::int32_t FrameWidth = 300;
  std::int32_t FrameHeight = 300;
};

}  // namespace kalvane
