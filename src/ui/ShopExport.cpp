// The editor's export of frame sets, animations and videos.
#include <QApplication>
#include <QDir>
#include <algorithm>
#include <filesystem>

#include "base/AppUtil.h"
#include "base/Texts.h"
#include "export/ExportAdvice.h"
#include "export/ExportTexts.h"
#include "export/ShopPresets.h"
#include "project/IniFile.h"
#include "ui/ExportController.h"
#include "ui/ProgressDialog.h"
#include "ui/ShopExportDialog.h"
#include "ui/Texts.h"
#include "ui/Wording.h"

namespace kalvane::ui {

namespace {

namespace fs = std::filesystem;

// {name} of a set and its zip: the project file's name, or for a project
// not saved yet the folder of its first photo.
std::string SetName(const TProjectDocument& document) {
  std::string name = fs::path(document.ProjectPath()).stem().string();
  if (name.empty() && document.LayerItems().Count() > 0) {
    const std::string photo = document.LayerItems().GetItem(0)->GetFileName();
    name = fs::path(photo).parent_path().filename().string();
  }
  return name.empty() ? "kalvane" : name;
}

std::string StartFolder(const TProjectDocument& document) {
  if (!document.ProjectPath().empty()) return GetFolderOf(document.ProjectPath());
  return QDir::homePath().toStdString();
}

// What the message after a set names: the zip, or the folder and the
// first and last file.
std::string Written(const TExportOutcome& outcome, const TExportRequest& request) {
  std::string text;
  if (request.Kind == TExportKind::FrameSet && !request.Set.Zip) {
    text = WithTrailingSlash(request.Output) + "\r" + ExtractName(outcome.Frames.front());
    if (outcome.Frames.size() > 1) text += " … " + ExtractName(outcome.Frames.back());
  } else {
    // A file, or a video and the animation beside it.
    for (const std::string& file : outcome.Frames)
      text += (text.empty() ? "" : "\r") + file;
  }
  const std::size_t frames =
      request.Kind == TExportKind::FrameSet ? static_cast<std::size_t>(request.Set.Count) : 0;
  return text + "\r" + std::to_string(outcome.Width) + " × " + std::to_string(outcome.Height) +
         " px" + (frames > 0 ? "・" + std::to_string(frames) + "枚" : "");
}

}  // namespace

void TExportController::ExportOther() {
  if (Document.LayerItems().Count() == 0 || Running()) return;
  const std::string settings = SettingsPath;
  std::vector<TShopPreset> presets = DefaultShopPresets();
  int selected = 0;
  LoadShopPresets(TIniFile::Load(settings), presets, selected);
  Shop->SetPresets(std::move(presets), selected);
  Shop->SetItemCount(Document.LayerItems().Count());
  Shop->SetCut(ProjectCut(Document));
  Shop->exec();
  Repaint();
  if (!Shop->Confirmed()) return;
  // The settings as confirmed stay for the next time, whatever comes of
  // the export; the file's other keys are kept.
  TIniFile file = TIniFile::Load(settings);
  SaveShopPresets(file, Shop->Presets(), Shop->Selected());
  file.Save(settings);

  const TShopPreset& preset = Shop->Presets()[static_cast<std::size_t>(Shop->Selected())];
  const std::string name = SetName(Document);
  std::optional<std::string> output;
  if (preset.Kind == TShopPreset::TKind::FrameSet) {
    output = Dialogs.PickFolder(kShopPickFolder, StartFolder(Document));
  } else if (preset.Kind == TShopPreset::TKind::Video) {
    // Shopify's pair is named once: NAME.mp4 and NAME.webp beside it.
    const bool webm = !preset.WithWebp && preset.VideoFormat == "webm";
    output = Dialogs.PickSaveFile(webm ? kShopWebmFilter : kShopMp4Filter,
                                  name + (webm ? ".webm" : ".mp4"), webm ? "webm" : "mp4");
  } else {
    const bool gif = preset.AnimationFormat == "gif";
    output = Dialogs.PickSaveFile(gif ? kShopGifFilter : kShopWebpFilter,
                                  name + (gif ? ".gif" : ".webp"), gif ? "gif" : "webp");
  }
  if (!output) return;
  Repaint();
  TExportRequest request;
  if (const TResult made = MakeShopRequest(preset, *output, name, request); !made.Ok()) {
    Dialogs.ShowError(kErrorCaption, std::string(kShopFailed) + "\r" + kShopSettingRefused + "\r" +
                                         JapaneseMessage(made.Error).toStdString());
    return;
  }
  if (request.Kind == TExportKind::FrameSet) {
    request.Set.Count = Shop->FrameCount();
    if (request.Set.Count == 0) request.Set.Count = Document.LayerItems().Count();
  }
  Start(request, [this, request](const TExportOutcome& outcome) { ShopEnded(outcome, request); });
}

void TExportController::ShopEnded(const TExportOutcome& outcome, const TExportRequest& request) {
  if (StateChanged) StateChanged();
  const bool halfPair = !outcome.Ok() && request.Kind == TExportKind::Video &&
                        !request.Animation.Output.empty() && !outcome.Frames.empty();
  if (halfPair) {
    // The video was written, its animation not: say which is new.
    const bool cancelled = outcome.Code == TErrorCode::Cancelled;
    std::string text = cancelled
                           ? kShopPairCancelled
                           : std::string(kShopFailed) + "\r" + ExportFailureText(outcome.Code) +
                                 "\r" + ExportFailureDetail(outcome).toStdString();
    text += "\r\r" + std::string(kShopPairWritten);
    for (const std::string& file : outcome.Frames)
      text += "\r" + file;
    text += "\r\r" + std::string(kShopPairNotWritten) + "\r" + request.Animation.Output;
    if (cancelled)
      Dialogs.Warn(kQuestionCaption, text);
    else
      Dialogs.ShowError(kErrorCaption, text);
  } else if (!outcome.Ok()) {
    if (outcome.Code != TErrorCode::Cancelled) {
      const char* why = outcome.Code == TErrorCode::BadSetting ? kShopSettingRefused
                                                               : ExportFailureText(outcome.Code);
      Dialogs.ShowError(kErrorCaption, std::string(kShopFailed) + "\r" + why + "\r" +
                                           ExportFailureDetail(outcome).toStdString());
    }
  } else {
    if (!outcome.Warnings.empty()) {
      std::string text = kDamagedPhotos;
      for (const std::string& warning : outcome.Warnings)
        text += "\r" + warning;
      Dialogs.Warn(kErrorCaption, text);
    }
    const char* done = request.Kind == TExportKind::Animation ? kShopAnimationDone
                       : request.Kind == TExportKind::Video   ? kShopVideoDone
                       : request.Set.Zip                      ? kShopZipDone
                                                              : kShopSetDone;
    std::string text = std::string(done) + "\r\r" + Written(outcome, request);
    // Said in the dialog before, and again beside what it made.
    const TSize cut = outcome.Enlargement.Cut;
    const bool set = request.Kind == TExportKind::FrameSet;  // sized by the longer side
    const int largest = set ? std::max(cut.Width, cut.Height) : cut.Width;
    if (const QString enlarged = EnlargedText(outcome.Enlargement, largest); !enlarged.isEmpty())
      text += "\r\r" + enlarged.toStdString();
    // The set is written either way; the table says what a shop would refuse.
    if (const auto& check = outcome.MarketCheck)
      text += "\r\r" + MarketCheckText(*check).replace('\n', '\r').toStdString();
    Dialogs.Inform(kDoneCaption, text);
  }
  if (Finished) Finished();
}

}  // namespace kalvane::ui
