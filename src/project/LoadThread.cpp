#include "project/LoadThread.h"

#include <filesystem>

#include "document/LayerManagement.h"
#include "imaging/AppUtil.h"
#include "project/ProjectFile.h"

namespace kalvane {

namespace {

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

}  // namespace

std::string ProjectCaption(const std::string& projectPath) {
  return "Kalvane (" + projectPath + ")";
}

std::string RejectedMessage(int count) {
  return "登録できなかったファイルが" + std::to_string(count) +
         "個ありました。\r同一ファイル名などのアイテムは登録出来ません。";
}

TLoadThread::~TLoadThread() {
  Wait();
}

void TLoadThread::Run() {
  Body();
  Finished();
}

void TLoadThread::Start(std::function<void()> onEnd) {
  Wait();
  Worker = std::thread([this, onEnd = std::move(onEnd)] {
    Body();
    OnGui([&] {
      Finished();
      if (onEnd) onEnd();
    });
  });
}

void TLoadThread::Wait() {
  if (Worker.joinable()) Worker.join();
}

void TLoadThread::ShowProgress(int minimum, int maximum) {
  OnGui([&] {
    Progress = Window->CreateProgress();
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
  if (ScaleChosen || Window->LayerItems().Count() > 0) return;
  const double scale = GetFitScale(path);
  if (scale > 0) {
    Window->LayerItems().SetItemScale(scale);
    ScaleChosen = true;
  }
}

bool TLoadThread::IsNewName(const std::string& name) const {
  return IsNewItemName(name, Window->LayerItems()) && ScheduledNames.count(name) == 0;
}

void TLoadThread::Schedule(const std::string& name, const std::string& path,
                           std::function<int()> position,
                           std::function<void(TLayerItemObject&)> prepare) {
  ScheduledNames.insert(name);
  TLayerManagement& items = Window->LayerItems();
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
  if (!decoded.Item->HasImage()) {
    Reject(decoded.Path, decoded.Item->LoadError());
    return;
  }
  // Prepared before it joins the list, so the overlay that the insertion
  // builds already shows it in place.
  if (decoded.Prepare) decoded.Prepare(*decoded.Item);
  Window->LayerItems().InsertCreated(std::move(decoded.Item), decoded.Position());
}

void TLoadThread::FinishScheduled() {
  Decoding.Finish([this](std::shared_ptr<TDecoded> decoded) { Deliver(*decoded); });
  ScheduledNames.clear();
}

void TLoadThread::Reject(const std::string& path, const std::string& reason) {
  RejectedFiles.push_back({path, reason});
}

void TLoadThread::ReportRejected(int count) {
  if (count > 0 && Dialogs) Dialogs->Warn(kQuestionCaption, RejectedMessage(count));
}

// ---- project load ----------------------------------------------------------

std::string TPrjLoadThread::Resolve(const std::string& stored, bool moreFollow) {
  if (FileExists(stored)) return stored;
  const std::string f = ExtractName(stored);
  const std::string title = f + "が見つかりません。適切なファイルを指示してください。";
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
    if (Dialogs->AskYesNo(kQuestionCaption, "以後の画像ファイルも同じフォルダから検索しますか？")) {
      SearchFolder = GetFolderOf(*picked);
    }
    if (Progress) Progress->ShowProgress();
  } else {
    SearchFolder = GetFolderOf(*picked);
  }
  return *picked;
}

void TPrjLoadThread::Body() {
  if (!Window || !Dialogs || ProjectPath.empty()) return;
  const TProjectContent content = ReadProjectContent(TIniFile::Load(ProjectPath));
  const std::int32_t itemCount = content.ItemCount;
  OnGui([&] {
    AddProjectGuides(Window->GuideLines(), content.Guides);
    Window->TrimBox().SetRelBox(content.Box);
    if (itemCount != -1 && itemCount != 0) {
      Window->HideItemPanel();
      Window->SetItemPanelRefresh(false);
      SearchFolder.clear();
    }
  });
  ShowProgress(1 < itemCount ? 1 : 0, itemCount > 0 ? itemCount : 0);
  // The rotation is applied to the whole list at the end. Storing it now, in
  // the still empty list, lets each photo be turned as it is decoded, on
  // the workers; the final SetRotation then finds every item turned already
  // and leaves the same items as turning them all at the end.
  if (Window->LayerItems().Count() == 0) Window->LayerItems().SetRotation(content.Rotation);

  // Entries past the last projectItem section hold nothing; a count of two
  // billion must not step the bar two billion times.
  const std::int32_t last =
      content.Items.empty() ? 0 : std::min(itemCount, content.Items.back().Index + 1);
  std::size_t next = 0;
  for (std::int32_t i = 0; i < last; ++i) {
    StepProgress();
    if (next < content.Items.size() && content.Items[next].Index == i) {
      const TProjectItemEntry& entry = content.Items[next++];
      std::string resolved;
      OnGui([&] { resolved = Resolve(entry.Name, i + 1 != itemCount); });
      if (resolved.empty()) {
        MissingPath = entry.Name;
        FinishScheduled();
        HideProgress();
        return;
      }
      ChooseScale(resolved);
      const std::string name = ExtractName(resolved);
      if (IsNewName(name)) {
        const TPoint offset{entry.X, entry.Y};
        TLayerManagement& items = Window->LayerItems();
        Schedule(
            name, resolved, [&items] { return items.Count(); },
            [offset](TLayerItemObject& item) { item.SetOffset(offset); });
      }
    }
    if (Cancelled) break;
  }
  FinishScheduled();
  HideProgress();
  OnGui([&] {
    ReportRejected(static_cast<int>(RejectedFiles.size()));
    Window->RepaintWindow();
    Window->LayerItems().SelectIndex(0);
    Window->LayerItems().SetRotation(content.Rotation);
    Window->SetItemPanelRefresh(true);
    Window->ShowItemPanel();
    Window->SetCaption(ProjectCaption(ProjectPath));
  });
}

void TPrjLoadThread::Finished() {
  if (!Window) return;
  const bool moved = !SearchFolder.empty();
  if (Cancelled) {
    Window->ResetProject();
    Window->UpdateCommandStates();
    Window->SetCaption("Kalvane ");
  } else {
    Window->UpdateCommandStates();
  }
  if (moved) {
    Window->MarkModified();
  } else {
    Window->MarkSaved();
  }
  if (!Cancelled) Window->FocusWindow();
}

// ---- adding images ---------------------------------------------------------

void TPrjItemLoadThread::Body() {
  if (!Window) return;
  Cancelled = false;
  ShowProgress(0, static_cast<int>(Files.size()));
  TLayerManagement& items = Window->LayerItems();
  TLayerItemObject* anchor = InsertMode ? items.GetSelected() : nullptr;
  RejectedCount = 0;
  for (const std::string& path : Files) {
    StepProgress();
    ChooseScale(path);
    if (IsImageFile(path)) {
      const std::string name = ExtractName(path);
      if (!IsNewName(name)) {
        ++RejectedCount;
      } else {
        // Without a current item there is no anchor: the photo is appended.
        Schedule(name, path,
                 [&items, anchor] { return anchor ? anchor->GetIndex() + 1 : items.Count(); });
      }
    }
    if (Cancelled) break;
  }
  FinishScheduled();
  RejectedCount += static_cast<int>(RejectedFiles.size());
  HideProgress();
  OnGui([&] { ReportRejected(RejectedCount); });
}

void TPrjItemLoadThread::Finished() {
  if (!Window) return;
  if (!Window->LayerItems().GetSelected()) Window->LayerItems().SelectIndex(0);
  Window->SetItemPanelRefresh(true);
  Window->ShowItemPanel();
  Window->UpdateCommandStates();
  Window->MarkModified();
  Window->FocusWindow();
}

}  // namespace kalvane
