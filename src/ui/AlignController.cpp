#include "ui/AlignController.h"

#include <QString>

#include "base/Texts.h"
#include "project/ProjectTexts.h"
#include "ui/AlignJob.h"
#include "ui/ProgressDialog.h"
#include "ui/Texts.h"

namespace kalvane::ui {

TAlignController::TAlignController(TProjectDocument& document, IWindowDialogs& dialogs,
                                   IGuiDispatcher& dispatcher, QWidget* owner)
    : Document(document), Dialogs(dialogs), Dispatcher(dispatcher), Owner(owner) {}

TAlignController::~TAlignController() {
  if (!Job) return;
  Job->Cancel = true;
  Job->Worker.join();
}

void TAlignController::Cancel() {
  if (Job) Job->Cancel = true;
}

TExecProgress* TAlignController::ProgressWindow() const {
  return Job ? Job->Progress.get() : nullptr;
}

void TAlignController::Start(const TAlignRegion& region) {
  TLayerManagement& items = Document.LayerItems();
  if (items.Count() < 2 || Job) return;
  Job = std::make_unique<TAlignJob>();
  TAlignJob& job = *Job;
  if (StateChanged) StateChanged();
  job.Progress = std::make_unique<TExecProgress>(Owner);
  job.Progress->SetOnCancel([&job] { job.Cancel = true; });
  job.Progress->Setup(kProgressCaption, kAlignMessage, 0, items.Count());
  job.Progress->ShowProgress();
  job.Worker = std::thread([this, &job, &items, region] {
    try {
      TAutoAlign align;
      align.SetRegion(region);
      job.Found = align.Measure(items, [this, &job] {
        if (job.Cancel) throw TAlignJob::TCancelled{};
        Dispatcher.Post([this] {
          if (Job) Job->Progress->StepIt();
        });
      });
    } catch (const TAlignJob::TCancelled&) {
      job.Found.clear();
    } catch (const std::exception& e) {
      job.Found.clear();
      job.Failure = e.what();
    }
    Dispatcher.Post([this] { Ended(); });
  });
}

void TAlignController::Ended() {
  if (!Job) return;
  Job->Worker.join();
  Job->Progress->HideProgress();
  const std::unique_ptr<TAlignJob> job = std::move(Job);
  const bool done = !job->Cancel && job->Failure.empty();
  std::string kept, doubtful;
  if (done) DoubtfulItems.clear();
  for (const TAlignment& a : job->Found) {
    if (!a.Trusted) kept += "\r" + a.Name;
    if (a.Trusted && a.Doubtful)
      doubtful += "\r" + a.Name + " (" + std::to_string(a.Confidence) + "%)";
    // Kept where it was or placed without much agreement: worth a look.
    if (done && a.Doubtful) DoubtfulItems[a.Id] = a.Confidence;
  }
  if (done) Document.ApplyAlignment(job->Found);
  if (StateChanged) StateChanged();
  if (!job->Failure.empty()) {
    Dialogs.ShowError(kErrorCaption, job->Failure);
  } else if (done) {
    const TAlignSummary summary = TAutoAlign::Summarize(job->Found);
    std::string text = QString::fromUtf8(kAlignSummary)
                           .arg(summary.Aligned)
                           .arg(summary.LargestShift, 0, 'f', 1)
                           .toStdString();
    text += doubtful.empty() ? std::string("\r") + kAlignAllSure
                             : std::string("\r\r") + kAlignDoubtful + doubtful;
    if (!kept.empty()) text += std::string("\r\r") + kAutoAlignNotTrusted + kept;
    Dialogs.Inform(kQuestionCaption, text);
  }
  if (Finished) Finished();
}

}  // namespace kalvane::ui
