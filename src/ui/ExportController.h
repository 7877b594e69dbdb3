#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/Seams.h"
#include "export/ExportService.h"
#include "export/LayerToSwf.h"
#include "export/LocalServer.h"
#include "project/ProjectDocument.h"
#include "ui/WindowDialogs.h"

class QWidget;

namespace kalvane::ui {

class TExecProgress;
class TfrmShopExportDialog;
class TfrmTemplate;

// The editor's exports: asks what each needs, runs it on the export
// service behind a progress window, says what came of it, and serves the
// pages it opens from the loopback address.
class TExportController {
 public:
  // `settingsPath`: where the shop presets are kept; `templates`: the
  // design window the page set is chosen in.
  TExportController(TProjectDocument& document, IWindowDialogs& dialogs, IGuiDispatcher& dispatcher,
                    TfrmTemplate& templates, std::string settingsPath, QWidget* owner);
  ~TExportController();
  TExportController(const TExportController&) = delete;
  TExportController& operator=(const TExportController&) = delete;

  // A run started or ended (the commands follow); `Finished` once its
  // messages are read; `ShowStatus` a line for the status bar;
  // `WidthChanged` after the export width was confirmed.
  std::function<void()> StateChanged, Finished, WidthChanged;
  std::function<void(const QString&)> ShowStatus;

  void ExportPc();
  void ExportMobile();
  void ExportDesign();
  void HtmlPreview();
  // Frame sets, animations and videos, from the shops' presets.
  void ExportOther();

  bool Running() const { return Service.IsRunning(); }
  void Cancel() { Service.Cancel(); }
  // The width last confirmed, which the next export offers.
  int Width() const { return LastWidth; }
  TExecProgress* ProgressWindow() const { return Progress.get(); }
  TfrmShopExportDialog& ShopDialog() const { return *Shop; }

 private:
  void Start(const TExportRequest& request, std::function<void(const TExportOutcome&)> ended);
  std::optional<int> AskWidth();
  // `done` is the completion message (none for a page to open), `failed`
  // the first line of a failure.
  void Ended(const TExportOutcome& outcome, const std::string& done, const std::string& failed,
             bool openPage);
  void ShopEnded(const TExportOutcome& outcome, const TExportRequest& request);
  // The page opened in the browser from a loopback server of its folder.
  void OpenServed(TLocalServer& server, std::string& servedFolder, const std::string& page);
  void Repaint();

  TProjectDocument& Document;
  IWindowDialogs& Dialogs;
  TfrmTemplate& Templates;
  std::string SettingsPath;
  QWidget* Owner = nullptr;
  TfrmShopExportDialog* Shop = nullptr;
  int LastWidth = TSwfExportWidth::kDefault;
  std::string SiteFolder, PreviewFolder;
  TLocalServer SiteServer, PreviewServer;
  TExportService Service;
  std::unique_ptr<TExecProgress> Progress;
};

}  // namespace kalvane::ui
