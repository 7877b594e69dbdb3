#include "project/LoadThread.h"

#include <algorithm>

#include <filesystem>

#include <exception>

#include "base/AppUtil.h"
#include "base/NameOrder.h"
#include "base/Texts.h"
#include "document/LayerManagement.h"
#include "imaging/ImageKit.h"
#include "project/ProjectFile.h"
#include "project/ProjectTexts.h"

namespace kalvane {

namespace {

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

}  // namespace

TLoadThread::~TLoadThread() {
  if (!Worker.joinable()) return;
  // The worker holds this loader until its last step, so the loader goes
  // either on the worker itself or after the worker has let go of it.
  if (Worker.get_id() == std::this_thread::get_id()) {
    Worker.detach();
  } else {
    Worker.join();
  }
}

void TLoadThread::GuardedBody() {
  try {
    Body();
  } catch (const std::exception& e) {
    FailureText = e.what();
  } catch (...) {
    FailureText = "unknown error";
  }
  if (FailureText.empty()) return;
  Cancelled = true;
  try {
    HideProgress();
  } catch (...) {
  }
}

void TLoadThread::Run() {
  Running = true;
  GuardedBody();
  Finished();
  Running = false;
}

void TLoadThread::Start(std::function<void()> onEnd) {
  if (Running) return;
  Running = true;
  if (Worker.joinable()) Worker.join();  // an earlier run, long finished
  Worker = std::thread([self = shared_from_this(), onEnd = std::move(onEnd)] {
    self->GuardedBody();
    self->OnGui([&] {
      self->Finished();
      self->Running = false;
      if (onEnd) onEnd();
    });
  });
}

void TLoadThread::ShowProgress(int minimum, int maximum) {
  OnGui([&] {
    Progress = Doc->View().CreateProgress();
    Progress->SetOnCancel([this] { Cancel(); });
    Progress->Setup(kProgressCaption, kLoadMessage, minimum, maximum);
    Progress->ShowProgress();
  });
}

void TLoadThread::HideProgress() {
  OnGui([&] {
    if (Progress) Progress->HideProgress();
    Progress.reset();
  });
}

void TLoadThread::StepProgress() {
  OnGui([&] {
    if (Progress) Progress->StepIt();
  });
}

void TLoadThread::ChooseScale(const std::string& path) {
  if (ScaleChosen || Doc->LayerItems().Count() > 0) return;
  const double scale = GetFitScale(path);
  if (scale > 0) {
    Doc->LayerItems().SetItemScale(scale);
    ScaleChosen = true;
  }
}

bool TLoadThread::IsNewName(const std::string& name) const {
  return IsNewItemName(name, Doc->LayerItems()) && ScheduledNames.count(name) == 0;
}

void TLoadThread::Schedule(const std::string& name, const std::string& path,
                           std::function<int()> position,
                           std::function<void(TLayerItemObject&)> prepare) {
  ScheduledNames.insert(name);
  const TLayerManagement& items = Doc->LayerItems();
  Decoding.Add(
      [&items, name, path, position = std::move(position), prepare = std::move(prepare)] {
        auto decoded = std::make_shared<TDecoded>();
        decoded->Path = path;
        decoded->Item = items.CreateItem(name, path);
        decoded->Position = position;
        decoded->Prepare = prepare;
        return decoded;
      },
      [this](std::shared_ptr<TDecoded> decoded) { Deliver(*decoded); });
}

void TLoadThread::Deliver(TDecoded& decoded) {
  if (!decoded.Item->LoadError().empty()) {
    // A project keeps its photo all the same (without a picture), so its
    // path and offset are not lost by the next save.
    const bool kept = KeepUnreadable && !decoded.Item->GetFileName().empty();
    Reject(decoded.Path, decoded.Item->LoadError(), kept);
    if (!kept) return;
  }
  // Prepared before it joins the list, so the overlay that the insertion
  // builds already shows it in place.
  if (decoded.Prepare) decoded.Prepare(*decoded.Item);
  OnGui([&] { Doc->LayerItems().InsertCreated(std::move(decoded.Item), decoded.Position()); });
}

void TLoadThread::FinishScheduled() {
  Decoding.Finish([this](std::shared_ptr<TDecoded> decoded) { Deliver(*decoded); });
  ScheduledNames.clear();
}

void TLoadThread::Reject(const std::string& path, const std::string& reason, bool kept) {
  RejectedFiles.push_back({path, reason, kept});
}

int TLoadThread::NotTakenCount() const {
  return static_cast<int>(std::count_if(RejectedFiles.begin(), RejectedFiles.end(),
                                        [](const TRejectedFile& r) { return !r.Kept; }));
}

void TLoadThread::ReportRejected(const std::string& dropNote) {
  if (!Dialogs) return;
  std::string dropped, kept;
  int keptCount = 0;
  for (const TRejectedFile& r : RejectedFiles) {
    (r.Kept ? kept : dropped) += "\r" + r.Reason;
    keptCount += r.Kept ? 1 : 0;
  }
  if (const int count = NotTakenCount(); count > 0) {
    Dialogs->Warn(kQuestionCaption, RejectedMessage(count) + dropNote + dropped);
  }
  if (keptCount > 0) Dialogs->Warn(kQuestionCaption, KeptWithoutPictureMessage(keptCount) + kept);
}

// ---- project load ----------------------------------------------------------

std::string TPrjLoadThread::Resolve(const std::string& stored, bool moreFollow) {
  if (FileExists(stored)) return stored;
  const std::string f = ExtractName(stored);
  const std::string title = MissingPhotoTitle(f);
  if (!SearchFolder.empty()) {
    const std::string candidate = SearchFolder + f;
    if (FileExists(candidate)) return candidate;
    const auto picked = Dialogs->OpenFile(title, kImageFilter, f);
    if (!picked) {
      Cancelled = true;
      return {};
    }
    SearchFolder = GetFolderOf(*picked);
    return *picked;
  }
  const auto picked = Dialogs->OpenFile(title, kImageFilter, f);
  if (!picked) {
    Cancelled = true;
    return {};
  }
  if (moreFollow) {
    if (Progress) Progress->HideProgress();
    if (Dialogs->AskYesNo(kQuestionCaption, kSearchSameFolderQuestion)) {
      SearchFolder = GetFolderOf(*picked);
    }
    if (Progress) Progress->ShowProgress();
  } else {
    SearchFolder = GetFolderOf(*picked);
  }
  return *picked;
}

void TPrjLoadThread::Body() {
  if (!Doc || !Dialogs || ProjectPath.empty()) return;
  TProjectContent content;
  if (const TResult read = ReadProjectFile(ProjectPath, content); !read.Ok()) {
    FailureText = read.Error;
    Cancelled = true;
    return;
  }
  const std::int32_t itemCount = content.ItemCount;
  OnGui([&] {
    if (itemCount != -1 && itemCount != 0) {
      Doc->View().HideItemPanel();
      Doc->View().SetItemPanelRefresh(false);
      SearchFolder.clear();
    }
    TGuideManagement guides = Doc->GuideLines();
    AddProjectGuides(guides, content.Guides);
    Doc->SetGuideLines(guides.Lines());
    Doc->SetTrimRelBox(content.Box);
  });
  ShowProgress(1 < itemCount ? 1 : 0, itemCount > 0 ? itemCount : 0);
  // The rotation is applied to the whole list at the end. Storing it now, in
  // the still empty list, lets each photo be turned as it is decoded, on
  // the workers; the final SetRotation then finds every item turned already
  // and leaves the same items as turning them all at the end.
  if (Doc->LayerItems().Count() == 0) Doc->LayerItems().SetRotation(content.Rotation);

  // Only entries that exist are visited: a count of two billion over one
  // section is one step.
  for (const TProjectItemEntry& entry : content.Items) {
    const std::int32_t i = entry.Index;
    StepProgress();
    {
      std::string resolved;
      OnGui([&] { resolved = Resolve(entry.Name, i + 1 != itemCount); });
      if (resolved.empty()) {
        MissingPath = entry.Name;
        FinishScheduled();
        HideProgress();
        return;
      }
      const std::string name = ExtractName(resolved);
      if (IsNewName(name)) {
        ChooseScale(resolved);
        const TLayerManagement& items = Doc->LayerItems();
        Schedule(
            name, resolved, [&items] { return items.Count(); },
            [entry](TLayerItemObject& item) { ApplyItemOffset(item, entry); });
      } else {
        // Told, not dropped in silence: the list holds one photo a name.
        Reject(resolved, resolved + ": has the same file name as an earlier photo");
      }
    }
    if (Cancelled) break;
  }
  FinishScheduled();
  HideProgress();
  OnGui([&] {
    // Entries dropped here are gone from the file at the next save.
    ReportRejected(kDroppedEntriesNote);
    Doc->View().RepaintWindow();
    Doc->LayerItems().SelectIndex(0);
    Doc->LayerItems().SetRotation(content.Rotation);
    Doc->View().SetItemPanelRefresh(true);
    Doc->View().ShowItemPanel();
    Doc->SetProjectPath(ProjectPath);
    Doc->View().SetCaption(ProjectCaption(ProjectPath));
  });
}

void TPrjLoadThread::Finished() {
  if (!Doc) return;
  const bool moved = !SearchFolder.empty();
  if (Cancelled) {
    Doc->Reset();
    Doc->UpdateCommandStates();
    Doc->View().SetCaption(kNoProjectCaption);
  } else {
    Doc->UpdateCommandStates();
  }
  // A project abandoned is empty again, whatever folder was searched; one
  // that lost entries or found its photos elsewhere differs from its file.
  if ((moved || NotTakenCount() > 0) && !Cancelled) {
    Doc->MarkModified();
  } else {
    Doc->MarkSaved();
  }
  if (!FailureText.empty() && Dialogs) {
    Dialogs->Warn(kQuestionCaption, LoadFailedMessage(FailureText));
  }
  if (!Cancelled) Doc->View().FocusWindow();
}

// ---- adding images ---------------------------------------------------------

void TPrjItemLoadThread::Body() {
  if (!Doc) return;
  Cancelled = false;
  // Each photo goes in right after the anchor, so in insert mode the
  // last in name order goes first.
  SortNames(Files);
  if (InsertMode) ReverseStrings(Files);
  ShowProgress(0, static_cast<int>(Files.size()));
  const TLayerManagement& items = Doc->LayerItems();
  const TLayerItemObject* anchor = InsertMode ? items.GetSelected() : nullptr;
  IdsBefore = items.Order();
  RejectedCount = 0;
  for (const std::string& path : Files) {
    StepProgress();
    if (IsImageFile(path)) {
      const std::string name = ExtractName(path);
      if (!IsNewName(name)) {
        Reject(path, path + ": has the same file name as an earlier photo");
      } else {
        // The scale comes from the first photo that is taken.
        ChooseScale(path);
        // Without a current item there is no anchor: the photo is appended.
        Schedule(name, path,
                 [&items, anchor] { return anchor ? anchor->GetIndex() + 1 : items.Count(); });
      }
    }
    if (Cancelled) break;
  }
  FinishScheduled();
  RejectedCount = NotTakenCount();
  HideProgress();
  OnGui([&] { ReportRejected(); });
}

void TPrjItemLoadThread::Finished() {
  if (!Doc) return;
  if (!Doc->LayerItems().GetSelected()) Doc->LayerItems().SelectIndex(0);
  Doc->View().SetItemPanelRefresh(true);
  Doc->View().ShowItemPanel();
  // What came in is one step of the history.
  std::vector<TItemId> added;
  const std::set<TItemId> before(IdsBefore.begin(), IdsBefore.end());
  for (TItemId id : Doc->LayerItems().Order()) {
    if (!before.count(id)) added.push_back(id);
  }
  Doc->ItemsAdded(added);
  Doc->UpdateCommandStates();
  if (!FailureText.empty() && Dialogs) {
    Dialogs->Warn(kQuestionCaption, LoadFailedMessage(FailureText));
  }
  Doc->View().FocusWindow();
}

}  // namespace kalvane
