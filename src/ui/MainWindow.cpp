#include "ui/MainWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>
#include <cmath>
#include <numbers>

#include "base/AppUtil.h"
#include "base/Round.h"
#include "base/Texts.h"
#include "project/LoadThread.h"
#include "project/ProjectTexts.h"
#include "ui/AlignController.h"
#include "ui/ExportController.h"
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

// A pressed toggle is filled with the accent colour, so it never reads as
// a disabled button; the caption keeps a margin from the edges.
const char* const kToggleStyle =
    "QToolButton { padding: 3px 6px; border: 1px solid #8a9bb0; border-radius: 3px;"
    " background: #f5f7fa; color: #1a1a1a; }"
    "QToolButton:hover { background: #e3ecf7; }"
    "QToolButton:checked { background: #2c6cb0; border-color: #1d4d82; color: white; }"
    "QToolButton:checked:hover { background: #3679c0; }"
    "QToolButton:disabled { background: #ececec; border-color: #c8c8c8; color: #9a9a9a; }"
    "QToolButton:checked:disabled { background: #a9bdd3; color: #eef2f6; }";

// A three-quarter circle ending in an arrowhead: a turn of the photos, not
// a step through them (which plain arrows suggest).
QIcon RotationIcon(bool clockwise) {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor ink(30, 110, 60);
  painter.setPen(QPen(ink, 3, Qt::SolidLine, Qt::RoundCap));
  const double start = clockwise ? 135 : 45, sweep = clockwise ? -270 : 270;
  const QPointF centre(16, 17);
  const double radius = 10;
  painter.drawArc(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
                  static_cast<int>(start * 16), static_cast<int>(sweep * 16));
  const double end = (start + sweep) * std::numbers::pi / 180;
  const QPointF at = centre + radius * QPointF(std::cos(end), -std::sin(end));
  // The way the arc runs at its end, and across it.
  const double sign = clockwise ? -1 : 1;
  const QPointF along = sign * QPointF(-std::sin(end), -std::cos(end));
  const QPointF across(-along.y(), along.x());
  painter.setPen(Qt::NoPen);
  painter.setBrush(ink);
  painter.drawPolygon(
      QPolygonF{at + 6 * along, at + 5 * across - 2 * along, at - 5 * across - 2 * along});
  return QIcon(pixmap);
}

QIcon StandardIcon(QStyle::StandardPixmap pixmap) {
  return QApplication::style()->standardIcon(pixmap);
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
  BuildMenus();
  BuildToolBars();
  BuildPanels();
  // The toggles' captions fit even where the font is wider than the
  // window's design size allows for.
  setMinimumSize(std::max(642, minimumSizeHint().width()), 452);
  resize(minimumWidth(), 480);

  TProjectDocument& doc = *document;
  doc.SetView(this);
  doc.SetControlParent(pnlMain);
  doc.GuideLines().SetOrigin(TWorkArea::kOrigin, TWorkArea::kOrigin);
  doc.GuideLines().SetMarginStart(25);
  doc.GuideLines().SetMarginEnd(5);
  doc.TrimBox().SetOrigin(TWorkArea::kOrigin, TWorkArea::kOrigin);
  DataPreview.SetMainWindow(this);
  pnlMain->OnPopup = [this](const QPoint& at) { pmenuWorkArea->popup(at); };
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
  tBarNoudo->setValue(RoundInt(doc.LayerItems().GetDensity() * 100));
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

QToolButton* TfrmMain::Button(const char* name, const char* hint, const QIcon& icon,
                              QAction& action) {
  auto* button = new QToolButton(this);
  button->setObjectName(name);
  button->setAutoRaise(true);
  // The button is its command's: enabled with it, clicked into it.
  action.setIcon(icon);
  action.setIconVisibleInMenu(false);
  action.setToolTip(U(hint));
  button->setDefaultAction(&action);
  return button;
}

QToolButton* TfrmMain::Toggle(const char* name, TCommandId id, const char* caption,
                              const char* hint) {
  QAction& action = Commands.Action(id);
  action.setIconText(U(caption));
  action.setToolTip(U(hint));
  auto* button = new QToolButton(this);
  button->setObjectName(name);
  button->setDefaultAction(&action);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setProperty("toggle", true);
  button->setStyleSheet(kToggleStyle);
  button->setMinimumHeight(44);
  button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  return button;
}

QToolButton* TfrmMain::TextButton(const char* name, TCommandId id, const char* caption,
                                  const char* hint, QWidget* parent) {
  QAction& action = Commands.Action(id);
  action.setIconText(U(caption));
  action.setToolTip(U(hint));
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setDefaultAction(&action);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  return button;
}

void TfrmMain::BuildMenus() {
  using C = TCommandId;
  TActionRegistry& r = Commands;
  QMenuBar* bar = menuBar();
  bar->setObjectName("mnuMain");
  auto menu = [&r, bar](C id, const char* name, const char* caption) {
    QMenu* m = bar->addMenu(U(caption));
    m->menuAction()->setObjectName(name);
    r.AddMenu(id, m->menuAction());
    return m;
  };
  auto add = [&r](QMenu* m, C id, const char* name, const char* caption,
                  const QList<QKeySequence>& keys, std::function<void()> run) {
    QAction& action = r.Add(id, name, U(caption), keys, std::move(run));
    m->addAction(&action);
    return &action;
  };
  auto key = [](const char* text) { return QList<QKeySequence>{QKeySequence(text)}; };
  auto separator = [](QMenu* m, const char* name) {
    QAction* line = m->addSeparator();
    line->setObjectName(name);
    return line;
  };

  QMenu* file = menu(C::FileMenu, "F1", "ファイル(&F)");
  add(file, C::NewProject, "FM1", "プロジェクトの新規作成(&N)", {},
      [this] { btnNewProjectClick(); });
  separator(file, "FS1");
  add(file, C::OpenProject, "FM2", "プロジェクトファイルを開く(&O)", key("Ctrl+O"),
      [this] { btnProjectOpenClick(); });
  add(file, C::Save, "FM3", "上書き保存(&S)", key("Ctrl+S"), [this] { btnSaveClick(); });
  add(file, C::SaveAs, "FM4", "名前を付けて保存(&A)", {}, [this] { btnSaveAsClick(); });
  separator(file, "FS2");
  add(file, C::ExportPc, "FM5", "(PC)データデータファイルを書き出し", {},
      [this] { Exporter->ExportPc(); });
  add(file, C::ExportDesign, "FM7", "(PC)テンプレートデザインデータを書き出し", {},
      [this] { Exporter->ExportDesign(); });
  MobileMenuSeparator = separator(file, "FS4");
  add(file, C::ExportMobile, "FM9", "(携帯)データファイルを書き出し", {},
      [this] { Exporter->ExportMobile(); });
  add(file, C::ExportOther, "FM10", "その他の形式で書き出し...", {}, [this] {
    if (!LoaderRunning() && !Aligner->Running()) Exporter->ExportOther();
  });
  separator(file, "FS3");
  add(file, C::Quit, "FM6", "終了(&Q)", key("Ctrl+Q"), [this] { close(); });

  // Undo and redo: the window holds them too, so their keys work whatever
  // menu is off. Not in the middle of an image drag: its step is recorded
  // at the release from where the drag began.
  QMenu* edit = menu(C::EditMenu, "E1", "編集(&E)");
  QAction* undo = add(edit, C::Undo, "WM7", kUndoCaption, key("Ctrl+Z"), [this] {
    if (!pnlMain->Dragging()) History->UndoStack().undo();
  });
  QAction* redo = add(edit, C::Redo, "WM8", kRedoCaption,
                      {QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}, [this] {
                        if (!pnlMain->Dragging()) History->UndoStack().redo();
                      });
  addAction(undo);
  addAction(redo);

  QMenu* items = menu(C::ItemMenu, "L1", "アイテム(&L)");
  add(items, C::AddImages, "LM1", "新規アイテム画像の追加(&N)", key("Ctrl+N"),
      [this] { btnLayerNewClick(); });
  add(items, C::DeleteItem, "LM2", "選択したアイテムを削除(&D)", key("Ctrl+Del"),
      [this] { btnLayerTrashClick(); });
  add(items, C::DeleteAll, "LM10", "プロジェクトアイテムを全て削除(&E)", {},
      [this] { btnLayerTrashAllClick(); });
  separator(items, "LS3");
  QMenu* current = items->addMenu(U("現在の選択アイテム(&I)"));
  current->menuAction()->setObjectName("LM3");
  r.AddMenu(C::CurrentItemMenu, current->menuAction());
  add(current, C::MoveUp, "LM3_1", "上へ(&U)", key("Ctrl+U"), [this] { btnLayerUpClick(); });
  add(current, C::MoveDown, "LM3_2", "下へ(&D)", key("Ctrl+D"), [this] { btnLayerDownClick(); });
  add(items, C::Reverse, "LM9", "順番を逆にする(&V)", key("Ctrl+T"),
      [this] { btnLayerReverseClick(); });
  separator(items, "LS2");
  add(items, C::RotateLeft, "LM4", "左に90°回転(&L)", key("Ctrl+L"),
      [this] { btnLayerRotate1Click(); });
  add(items, C::RotateRight, "LM5", "右に90°回転(&R)", key("Ctrl+R"),
      [this] { btnLayerRotate2Click(); });
  separator(items, "LS1");
  items->addAction(&r.AddToggle(C::Mono, "LM6", U("モノクロ表示(&M)"), key("Ctrl+X"), false,
                                [this](bool on) { MonoToggled(on); }));
  add(items, C::AllVisible, "LM7", "全表示(&A)", {}, [this] { btnAllVisibleClick(); });
  add(items, C::AllUnVisible, "LM8", "全解除(&U)", {}, [this] { btnAllUnVisibleClick(); });
  add(items, C::NeighboursVisible, "LM7_1", "前後のみ(&P)", {},
      [this] { btnNeighboursVisibleClick(); });
  separator(items, "LS4");
  // What stands still decides; the box is where the product is, so the
  // whole photo comes first.
  QMenu* align = items->addMenu(U("自動位置合わせ(&J)"));
  align->setObjectName("LM11Menu");
  add(align, C::AlignWhole, "LM11", "写真全体で(&W)", {}, [this] { AutoAlignClick(); });
  add(align, C::AlignBox, "LM12", "トリミング枠の範囲で(&B)", {}, [this] { AutoAlignBoxClick(); });
  add(align, C::AlignDraw, "LM13", "範囲を描いて指定(&D)...", {}, [this] { AutoAlignDrawClick(); });

  QMenu* work = menu(C::WorkMenu, "W1", "ワークエリア(&W)");
  const struct {
    C Id;
    const char* Name;
    const char* Caption;
    const char* Key;
    bool TViewState::*Flag;
  } toggles[] = {{C::ImageLock, "WM1", "画像ロック(&R)", "Ctrl+I", &TViewState::ImageLocked},
                 {C::TrimShow, "WM2", "ボックス表示(&S)", "Ctrl+K", &TViewState::BoxShown},
                 {C::TrimLock, "WM3", "ボックスロック(&L)", "Ctrl+B", &TViewState::BoxLocked},
                 {C::GuideShow, "WM4", "ガイド表示(&Y)", "Ctrl+J", &TViewState::GuidesShown},
                 {C::GuideLock, "WM5", "ガイドロック(&E)", "Ctrl+G", &TViewState::GuidesLocked}};
  for (const auto& t : toggles) {
    work->addAction(&r.AddToggle(t.Id, t.Name, U(t.Caption), key(t.Key), View.*t.Flag,
                                 [this, flag = t.Flag](bool on) { ViewToggled(flag, on); }));
    if (t.Id == C::ImageLock) separator(work, "WS1");
    if (t.Id == C::TrimLock) separator(work, "WS2");
  }
  separator(work, "WS3");
  add(work, C::DeleteGuides, "WM6", "全てのガイドを削除(&A)", {}, [this] { WM6Click(); });
  // Zoom and pan of the canvas.
  separator(work, "WS5");
  add(work, C::ZoomIn, "WM9", "拡大(&I)", {QKeySequence("Ctrl+="), QKeySequence("Ctrl++")},
      [this] { pnlMain->ZoomIn(); });
  add(work, C::ZoomOut, "WM10", "縮小(&O)", key("Ctrl+-"), [this] { pnlMain->ZoomOut(); });
  add(work, C::ZoomFit, "WM11", "全体表示(&F)", key("Ctrl+0"), [this] { pnlMain->ZoomFit(); });
  add(work, C::Zoom100, "WM12", "等倍表示(&1)", key("Ctrl+1"), [this] { pnlMain->Zoom100(); });

  QMenu* app = menu(C::AppMenu, "O1", "アプリケーション(&O)");
  add(app, C::HtmlPreview, "OM1", "HTMLプレビュー(&H)", key("Ctrl+H"),
      [this] { Exporter->HtmlPreview(); });
  app->addAction(&r.AddToggle(C::Preview, "OM2", U("簡易プレビュー(&P)"), key("Ctrl+A"), false,
                              [this](bool on) { PreviewToggled(on); }));
  separator(app, "N1");
  add(app, C::ConvertTool, "OM8", "画像ファイル一括変換ツールの起動(&I)", {},
      [this] { OM8Click(); });

  // The canvas's popup: each item runs its menu command and shows no check
  // mark, as the buttons show the toggles' state. Undo and redo are the
  // menu's own actions, with the step's name.
  pmenuWorkArea = new QMenu(this);
  pmenuWorkArea->setObjectName("pmenuWorkArea");
  const struct {
    const char* Name;
    C Id;
    const char* Caption;
  } popup[] = {{"pMenuWork1", C::Preview, "プレビュー(&P)"},
               {nullptr, C::Count, nullptr},
               {"pMenuWork2", C::ImageLock, "画像ロック(&R)"},
               {nullptr, C::Count, nullptr},
               {"pMenuWork3", C::TrimShow, "ボックス表示(&S)"},
               {"pMenuWork4", C::TrimLock, "ボックスロック(&L)"},
               {nullptr, C::Count, nullptr},
               {"pMenuWork5", C::GuideShow, "ガイド表示(&Y)"},
               {"pMenuWork6", C::GuideLock, "ガイドロック(&E)"}};
  for (const auto& p : popup) {
    if (!p.Name) {
      pmenuWorkArea->addSeparator();
      continue;
    }
    QAction* item = pmenuWorkArea->addAction(U(p.Caption));
    item->setObjectName(p.Name);
    r.Bind(p.Id, item);
    connect(item, &QAction::triggered, &r.Action(p.Id), &QAction::trigger);
  }
  pmenuWorkArea->addSeparator();
  pmenuWorkArea->addAction(undo);
  pmenuWorkArea->addAction(redo);

  QMenu* help = menu(C::HelpMenu, "H1", "ヘルプ(&H)");
  add(help, C::OpenSample, "OM7", "サンプルプロジェクトを開く(&O)", {}, [this] { OM7Click(); });
  add(help, C::Help, "OM5", "ヘルプ(&H)", key("F1"), [this] { OM5Click(); });
  separator(help, "HS1");
  add(help, C::ViewerHelp, "OM4", "FlashPlayerダウンロードページへ(&D)", {},
      [this] { OM4Click(); });
  separator(help, "HS2");
  add(help, C::About, "OM3", "このアプリケーションについて...(&A)", {}, [this] { OM3Click(); });
}

void TfrmMain::BuildToolBars() {
  using C = TCommandId;
  QToolBar* tbarMain = addToolBar(U("メイン"));
  tbarMain->setObjectName("tbarMain");
  tbarMain->setMovable(false);
  tbarMain->setIconSize(QSize(16, 16));
  const auto button = [this, tbarMain](const char* name, const char* hint,
                                       QStyle::StandardPixmap icon, C id) {
    return tbarMain->addWidget(Button(name, hint, StandardIcon(icon), Commands.Action(id)));
  };
  button("btnNewProject", "プロジェクトを新規に作成します", QStyle::SP_FileIcon, C::NewProject);
  tbarMain->addSeparator()->setObjectName("spButton1");
  button("btnProjectOpen", "プロジェクトファイルを開きます", QStyle::SP_DialogOpenButton,
         C::OpenProject);
  button("btnSave", "現在のプロジェクトを上書き保存します", QStyle::SP_DialogSaveButton, C::Save);
  button("btnSaveAs", "現在のプロジェクトを名前を付けて保存します", QStyle::SP_DriveFDIcon,
         C::SaveAs);
  tbarMain->addSeparator()->setObjectName("spButton2");
  button("btnFlashExport", "PC用データファイルを書き出します", QStyle::SP_ArrowDown, C::ExportPc);
  button("btnDesignExport", "PC用テンプレートデザインデータを書き出します", QStyle::SP_DirIcon,
         C::ExportDesign);
  MobileSeparator = tbarMain->addSeparator();
  MobileSeparator->setObjectName("spMobile");
  MobileButton = button("btnMFlashExport", "携帯用データファイルを書き出します",
                        QStyle::SP_ComputerIcon, C::ExportMobile);
  auto* spacer = new QWidget(this);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  tbarMain->addWidget(spacer);
  button("btnHTMLPreview", "HTMLプレビューを実行します", QStyle::SP_DesktopIcon, C::HtmlPreview);
  button("btnPreview", "簡易プレビューを実行します", QStyle::SP_MediaPlay, C::Preview);
  cmbFrameRate = new QComboBox(this);
  cmbFrameRate->setObjectName("cmbFrameRate");
  cmbFrameRate->setToolTip(U("簡易プレビュー時の速度を設定します"));
  for (const char* rate : {"1", "3", "5", "8", "10", "12", "15", "18", "20", "24", "30"})
    cmbFrameRate->addItem(rate);
  cmbFrameRate->setCurrentText("8");
  cmbFrameRate->setMaxVisibleItems(12);
  cmbFrameRate->setMinimumWidth(48);
  connect(cmbFrameRate, &QComboBox::currentTextChanged, this, &TfrmMain::cmbFrameRateChange);
  Commands.Bind(C::FrameRate, cmbFrameRate);
  tbarMain->addWidget(cmbFrameRate);
}

void TfrmMain::BuildPanels() {
  auto* central = new QWidget(this);
  central->setObjectName("pnlClient");
  setCentralWidget(central);
  auto* pnlLayer = new QWidget(central);
  pnlLayer->setObjectName("pnlLayer");
  pnlLayer->setFixedWidth(193);
  auto* tbarLayer1 = new QToolBar(pnlLayer);
  tbarLayer1->setObjectName("tbarLayer1");
  tbarLayer1->setIconSize(QSize(16, 16));
  using C = TCommandId;
  const auto button = [this](QToolBar* bar, const char* name, const char* hint, const QIcon& icon,
                             C id) {
    bar->addWidget(Button(name, hint, icon, Commands.Action(id)));
  };
  button(tbarLayer1, "btnLayerNew", "現在のプロジェクトにアイテムを追加します",
         StandardIcon(QStyle::SP_FileDialogNewFolder), C::AddImages);
  button(tbarLayer1, "btnLayerTrash", "選択されたアイテムを削除します",
         StandardIcon(QStyle::SP_TrashIcon), C::DeleteItem);
  button(tbarLayer1, "btnLayerTrashAll", "現在のプロジェクトアイテムを全て削除します",
         StandardIcon(QStyle::SP_DialogDiscardButton), C::DeleteAll);
  auto* tbarLayer2 = new QToolBar(pnlLayer);
  tbarLayer2->setObjectName("tbarLayer2");
  tbarLayer2->setIconSize(QSize(16, 16));
  button(tbarLayer2, "btnLayerUp", "選択されたアイテムの位置を一つ上に移動します",
         StandardIcon(QStyle::SP_ArrowUp), C::MoveUp);
  button(tbarLayer2, "btnLayerDown", "選択されたアイテムの位置を一つ下に移動します",
         StandardIcon(QStyle::SP_ArrowDown), C::MoveDown);
  button(tbarLayer2, "btnLayerReverse", "アイテムの順番を逆転させます",
         StandardIcon(QStyle::SP_BrowserReload), C::Reverse);
  tbarLayer2->addSeparator();
  button(tbarLayer2, "btnLayerRotate1", "全てのアイテムを反時計回りに90°回転します",
         RotationIcon(false), C::RotateLeft);
  button(tbarLayer2, "btnLayerRotate2", "全てのアイテムを時計回りに90°回転します",
         RotationIcon(true), C::RotateRight);
  flmLayer = new TflmLayerList(pnlLayer);
  flmLayer->AddImages = [this] { btnLayerNewClick(); };
  flmLayer->DeleteItem = [this] { btnLayerTrashClick(); };
  flmLayer->MoveUp = [this] { btnLayerUpClick(); };
  flmLayer->MoveDown = [this] { btnLayerDownClick(); };
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

  QToolButton* mono = Toggle("btnLayerMono", C::Mono, "モノクロ表示",
                             "メイン画面のモノクロ表示モードをON/OFFします");
  mono->setMinimumHeight(50);
  QToolButton* all = TextButton("btnAllVisible", C::AllVisible, "全表示",
                                "モノクロ表示対象アイテムを全てに設定します", pnlLayer);
  QToolButton* none = TextButton("btnAllUnVisible", C::AllUnVisible, "全解除",
                                 "モノクロ表示対象アイテムを全て解除します", pnlLayer);
  QToolButton* neighbours =
      TextButton("btnNeighboursVisible", C::NeighboursVisible, "前後のみ",
                 "モノクロ表示対象を、選んでいる写真の前後の写真だけにします", pnlLayer);
  neighbours->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  tBarNoudo = new QSlider(Qt::Horizontal, pnlLayer);
  tBarNoudo->setObjectName("tBarNoudo");
  tBarNoudo->setRange(3, 70);
  tBarNoudo->setPageStep(10);
  tBarNoudo->setTickInterval(5);
  tBarNoudo->setTickPosition(QSlider::TicksAbove);
  connect(tBarNoudo, &QSlider::valueChanged, this, &TfrmMain::tBarNoudoChange);
  Commands.Bind(C::Density, tBarNoudo);
  MonoControls = {all, none, neighbours, tBarNoudo};
  for (QWidget* w : MonoControls)
    w->hide();
  auto* monoRow = new QGridLayout;
  monoRow->addWidget(mono, 0, 0, 3, 1);
  monoRow->addWidget(all, 0, 1);
  monoRow->addWidget(none, 0, 2);
  monoRow->addWidget(neighbours, 1, 1, 1, 2);
  monoRow->addWidget(tBarNoudo, 2, 1, 1, 2);
  auto* layerLayout = new QVBoxLayout(pnlLayer);
  layerLayout->setContentsMargins(1, 1, 1, 1);
  layerLayout->setSpacing(1);
  layerLayout->addWidget(tbarLayer1);
  layerLayout->addWidget(tbarLayer2);
  layerLayout->addWidget(flmLayer, 1);
  layerLayout->addLayout(monoRow);

  pnlMain = new TWorkArea(*document, View, central);
  auto* toggles = new QHBoxLayout;
  toggles->addWidget(
      Toggle("btnImageLock", C::ImageLock, "画像ロック", "画像の移動をロックします"));
  toggles->addWidget(
      Toggle("btnTrimShow", C::TrimShow, "ボックス表示", "トリミングボックスを表示します"));
  toggles->addWidget(
      Toggle("btnTrimLock", C::TrimLock, "ボックスロック", "トリミングボックスをロックします"));
  toggles->addWidget(
      Toggle("btnGuideShow", C::GuideShow, "ガイド表示", "ガイドラインを表示します"));
  toggles->addWidget(
      Toggle("btnGuideLock", C::GuideLock, "ガイドロック", "ガイドラインをロックします"));
  toggles->setSpacing(3);
  toggles->addStretch();
  auto* right = new QVBoxLayout;
  right->addWidget(pnlMain, 1);
  right->addLayout(toggles);
  auto* layout = new QHBoxLayout(central);
  layout->setContentsMargins(0, 0, 2, 2);
  layout->setSpacing(3);
  layout->addWidget(pnlLayer);
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
  document->TrimBox().SetVisible(items && View.BoxShown);
  document->GuideLines().SetVisible(items && View.GuidesShown);
  pnlMain->SyncControls();
}

void TfrmMain::UndoTextChanged() {
  const QUndoStack& stack = History->UndoStack();
  QAction& undo = Commands.Action(TCommandId::Undo);
  undo.setText(stack.canUndo() ? U(kUndoStepCaption).arg(stack.undoText()) : U(kUndoCaption));
  QAction& redo = Commands.Action(TCommandId::Redo);
  redo.setText(stack.canRedo() ? U(kRedoStepCaption).arg(stack.redoText()) : U(kRedoCaption));
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
