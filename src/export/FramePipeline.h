#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "base/Result.h"
#include "base/Seams.h"
#include "imaging/ImageTrimToJpeg.h"

namespace kalvane {

struct TLockHolder;

// What an export came to.
struct TExportResult : TResult {
  std::vector<std::string> Frames;    // the frame files made, in item order
  std::vector<std::string> Warnings;  // photos that decoded only with damage, in item order
  std::vector<std::string> Skipped;   // why each photo left out was unreadable, in item order
  // Why each photo could not be used, when that failed the export: those
  // known before it, then those found as the frames were made.
  std::vector<std::string> Unusable;
  int Width = 0;  // the movie's size
  int Height = 0;
};

// A frame as a sink's worker step made it: the result, and the picture
// when the sink keeps it for later.
struct TMadeFrame {
  TFrameResult Result;
  TIKImage Image;
};

// Where the frames of an export go: the data movie's JPEG files, a frame
// set, an animation. The pipeline plans nothing and cuts nothing itself
// differently for a sink: every sink gets the frames of the same plan,
// made by the same frame step.
class TFrameSink {
 public:
  virtual ~TFrameSink() = default;
  // On a worker, for several frames at once: makes the frame from its
  // photo and does what can be done with it there (encode, write).
  virtual TMadeFrame Make(const TFramePlan& frame) const = 0;
  // On the pipeline's thread, in item order, for each frame made.
  virtual void Take(const TFramePlan& frame, TMadeFrame& made) = 0;
  // A frame left out because its photo could not be decoded.
  virtual void Left(const TFramePlan&) {}
};

// The progress of an export: shown from its start, stepped once a frame,
// hidden again however it ends.
class TExportProgress {
 public:
  // `cancellable`: the window offers its cancel button (the caller's
  // cancel flag is then what it sets).
  TExportProgress(IProgress* progress, int count, bool cancellable = false);
  ~TExportProgress();
  TExportProgress(const TExportProgress&) = delete;
  TExportProgress& operator=(const TExportProgress&) = delete;
  void Step();
  // Another export holds the folder: say so, naming it, until it is free.
  void Waiting(const TLockHolder& holder);
  void Working();
  // Work after the frames, in `steps` steps (a percentage, say).
  void Phase(const char* message, int steps);
  void SetPosition(int position);

 private:
  IProgress* P = nullptr;
  int Count;
  bool Waited = false;
};

struct TPipelineOptions {
  TExportProgress* Progress = nullptr;
  const std::atomic<bool>* Cancel = nullptr;
  // A photo that cannot be decoded is left out and named in Skipped.
  bool SkipUnreadable = false;
  // Photos found unusable before (by the load), which fail the export.
  const std::vector<std::string>* Unusable = nullptr;
};

// Makes the planned frames on every core through the sink and hands them
// to it in item order. Fails on the first frame that fails to be written,
// on cancel, and when no frame could be made. A photo that cannot be
// decoded (unless skipped) fails it too, but only once every other photo
// was tried, so that one run names them all in Unusable.
TExportResult RunFramePipeline(const std::vector<TFramePlan>& frames, TFrameSink& sink,
                               const TPipelineOptions& options);

}  // namespace kalvane
