#pragma once

#include <QMainWindow>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/AutoAlign.h"
#include "export/ExportService.h"
#include "export/LayerToSwf.h"
#include "export/LocalServer.h"
#include "project/Commands.h"
#include "project/ProjectDocument.h"
#include "project/ProjectFlows.h"
#include "project/SettingsWindows.h"
#include "project/SystemStatus.h"
#include "qt/QtDispatcher.h"
#include "ui/ActionRegistry.h"
#include "ui/DataPreview.h"
#include "ui/MainMenus.h"
#include "ui/WindowDialogs.h"

class QAction;
class QUndoStack;

namespace kalvane {
class TLoadThread;
}

namespace kalvane::ui {

class TflmLayerList;
class TItemPanel;
class TWorkArea;
class TfrmSwfExportDialog;
class TfrmShopExportDialog;
class TExecProgress;
class TfrmTemplate;
class TUndoHistory;
class TAlignController;
class TExportController;

// The main window: the command surface over the one project document. It
// shows the document (IProjectView), enables its commands from the
// document's state (ICommandView), keeps the history of the document's
// changes and has its place kept in the settings.
class TfrmMain : public QMainWindow,
                 public IProjectView,
                 public ICommandView,
                 public IMainWindowSettings,
                 public IPreviewHost {
  Q_OBJECT
 public:
  // `dialogs`: the questions and pickers (Qt's own when none is given);
  // `settingsPath`: the settings file (the user's when empty).
  explicit TfrmMain(IWindowDialogs* dialogs = nullptr, const std::string& settingsPath = "",
                    const std::vector<std::string>& arguments = {});
  ~TfrmMain() override;

  TProjectDocument& Document() { return *document; }
  TWorkArea& Workarea() { return *pnlMain; }
  bool LoaderRunning() const { return Loader != nullptr; }
  bool ExportRunning() const;
  bool ImageLocked() const { return View.ImageLocked; }
  // The command's action: what menus, buttons and keys trigger.
  QAction& Action(TCommandId id) const { return Commands.Action(id); }
  TDataPreview& Preview() { return DataPreview; }
  TWorkArea& WorkArea() { return *pnlMain; }
  TflmLayerList& LayerList() { return *flmLayer; }

  // IProjectView
  void SetCaption(const std::string& caption) override;
  void SetItemPanelRefresh(bool on) override;
  void ShowItemPanel() override;
  void HideItemPanel() override;
  void RepaintWorkArea() override;
  void RepaintWindow() override;
  void FocusWindow() override;
  std::unique_ptr<IProgress> CreateProgress() override;
  void ShowWarning(const std::string& text) override;
  // ICommandView: every command's state from the document's.
  void CommandStatesChanged() override { UpdateCommands(); }
  void UpdateCommands();
  TCommandContext CommandContext() const;

  QUndoStack& UndoStack();
  // IPreviewHost
  TProjectDocument& PreviewDocument() override { return *document; }
  TViewState& PreviewView() override { return View; }
  void PreviewStateChanged() override;
  void ShowItemList(bool shown) override;
  void RepaintCanvas() override;
  // IMainWindowSettings
  TWindowBounds Bounds() const override;
  void SetLeft(int left) override;
  void SetTop(int top) override;
  void SetWidth(int width) override;
  void SetHeight(int height) override;
  bool IsNormalState() const override;

  TExportController& Exports() { return *Exporter; }
  TfrmTemplate& Template() { return *TemplateWindow; }
  TAlignController& Alignment() { return *Aligner; }
  // The project flows.
  void OpenProject(const std::string& path, bool ask = true);
  void AddImages(std::vector<std::string> files);
  void DropFiles(const std::vector<std::string>& paths);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  // What the commands run (the registry routes each id to one).
  void NewProject();
  void AskOpenProject();
  void Save();
  void SaveAs();
  void FrameRateChanged();
  void PickAndAddImages();
  void DeleteItem();
  void DeleteAllItems();
  void MoveUp();
  void MoveDown();
  void Reverse();
  void RotateLeft();
  void RotateRight();
  void ShowAllInMono();
  void ShowNoneInMono();
  void ShowNeighboursInMono();
  void DensityChanged(int position);
  void DeleteGuides();
  void AlignWhole();
  void AlignBox();
  void AlignDraw();
  void ShowAbout();
  void ShowViewerHelp();
  void ShowHelp();
  void OpenSample();
  void StartConvertTool();
  void BuildPanels();
  void RouteCommands();
  void ViewToggled(bool TViewState::*flag, bool on);
  void MonoToggled(bool on);
  void PreviewToggled(bool on);
  void UndoTextChanged();
  void StartAlign(const TAlignRegion& region);
  void ItemsChanged();
  void StartLoader(std::shared_ptr<TLoadThread> loader);
  void LoaderEnded();
  TProjectFlows& Flows();
  void OpenCommandLineFile();
  void CheckMobileTools();
  void ShowFirstRunWelcome();

  TActionRegistry Commands;
  TViewState View;
  std::unique_ptr<TProjectDocument> document;
  qt::TQtDispatcher Dispatcher;
  std::unique_ptr<IWindowDialogs> OwnDialogs;
  IWindowDialogs* Dialogs = nullptr;
  TfrmSwfExportDialog* WidthDialog = nullptr;
  TSystemStatus Status;
  TfrmTemplate* TemplateWindow = nullptr;
  std::unique_ptr<TExportController> Exporter;
  TDataPreview DataPreview;
  std::shared_ptr<TLoadThread> Loader;
  TUndoHistory* History = nullptr;
  std::unique_ptr<TAlignController> Aligner;
  std::unique_ptr<IFlowQuestions> FlowQuestions;
  std::unique_ptr<TProjectFlows> ProjectFlows;

  TMainMenus Menus;
  TWorkArea* pnlMain = nullptr;
  TItemPanel* Items = nullptr;
  TflmLayerList* flmLayer = nullptr;  // the panel's list

  std::string commandLineFile;
  bool CloseWhenIdle = false;
  bool FirstShow = true;
};

}  // namespace kalvane::ui
