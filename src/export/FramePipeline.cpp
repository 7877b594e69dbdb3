#include "export/FramePipeline.h"

#include "base/OrderedWork.h"
#include "base/Texts.h"
#include "export/ExportFolderLock.h"
#include "export/ExportTexts.h"

namespace kalvane {

TExportProgress::TExportProgress(IProgress* progress, int count, bool cancellable)
    : P(progress), Count(count) {
  if (!P) return;
  P->SetCancellable(cancellable);
  P->Setup(kProgressCaption, kExportMessage, 0, count);
  P->ShowProgress();
}

TExportProgress::~TExportProgress() {
  if (P) P->HideProgress();
}

void TExportProgress::Step() {
  if (P) P->StepIt();
}

void TExportProgress::Waiting(const TLockHolder& holder) {
  std::string message = kWaitingForExportMessage;
  if (holder.Pid > 0) message += std::string("\n") + kExportHolderLabel + holder.Describe();
  if (P) {
    P->Setup(kProgressCaption, message, 0, Count);
    P->WaitingFor(holder.Pid > 0 ? holder.Describe() : "");
  }
  Waited = true;
}

void TExportProgress::Working() {
  if (P && Waited) P->Setup(kProgressCaption, kExportMessage, 0, Count);
}

void TExportProgress::Phase(const char* message, int steps) {
  if (P) P->Setup(kProgressCaption, message, 0, steps);
}

void TExportProgress::SetPosition(int position) {
  if (P) P->SetPosition(position);
}

TExportResult RunFramePipeline(const std::vector<TFramePlan>& frames, TFrameSink& sink,
                               const TPipelineOptions& options) {
  TExportResult result;
  if (options.Unusable) result.Unusable = *options.Unusable;
  const auto cancelled = [&options] { return options.Cancel && *options.Cancel; };
  // One frame more than the cores: frames are handed back in order, so
  // while the oldest is still being made the others keep every core busy.
  TOrderedWork<TMadeFrame> work(TOrderedWork<TMadeFrame>::DefaultWorkers() + 1);
  TResult frameError;
  std::size_t delivered = 0;  // frames come back in item order
  int taken = 0;
  auto deliver = [&](TMadeFrame done) {
    const TFramePlan& frame = frames[delivered++];
    if (options.Progress) options.Progress->Step();
    TFrameResult& r = done.Result;
    if (!r.Warning.empty()) result.Warnings.push_back(std::move(r.Warning));
    if (r.Ok()) {
      sink.Take(frame, done);
      ++taken;
    } else if (r.Code == TErrorCode::Unreadable) {
      // The others are still made: the user learns of every such photo at once.
      sink.Left(frame);
      (options.SkipUnreadable ? result.Skipped : result.Unusable).push_back(std::move(r.Error));
    } else if (frameError.Ok()) {
      frameError = std::move(r);
    }
  };
  for (const TFramePlan& frame : frames) {
    if (cancelled() || !frameError.Ok()) break;
    work.Add([&sink, frame] { return sink.Make(frame); }, deliver);
  }
  work.Finish(deliver);
  if (cancelled()) {
    result.SetFailure(TErrorCode::Cancelled, "the export was cancelled");
  } else if (!frameError.Ok()) {
    static_cast<TResult&>(result) = frameError;
  } else if (result.Unusable.size() == 1) {
    result.SetFailure(TErrorCode::Unreadable, result.Unusable.front());
  } else if (!result.Unusable.empty()) {
    result.SetFailure(TErrorCode::Unreadable,
                      std::to_string(result.Unusable.size()) + " photos cannot be used");
  } else if (taken == 0) {
    result.SetFailure(TErrorCode::Unreadable, "no photo could be made into a frame");
  }
  return result;
}

}  // namespace kalvane
