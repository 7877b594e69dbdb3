#include "ui/ExportController.h"

#include <QWidget>

#include "base/AppUtil.h"
#include "base/Texts.h"
#include "export/ExportTexts.h"
#include "export/HtmlPreview.h"
#include "export/PageSetFolder.h"
#include "ui/ProgressDialog.h"
#include "ui/ShopExportDialog.h"
#include "ui/TemplateWindow.h"
#include "ui/Texts.h"
#include "ui/Wording.h"

namespace kalvane::ui {

TExportController::TExportController(TProjectDocument& document, IWindowDialogs& dialogs,
                                     IGuiDispatcher& dispatcher, TfrmTemplate& templates,
                                     std::string settingsPath, QWidget* owner)
    : Document(document),
      Dialogs(dialogs),
      Templates(templates),
      SettingsPath(std::move(settingsPath)),
      Owner(owner),
      Shop(new TfrmShopExportDialog(owner)),
      Service(document, dispatcher) {}

TExportController::~TExportController() = default;

void TExportController::Repaint() {
  Owner->repaint();
}

// Every export runs on the service's worker with a progress window of its own.
void TExportController::Start(const TExportRequest& request,
                              std::function<void(const TExportOutcome&)> ended) {
  Progress = std::make_unique<TExecProgress>(Owner);
  // Offered only by the exports that can stop between frames.
  Progress->SetOnCancel([this] { Service.Cancel(); });
  Service.SetProgress(Progress.get());
  Service.Start(request, std::move(ended));
  if (StateChanged) StateChanged();
}

void TExportController::ExportPc() {
  if (Document.LayerItems().Count() == 0 || Running()) return;
  const std::optional<int> width = AskWidth();
  if (!width) return;
  const std::optional<std::string> file = Dialogs.PickSaveFile(kSwfFilter, "veldata.swf", "swf");
  if (!file) return;
  Repaint();
  TExportRequest request;
  request.Output = *file;
  request.Width = *width;
  Start(request, [this](const TExportOutcome& outcome) {
    Ended(outcome, kPcExportDone, kPcExportFailed, false);
  });
}

void TExportController::ExportMobile() {
  if (Document.LayerItems().Count() == 0 || Running()) return;
  const std::optional<std::string> file = Dialogs.PickSaveFile(kSwfFilter, "velmobile.swf", "swf");
  if (!file) return;
  Repaint();
  TExportRequest request;
  request.Kind = TExportKind::Mobile;
  request.Output = *file;
  Start(request, [this](const TExportOutcome& outcome) {
    // the message depends on the size: phones may not play 100000 bytes or more
    Ended(outcome, MobileDoneText(GetFileSizeOf(outcome.Movie)), kMobileExportFailed, false);
  });
}

std::optional<int> TExportController::AskWidth() {
  const std::optional<int> width = Dialogs.AskExportWidth();
  // The dialog offers the confirmed width again; the status line shows
  // the box at it.
  if (width) {
    LastWidth = *width;
    if (WidthChanged) WidthChanged();
  }
  return width;
}

void TExportController::HtmlPreview() {
  if (Document.LayerItems().Count() == 0 || Running()) return;
  const std::optional<int> width = AskWidth();
  if (!width) return;
  TExportRequest request;
  request.Kind = TExportKind::HtmlPreview;
  request.Width = *width;
  Start(request,
        [this](const TExportOutcome& outcome) { Ended(outcome, "", kPreviewFailed, true); });
}

void TExportController::ExportDesign() {
  if (Document.LayerItems().Count() == 0 || Running()) return;
  Templates.SetProject(Document.ProjectPath());
  Templates.exec();
  const TfrmTemplate::TResult chosen = Templates.GetResult();
  Repaint();
  if (chosen.Folder.empty()) return;
  // An earlier page set of ours is replaced unasked; anything else only
  // when the user agrees.
  const TPageSetFolder target(chosen.Folder);
  const std::vector<std::string> foreign =
      target.Foreign(TPageSetFolder::SetFiles(chosen.DesignFolder));
  if (!foreign.empty()) {
    constexpr std::size_t kNamed = 10;
    std::string text = std::string(kAskReplaceFiles) + "\r\r" + target.Path();
    for (std::size_t i = 0; i < foreign.size() && i < kNamed; ++i)
      text += "\r" + foreign[i];
    if (foreign.size() > kNamed) {
      text +=
          "\r" +
          QString::asprintf(kAndMoreFiles, static_cast<int>(foreign.size() - kNamed)).toStdString();
    }
    if (!Dialogs.AskYesNo(kQuestionCaption, text)) return;
  }
  const std::optional<int> width = AskWidth();
  if (!width) {
    Dialogs.Inform(kQuestionCaption, kDesignExportCancelled);
    return;
  }
  TExportRequest request;
  request.Kind = TExportKind::PageSet;
  request.Output = chosen.Folder;
  request.Design = chosen.DesignFolder;
  request.UseHelp = chosen.UseHelp;
  request.Title = chosen.Title;
  request.Description = chosen.Description;
  request.Viewer = chosen.Viewer;
  request.Overwrite = !foreign.empty();
  request.Width = *width;
  Start(request, [this, open = chosen.OpenAfter](const TExportOutcome& outcome) {
    Ended(outcome, kDesignExportDone, kDesignExportFailed, open);
  });
}

void TExportController::Ended(const TExportOutcome& outcome, const std::string& done,
                              const std::string& failed, bool openPage) {
  if (StateChanged) StateChanged();
  if (outcome.Ok() && !outcome.Warnings.empty()) {
    std::string text = kDamagedPhotos;
    for (const std::string& warning : outcome.Warnings)
      text += "\r" + warning;
    Dialogs.Warn(kErrorCaption, text);
  }
  // Not for the preview, which is there to be looked at.
  if (const QString enlarged = EnlargedText(outcome.Enlargement, outcome.Enlargement.Cut.Width);
      outcome.Ok() && !done.empty() && !enlarged.isEmpty())
    Dialogs.Warn(kQuestionCaption, enlarged.toStdString());
  if (!outcome.Ok()) {
    if (outcome.Code != TErrorCode::Cancelled) {
      Dialogs.ShowError(kErrorCaption, failed + "\r" + ExportFailureText(outcome.Code) + "\r" +
                                           ExportFailureDetail(outcome).toStdString());
    }
  } else if (openPage && !outcome.Page.empty()) {
    // A page opened from disk may not read its data file: its folder is
    // served on the loopback address while the editor runs.
    const bool preview = GetFolderOf(outcome.Page) == THtmlPreview().Folder();
    OpenServed(preview ? PreviewServer : SiteServer, preview ? PreviewFolder : SiteFolder,
               outcome.Page);
  } else if (!done.empty()) {
    Dialogs.Inform(kDoneCaption, done);
  }
  if (Finished) Finished();
}

void TExportController::OpenServed(TLocalServer& server, std::string& servedFolder,
                                   const std::string& page) {
  const std::string folder = GetFolderOf(page);
  if (servedFolder != folder || server.Port() == 0) {
    const TResult started = server.Start(folder);
    if (!started.Ok()) {
      Dialogs.ShowError(kErrorCaption, started.Error);
      return;
    }
    servedFolder = folder;
  }
  const std::string url = server.Url(ExtractName(page));
  if (ShowStatus) ShowStatus(QString::fromUtf8(kServedAt) + QString::fromStdString(url));
  Dialogs.OpenDocument(url);
}

}  // namespace kalvane::ui
