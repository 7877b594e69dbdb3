#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
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
#include "project/LoadThread.h"
#include "project/ProjectTexts.h"
#include "ui/AlignController.h"
#include "ui/ExportController.h"
#include "ui/ItemPanel.h"
#include "ui/LayerList.h"
#include "ui/ProgressDialog.h"
#include "ui/QtDialogs.h"
#include "ui/ShopExportDialog.h"
#include "ui/SwfExportDialog.h"
#include "ui/TemplateWindow.h"
#include "ui/Texts.h"
#include "ui/UndoHistory.h"
#include "ui/WindowPlace.h"
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
  RouteCommands();
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
  // Space held pans the zoomed canvas wherever the focus is in the window.
  qApp->installEventFilter(this);

  // The history: every step goes through the document's operations, and
  // its clean index is the save point.
  Aligner = std::make_unique<TAlignController>(doc, *Dialogs, Dispatcher, this);
  Aligner->StateChanged = [this] {
    flmLayer->RefreshRows();
    UpdateCommands();
  };
  Aligner->Finished = [this] {
    if (CloseWhenIdle) close();
  };
  History = new TUndoHistory(doc, this);
  doc.SetHistory(History);
  QUndoStack& stack = History->UndoStack();
  connect(&stack, &QUndoStack::indexChanged, this, &TfrmMain::UpdateCommands);
  connect(&stack, &QUndoStack::undoTextChanged, this, &TfrmMain::UndoTextChanged);
  connect(&stack, &QUndoStack::redoTextChanged, this, &TfrmMain::UndoTextChanged);
  flmLayer->SetLayerManagement(&doc.LayerItems());
  doc.LayerItems().SetChangeHandler(2, [this](TLayerManagement&) { ItemsChanged(); });
  doc.LayerItems().SetMonoMode(0);
  doc.LayerItems().SetItemScale(0.4);
  flmLayer->SetAutoRefresh(true);
  doc.LayerItems().SelectIndex(0);

  Status.SetMainWindow(this);
  TemplateWindow = new TfrmTemplate(*Dialogs, GetTemplateFolder(), this);
  Status.SetTemplateWindow(TemplateWindow);
  TemplateWindow->SetSettingsPath(Status.GetSettingsPath());
  Exporter = std::make_unique<TExportController>(doc, *Dialogs, Dispatcher, *TemplateWindow,
                                                 Status.GetSettingsPath(), this);
  Exporter->StateChanged = [this] {
    setEnabled(true);
    UpdateCommands();
  };
  Exporter->Finished = [this] {
    if (CloseWhenIdle) close();
  };
  Exporter->WidthChanged = [this] { pnlMain->ShowStatus(); };
  Exporter->ShowStatus = [this](const QString& text) { statusBar()->showMessage(text); };
  SetCaption(kNoProjectCaption);
  Items->Density->setValue(RoundInt(doc.LayerItems().GetDensity() * 100));
  if (arguments.size() == 1) commandLineFile = arguments.front();
  doc.SetCommandView(this);
  doc.MarkSaved();
  UndoTextChanged();
}

bool TfrmMain::ExportRunning() const {
  return Exporter && Exporter->Running();
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
  flmLayer->AddImages = [this] { PickAndAddImages(); };
  flmLayer->DeleteItem = [this] { DeleteItem(); };
  flmLayer->MoveUp = [this] { MoveUp(); };
  flmLayer->MoveDown = [this] { MoveDown(); };
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

// Menus, buttons and keys trigger the registry's actions; each runs here.
void TfrmMain::RouteCommands() {
  using C = TCommandId;
  TActionRegistry& r = Commands;
  const std::pair<C, void (TfrmMain::*)()> handlers[] = {
      {C::NewProject, &TfrmMain::NewProject},
      {C::OpenProject, &TfrmMain::AskOpenProject},
      {C::Save, &TfrmMain::Save},
      {C::SaveAs, &TfrmMain::SaveAs},
      {C::AddImages, &TfrmMain::PickAndAddImages},
      {C::DeleteItem, &TfrmMain::DeleteItem},
      {C::DeleteAll, &TfrmMain::DeleteAllItems},
      {C::MoveUp, &TfrmMain::MoveUp},
      {C::MoveDown, &TfrmMain::MoveDown},
      {C::Reverse, &TfrmMain::Reverse},
      {C::RotateLeft, &TfrmMain::RotateLeft},
      {C::RotateRight, &TfrmMain::RotateRight},
      {C::AllVisible, &TfrmMain::ShowAllInMono},
      {C::AllUnVisible, &TfrmMain::ShowNoneInMono},
      {C::NeighboursVisible, &TfrmMain::ShowNeighboursInMono},
      {C::AlignWhole, &TfrmMain::AlignWhole},
      {C::AlignBox, &TfrmMain::AlignBox},
      {C::AlignDraw, &TfrmMain::AlignDraw},
      {C::DeleteGuides, &TfrmMain::DeleteGuides},
      {C::ConvertTool, &TfrmMain::StartConvertTool},
      {C::OpenSample, &TfrmMain::OpenSample},
      {C::Help, &TfrmMain::ShowHelp},
      {C::ViewerHelp, &TfrmMain::ShowViewerHelp},
      {C::About, &TfrmMain::ShowAbout}};
  for (const auto& [id, handler] : handlers)
    r.On(id, [this, handler = handler] { (this->*handler)(); });
  r.On(C::Quit, [this] { close(); });
  // Not in the middle of a drag (an image, a guide, the box): its step is
  // recorded at the release from where the drag began.
  r.On(C::Undo, [this] {
    if (!pnlMain->Dragging()) History->UndoStack().undo();
  });
  r.On(C::Redo, [this] {
    if (!pnlMain->Dragging()) History->UndoStack().redo();
  });
  r.On(C::ExportPc, [this] { Exporter->ExportPc(); });
  r.On(C::ExportDesign, [this] { Exporter->ExportDesign(); });
  r.On(C::ExportMobile, [this] { Exporter->ExportMobile(); });
  r.On(C::HtmlPreview, [this] { Exporter->HtmlPreview(); });
  r.On(C::ExportOther, [this] {
    if (!LoaderRunning() && !Aligner->Running()) Exporter->ExportOther();
  });
  r.On(C::ZoomIn, [this] { pnlMain->ZoomIn(); });
  r.On(C::ZoomOut, [this] { pnlMain->ZoomOut(); });
  r.On(C::ZoomFit, [this] { pnlMain->ZoomFit(); });
  r.On(C::Zoom100, [this] { pnlMain->Zoom100(); });
  r.OnToggled(C::Mono, [this](bool on) { MonoToggled(on); });
  r.OnToggled(C::Preview, [this](bool on) { PreviewToggled(on); });
  const std::pair<C, bool TViewState::*> flags[] = {{C::ImageLock, &TViewState::ImageLocked},
                                                    {C::TrimShow, &TViewState::BoxShown},
                                                    {C::TrimLock, &TViewState::BoxLocked},
                                                    {C::GuideShow, &TViewState::GuidesShown},
                                                    {C::GuideLock, &TViewState::GuidesLocked}};
  for (const auto& [id, flag] : flags)
    r.OnToggled(id, [this, flag = flag](bool on) { ViewToggled(flag, on); });
  connect(Menus.FrameRate, &QComboBox::currentTextChanged, this, &TfrmMain::FrameRateChanged);
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

// ---- commands -----------------------------------------------------------------

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

void TfrmMain::UndoTextChanged() {
  const QUndoStack& stack = History->UndoStack();
  QAction& undo = Commands.Action(TCommandId::Undo);
  undo.setText(stack.canUndo() ? U(kUndoStepCaption).arg(stack.undoText()) : U(kUndoCaption));
  QAction& redo = Commands.Action(TCommandId::Redo);
  redo.setText(stack.canRedo() ? U(kRedoStepCaption).arg(stack.redoText()) : U(kRedoCaption));
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

// ---- IMainWindowSettings ----------------------------------------------------

// The client area's place and size: a window placed before it is shown
// has no frame yet, so a frame's corner saved would come back as the
// client's and the window would creep down by its title bar each start.
TWindowBounds TfrmMain::Bounds() const {
  return ClientBounds(*this);
}

void TfrmMain::SetLeft(int left) {
  PlaceClient(*this, left, geometry().y());
}

void TfrmMain::SetTop(int top) {
  PlaceClient(*this, geometry().x(), top);
}

void TfrmMain::SetWidth(int width) {
  resize(std::max(width, minimumWidth()), height());
}

void TfrmMain::SetHeight(int height) {
  resize(width(), std::max(height, minimumHeight()));
}

bool TfrmMain::IsNormalState() const {
  return !isMaximized() && !isMinimized() && !isFullScreen();
}

}  // namespace kalvane::ui
