#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QScrollArea>
#include <QSlider>
#include <QStatusBar>
#include <QUndoStack>
#include <QVBoxLayout>

#include "base/AppUtil.h"
#include "base/Round.h"
#include "base/Texts.h"
#include "project/ProjectTexts.h"
#include "ui/AlignController.h"
#include "ui/ExportController.h"
#include "ui/HelpCommands.h"
#include "ui/ItemCommands.h"
#include "ui/ItemPanel.h"
#include "ui/LayerList.h"
#include "ui/LoaderController.h"
#include "ui/ProgressDialog.h"
#include "ui/ProjectController.h"
#include "ui/QtDialogs.h"
#include "ui/SwfExportDialog.h"
#include "ui/TemplateWindow.h"
#include "ui/Texts.h"
#include "ui/UndoHistory.h"
#include "ui/WorkArea.h"

namespace kalvane::ui {

namespace {

QString U(const char* text) {
  return QString::fromUtf8(text);
}

}  // namespace

TfrmMain::TfrmMain(IWindowDialogs* dialogs, const std::string& settingsPath,
                   const std::vector<std::string>& arguments)
    : Commands(this),
      document(std::make_unique<TProjectDocument>()),
      WidthDialog(new TfrmSwfExportDialog(this)),
      Place(*this),
      Status(settingsPath.empty() ? GetUserDataFolder() + "velinit" : settingsPath,
             GetTemplateFolder()) {
  setObjectName("frmMain");
  if (!dialogs) OwnDialogs = std::make_unique<TQtDialogs>(this, WidthDialog);
  Dialogs = dialogs ? dialogs : OwnDialogs.get();
  QApplication::setApplicationName(kAppTitle);
  setAcceptDrops(true);
  Menus.Build(*this, Commands, View);
  Menus.BuildToolBar(*this, Commands);
  BuildPanels();
  // The toggles' captions fit even where the font is wider than the
  // window's design size allows for.
  setMinimumSize(std::max(642, minimumSizeHint().width()), 452);
  resize(minimumWidth(), 480);

  TProjectDocument& doc = *document;
  doc.SetView(this);
  DataPreview.SetHost(this);
  pnlMain->OnPopup = [this](const QPoint& at) { Menus.Popup->popup(at); };
  pnlMain->OnLockedMove = [this] { statusBar()->showMessage(U(kImageLockedHint), 8000); };
  pnlMain->KeysToList = [list = QPointer<QWidget>(flmLayer)] {
    const QWidget* focused = QApplication::focusWidget();
    return list && focused && (focused == list || list->isAncestorOf(focused));
  };
  connect(qApp, &QApplication::focusChanged, pnlMain, [work = pnlMain] { work->ShowStatus(); });
  pnlMain->WatchSpaceKey();

  // The history: every step goes through the document's operations, and
  // its clean index is the save point.
  History = new TUndoHistory(doc, this);
  doc.SetHistory(History);
  QUndoStack& stack = History->UndoStack();
  connect(&stack, &QUndoStack::indexChanged, this, &TfrmMain::UpdateCommands);
  flmLayer->SetLayerManagement(&doc.LayerItems());
  doc.LayerItems().SetChangeHandler(2, [this](TLayerManagement&) { ItemsChanged(); });
  doc.LayerItems().SetMonoMode(0);
  doc.LayerItems().SetItemScale(0.4);
  flmLayer->SetAutoRefresh(true);
  doc.LayerItems().SelectIndex(0);

  Status.SetMainWindow(&Place);
  TemplateWindow = new TfrmTemplate(*Dialogs, GetTemplateFolder(), this);
  Status.SetTemplateWindow(TemplateWindow);
  TemplateWindow->SetSettingsPath(Status.GetSettingsPath());
  MakeControllers();
  RouteCommands();
  SetCaption(kNoProjectCaption);
  Items->Density->setValue(RoundInt(doc.LayerItems().GetDensity() * 100));
  if (arguments.size() == 1) Projects->SetCommandLineFile(arguments.front());
  doc.SetCommandView(this);
  doc.MarkSaved();
  History->NameActions(Commands.Action(TCommandId::Undo), Commands.Action(TCommandId::Redo));
}

// The controllers the commands run on; each tells the window when its
// state changed, and a close that waits for the work ends with it.
void TfrmMain::MakeControllers() {
  TProjectDocument& doc = *document;
  Aligner = std::make_unique<TAlignController>(doc, *Dialogs, Dispatcher, this);
  Aligner->StateChanged = [this] {
    flmLayer->RefreshRows();
    UpdateCommands();
  };
  Aligner->Finished = [this] { CloseIfWaiting(); };
  Exporter = std::make_unique<TExportController>(doc, *Dialogs, Dispatcher, *TemplateWindow,
                                                 Status.GetSettingsPath(), this);
  Exporter->StateChanged = [this] {
    setEnabled(true);
    UpdateCommands();
  };
  Exporter->Finished = [this] { CloseIfWaiting(); };
  Exporter->WidthChanged = [this] { pnlMain->ShowStatus(); };
  Exporter->ShowStatus = [this](const QString& text) { statusBar()->showMessage(text); };
  Loader = std::make_unique<TLoaderController>(doc, *Dialogs, Dispatcher);
  Loader->Started = [this] { UpdateCommands(); };
  Loader->Ended = [this] { LoaderEnded(); };
  Projects = std::make_unique<TProjectController>(doc, *Dialogs, *Loader);
  ItemCommands = std::make_unique<TItemCommands>(doc, *Dialogs);
  Help = std::make_unique<THelpCommands>(*Dialogs, GetAppFolder(), GetDataFolder(),
                                         GetUserDataFolder());
}

bool TfrmMain::LoaderRunning() const {
  return Loader && Loader->Running();
}

bool TfrmMain::ExportRunning() const {
  return Exporter && Exporter->Running();
}

void TfrmMain::CloseIfWaiting() {
  if (CloseWhenIdle) close();
}

TfrmMain::~TfrmMain() {
  Aligner.reset();
  // The history and the document's listeners point into this window, and
  // the focus moves while its widgets go, after the document.
  disconnect(&History->UndoStack(), nullptr, this, nullptr);
  disconnect(qApp, &QApplication::focusChanged, pnlMain, nullptr);
  document->SetCommandView(nullptr);
  document->SetHistory(nullptr);
  document->LayerItems().SetChangeHandler(1, nullptr);
  document->LayerItems().SetChangeHandler(2, nullptr);
}

void TfrmMain::BuildPanels() {
  auto* central = new QWidget(this);
  central->setObjectName("pnlClient");
  setCentralWidget(central);
  Items = new TItemPanel(Commands, central);
  flmLayer = Items->List;
  flmLayer->AddImages = [this] { Projects->PickAndAddImages(); };
  flmLayer->DeleteItem = [this] { ItemCommands->DeleteItem(); };
  flmLayer->MoveUp = [this] { ItemCommands->MoveUp(); };
  flmLayer->MoveDown = [this] { ItemCommands->MoveDown(); };
  flmLayer->MoveTo = [this](int from, int to) {
    // As the up and down commands: never while the items are in use.
    if (LoaderRunning() || ExportRunning() || Aligner->Running() || View.Previewing) return;
    if (const TLayerItemObject* item = document->LayerItems().GetItem(from))
      document->MoveItemTo(item->GetId(), to);
  };
  flmLayer->DoubtOf = [this](std::uint64_t id) -> std::optional<int> {
    const auto found = Aligner->Doubtful().find(id);
    if (found == Aligner->Doubtful().end()) return std::nullopt;
    return found->second;
  };
  connect(Items->Density, &QSlider::valueChanged, this, &TfrmMain::DensityChanged);

  pnlMain = new TWorkArea(*document, View, central);
  auto* right = new QVBoxLayout;
  right->addWidget(pnlMain, 1);
  right->addLayout(TMainMenus::ToggleRow(this, Commands));
  auto* layout = new QHBoxLayout(central);
  layout->setContentsMargins(0, 0, 2, 2);
  layout->setSpacing(3);
  layout->addWidget(Items);
  layout->addLayout(right, 1);
  statusBar()->setObjectName("sbarMain");
  auto* zoomStatus = new QLabel(this);
  zoomStatus->setObjectName("lblWorkStatus");
  // An ordinary widget: a message (the lock's hint) takes its place for a
  // while instead of being cut off by it.
  zoomStatus->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  statusBar()->addWidget(zoomStatus, 1);
  pnlMain->OnStatus = [zoomStatus](const QString& text) { zoomStatus->setText(text); };
  pnlMain->OutputWidth = [this] {
    return Exporter ? Exporter->Width() : TSwfExportWidth::kDefault;
  };
}

// ---- IProjectView -----------------------------------------------------------

void TfrmMain::SetCaption(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
}

void TfrmMain::SetItemPanelRefresh(bool on) {
  flmLayer->SetAutoRefresh(on);
}

void TfrmMain::ShowItemPanel() {
  flmLayer->show();
}

void TfrmMain::HideItemPanel() {
  flmLayer->hide();
}

void TfrmMain::RepaintWorkArea() {
  pnlMain->pboxMain->update();
  pnlMain->SyncControls();
}

void TfrmMain::RepaintWindow() {
  repaint();
}

void TfrmMain::FocusWindow() {
  activateWindow();
}

std::unique_ptr<IProgress> TfrmMain::CreateProgress() {
  return std::make_unique<TExecProgress>(this);
}

void TfrmMain::ShowWarning(const std::string& text) {
  Dialogs->Warn(kQuestionCaption, text);
}

QUndoStack& TfrmMain::UndoStack() {
  return History->UndoStack();
}

TCommandContext TfrmMain::CommandContext() const {
  TCommandContext c;
  c.Items = document->LayerItems().Count();
  c.View = View;
  c.Busy = LoaderRunning() || ExportRunning() || Aligner->Running();
  c.Saved = document->IsSaved();
  c.CanUndo = History && History->UndoStack().canUndo();
  c.CanRedo = History && History->UndoStack().canRedo();
  return c;
}

void TfrmMain::UpdateCommands() {
  const bool items = document->LayerItems().Count() > 0;
  // Monochrome display goes off with the last item.
  if (!items && View.Mono) Commands.Action(TCommandId::Mono).setChecked(false);
  const TCommandContext context = CommandContext();
  Commands.Update(context);
  // What the item count shows; the preview and the loaders hold their own.
  if (context.View.Previewing || LoaderRunning()) return;
  flmLayer->setVisible(items);
  pnlMain->pboxDrag->setVisible(items);
  pnlMain->ShowBox(items && View.BoxShown);
  pnlMain->ShowGuides(items && View.GuidesShown);
  pnlMain->SyncControls();
}

// ---- IPreviewHost -------------------------------------------------------------

void TfrmMain::PreviewStateChanged() {
  UpdateCommands();
  pnlMain->SyncControls();
}

void TfrmMain::ShowItemList(bool shown) {
  flmLayer->scrLayerList->setVisible(shown);
  flmLayer->SetAutoRefresh(shown);
}

void TfrmMain::RepaintCanvas() {
  pnlMain->pboxMain->repaint();
}

}  // namespace kalvane::ui
