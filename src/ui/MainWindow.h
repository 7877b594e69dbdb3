#pragma once

#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "document/AutoAlign.h"
#include "project/Commands.h"
#include "project/ProjectDocument.h"
#include "project/SystemStatus.h"
#include "qt/QtDispatcher.h"
#include "ui/ActionRegistry.h"
#include "ui/DataPreview.h"
#include "ui/MainMenus.h"
#include "ui/MainWindowPlace.h"
#include "ui/WindowDialogs.h"

class QAction;
class QUndoStack;

namespace kalvane::ui {

class TflmLayerList;
class TItemPanel;
class TWorkArea;
class TfrmSwfExportDialog;
class TfrmTemplate;
class TUndoHistory;
class TAlignController;
class TExportController;
class TLoaderController;
class TProjectController;
class TItemCommands;
class THelpCommands;

// The main window: the command surface over the one project document. It
// shows the document (IProjectView), enables its commands from the
// document's state (ICommandView), keeps the history of the document's
// changes, and routes the commands to the controllers that run them.
class TfrmMain : public QMainWindow, public IProjectView, public ICommandView, public IPreviewHost {
  Q_OBJECT
 public:
  // `dialogs`: the questions and pickers (Qt's own when none is given);
  // `settingsPath`: the settings file (the user's when empty).
  explicit TfrmMain(IWindowDialogs* dialogs = nullptr, const std::string& settingsPath = "",
                    const std::vector<std::string>& arguments = {});
  ~TfrmMain() override;

  TProjectDocument& Document() { return *document; }
  TWorkArea& Workarea() { return *pnlMain; }
  bool LoaderRunning() const;
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

  TExportController& Exports() { return *Exporter; }
  TfrmTemplate& Template() { return *TemplateWindow; }
  TAlignController& Alignment() { return *Aligner; }
  // The project commands.
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
  void wheelEvent(QWheelEvent* event) override;

 private:
  void BuildPanels();
  void MakeControllers();
  void RouteCommands();
  void MonoToggled(bool on);
  void DensityChanged(int position);
  void PreviewToggled(bool on);
  void FrameRateChanged();
  void DeleteGuides();
  void AlignBox();
  void AlignDraw();
  void StartAlign(const TAlignRegion& region);
  void ItemsChanged();
  void LoaderEnded();
  // Closes the window once the work on a worker has ended, when a close
  // waits for it.
  void CloseIfWaiting();

  TActionRegistry Commands;
  TViewState View;
  std::unique_ptr<TProjectDocument> document;
  qt::TQtDispatcher Dispatcher;
  std::unique_ptr<IWindowDialogs> OwnDialogs;
  IWindowDialogs* Dialogs = nullptr;
  TfrmSwfExportDialog* WidthDialog = nullptr;
  TMainWindowPlace Place;
  TSystemStatus Status;
  TfrmTemplate* TemplateWindow = nullptr;
  std::unique_ptr<TExportController> Exporter;
  TDataPreview DataPreview;
  TUndoHistory* History = nullptr;
  std::unique_ptr<TAlignController> Aligner;
  std::unique_ptr<TLoaderController> Loader;
  std::unique_ptr<TProjectController> Projects;
  std::unique_ptr<TItemCommands> ItemCommands;
  std::unique_ptr<THelpCommands> Help;

  TMainMenus Menus;
  TWorkArea* pnlMain = nullptr;
  TItemPanel* Items = nullptr;
  TflmLayerList* flmLayer = nullptr;  // the panel's list

  bool CloseWhenIdle = false;
  bool FirstShow = true;
};

}  // namespace kalvane::ui
