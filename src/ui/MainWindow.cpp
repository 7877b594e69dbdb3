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
#include "ui/AlignJob.h"
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
    : document(std::make_unique<TProjectDocument>()),
      WidthDialog(new TfrmSwfExportDialog(this)),
      ShopDialog(new TfrmShopExportDialog(this)),
      Status(settingsPath.empty() ? GetUserDataFolder() + "velinit" : settingsPath,
             GetTemplateFolder()),
      Exporter(*document, Dispatcher) {
  setObjectName("frmMain");
  if (!dialogs) OwnDialogs = std::make_unique<TQtDialogs>(this, WidthDialog);
  Dialogs = dialogs ? dialogs : OwnDialogs.get();
  QApplication::setApplicationName(kAppTitle);
  setAcceptDrops(true);
  BuildMenus();
  BuildToolBars();
  BuildPanels();
  const std::pair<const char*, TCommandId> controls[] = {
      {"btnPreview", TCommandId::Preview},
      {"cmbFrameRate", TCommandId::FrameRate},
      {"btnImageLock", TCommandId::ImageLock},
      {"btnTrimShow", TCommandId::TrimShow},
      {"btnTrimLock", TCommandId::TrimLock},
      {"btnGuideShow", TCommandId::GuideShow},
      {"btnGuideLock", TCommandId::GuideLock},
      {"btnLayerMono", TCommandId::Mono},
      {"btnAllVisible", TCommandId::AllVisible},
      {"btnAllUnVisible", TCommandId::AllUnVisible},
      {"btnNeighboursVisible", TCommandId::AllVisible},
      {"tBarNoudo", TCommandId::Density}};
  for (const auto& [name, id] : controls)
    Bind(id, Control(name));
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
  pnlMain->ImageLocked = [this] { return imageLocked; };
  pnlMain->PreviewIdle = [this] { return DataPreview.IsIdle(); };
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
  History = new TUndoHistory(doc, this);
  doc.SetHistory(History);
  QUndoStack& stack = History->UndoStack();
  // Not in the middle of an image drag: its step is recorded at the release
  // from where the drag began.
  connect(Actions["WM7"], &QAction::triggered, this, [this, &stack] {
    if (!pnlMain->Dragging()) stack.undo();
  });
  connect(Actions["WM8"], &QAction::triggered, this, [this, &stack] {
    if (!pnlMain->Dragging()) stack.redo();
  });
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
  SetCaption(kNoProjectCaption);
  tBarNoudo->setValue(RoundInt(doc.LayerItems().GetDensity() * 100));
  if (arguments.size() == 1) commandLineFile = arguments.front();
  doc.SetCommandView(this);
  doc.MarkSaved();
  UndoTextChanged();
}

TfrmMain::~TfrmMain() {
  if (Align) {
    Align->Cancel = true;
    Align->Worker.join();
  }
  // The history and the document's listeners point into this window, and
  // the focus moves while its widgets go, after the document.
  disconnect(&History->UndoStack(), nullptr, this, nullptr);
  disconnect(qApp, &QApplication::focusChanged, pnlMain, nullptr);
  document->SetCommandView(nullptr);
  document->SetHistory(nullptr);
  document->LayerItems().SetChangeHandler(1, nullptr);
  document->LayerItems().SetChangeHandler(2, nullptr);
}

QAction* TfrmMain::Action(TCommandId id, const char* name, const char* caption,
                          const QKeySequence& shortcut) {
  auto* action = new QAction(U(caption), this);
  action->setObjectName(name);
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  Actions[name] = action;
  Bind(id, action);
  return action;
}

void TfrmMain::Bind(TCommandId id, QObject* control) {
  Bound.emplace_back(id, control);
}

QToolButton* TfrmMain::Button(const char* name, const char* hint, const QIcon& icon,
                              QAction* action) {
  auto* button = new QToolButton(this);
  button->setObjectName(name);
  button->setAutoRaise(true);
  if (action) {
    // The button is its command's: enabled with it, clicked into it.
    action->setIcon(icon);
    action->setIconVisibleInMenu(false);
    action->setToolTip(U(hint));
    button->setDefaultAction(action);
  } else {
    button->setIcon(icon);
    button->setToolTip(U(hint));
    button->setAccessibleName(U(hint));
  }
  return button;
}

QToolButton* TfrmMain::Toggle(const char* name, const char* caption, const char* hint, bool down) {
  auto* button = new QToolButton(this);
  button->setObjectName(name);
  button->setText(U(caption));
  button->setToolTip(U(hint));
  button->setCheckable(true);
  button->setChecked(down);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setProperty("toggle", true);
  button->setStyleSheet(kToggleStyle);
  button->setMinimumHeight(44);
  button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  connect(button, &QToolButton::clicked, this, [this, n = std::string(name)] { ButtonClicked(n); });
  return button;
}

void TfrmMain::BuildMenus() {
  using C = TCommandId;
  QMenuBar* bar = menuBar();
  bar->setObjectName("mnuMain");
  auto connectTo = [this](QAction* action, void (TfrmMain::*handler)()) {
    connect(action, &QAction::triggered, this, handler);
    return action;
  };
  auto menu = [this, bar](C id, const char* name, const char* caption) {
    QMenu* m = bar->addMenu(U(caption));
    m->menuAction()->setObjectName(name);
    Actions[name] = m->menuAction();
    Bind(id, m->menuAction());
    return m;
  };
  QMenu* file = menu(C::FileMenu, "F1", "ファイル(&F)");
  file->addAction(connectTo(Action(C::NewProject, "FM1", "プロジェクトの新規作成(&N)"),
                            &TfrmMain::btnNewProjectClick));
  file->addSeparator()->setObjectName("FS1");
  file->addAction(connectTo(
      Action(C::OpenProject, "FM2", "プロジェクトファイルを開く(&O)", QKeySequence("Ctrl+O")),
      &TfrmMain::btnProjectOpenClick));
  file->addAction(connectTo(Action(C::Save, "FM3", "上書き保存(&S)", QKeySequence("Ctrl+S")),
                            &TfrmMain::btnSaveClick));
  file->addAction(
      connectTo(Action(C::SaveAs, "FM4", "名前を付けて保存(&A)"), &TfrmMain::btnSaveAsClick));
  file->addSeparator()->setObjectName("FS2");
  file->addAction(connectTo(Action(C::ExportPc, "FM5", "(PC)データデータファイルを書き出し"),
                            &TfrmMain::btnFlashExportClick));
  file->addAction(
      connectTo(Action(C::ExportDesign, "FM7", "(PC)テンプレートデザインデータを書き出し"),
                &TfrmMain::btnDesignExportClick));
  file->addSeparator()->setObjectName("FS4");
  file->addAction(connectTo(Action(C::ExportMobile, "FM9", "(携帯)データファイルを書き出し"),
                            &TfrmMain::btnMFlashExportClick));
  file->addAction(
      connectTo(Action(C::ExportOther, "FM10", "その他の形式で書き出し..."), &TfrmMain::FM10Click));
  file->addSeparator()->setObjectName("FS3");
  QAction* quit = Action(C::Quit, "FM6", "終了(&Q)", QKeySequence("Ctrl+Q"));
  connect(quit, &QAction::triggered, this, &QWidget::close);
  file->addAction(quit);

  // Undo and redo: the window holds them too, so their keys work whatever
  // menu is off.
  QMenu* edit = menu(C::EditMenu, "E1", "編集(&E)");
  QAction* undo = Action(C::Undo, "WM7", kUndoCaption);
  undo->setShortcuts({QKeySequence("Ctrl+Z")});
  QAction* redo = Action(C::Redo, "WM8", kRedoCaption);
  redo->setShortcuts({QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")});
  for (QAction* a : {undo, redo}) {
    edit->addAction(a);
    addAction(a);
  }

  QMenu* items = menu(C::ItemMenu, "L1", "アイテム(&L)");
  items->addAction(
      connectTo(Action(C::AddImages, "LM1", "新規アイテム画像の追加(&N)", QKeySequence("Ctrl+N")),
                &TfrmMain::btnLayerNewClick));
  items->addAction(connectTo(
      Action(C::DeleteItem, "LM2", "選択したアイテムを削除(&D)", QKeySequence("Ctrl+Del")),
      &TfrmMain::btnLayerTrashClick));
  items->addAction(connectTo(Action(C::DeleteAll, "LM10", "プロジェクトアイテムを全て削除(&E)"),
                             &TfrmMain::btnLayerTrashAllClick));
  items->addSeparator()->setObjectName("LS3");
  QMenu* current = items->addMenu(U("現在の選択アイテム(&I)"));
  current->menuAction()->setObjectName("LM3");
  Actions["LM3"] = current->menuAction();
  Bind(C::CurrentItemMenu, current->menuAction());
  current->addAction(connectTo(Action(C::MoveUp, "LM3_1", "上へ(&U)", QKeySequence("Ctrl+U")),
                               &TfrmMain::btnLayerUpClick));
  current->addAction(connectTo(Action(C::MoveDown, "LM3_2", "下へ(&D)", QKeySequence("Ctrl+D")),
                               &TfrmMain::btnLayerDownClick));
  items->addAction(
      connectTo(Action(C::Reverse, "LM9", "順番を逆にする(&V)", QKeySequence("Ctrl+T")),
                &TfrmMain::btnLayerReverseClick));
  items->addSeparator()->setObjectName("LS2");
  items->addAction(
      connectTo(Action(C::RotateLeft, "LM4", "左に90°回転(&L)", QKeySequence("Ctrl+L")),
                &TfrmMain::btnLayerRotate1Click));
  items->addAction(
      connectTo(Action(C::RotateRight, "LM5", "右に90°回転(&R)", QKeySequence("Ctrl+R")),
                &TfrmMain::btnLayerRotate2Click));
  items->addSeparator()->setObjectName("LS1");
  QAction* mono = Action(C::Mono, "LM6", "モノクロ表示(&M)", QKeySequence("Ctrl+X"));
  mono->setCheckable(true);
  connect(mono, &QAction::triggered, this, [this] { ToggleFromMenu("btnLayerMono"); });
  items->addAction(mono);
  items->addAction(
      connectTo(Action(C::AllVisible, "LM7", "全表示(&A)"), &TfrmMain::btnAllVisibleClick));
  items->addAction(
      connectTo(Action(C::AllUnVisible, "LM8", "全解除(&U)"), &TfrmMain::btnAllUnVisibleClick));
  items->addAction(connectTo(Action(C::AllVisible, "LM7_1", "前後のみ(&P)"),
                             &TfrmMain::btnNeighboursVisibleClick));
  items->addSeparator()->setObjectName("LS4");
  // What stands still decides; the box is where the product is, so the
  // whole photo comes first.
  QMenu* align = items->addMenu(U("自動位置合わせ(&J)"));
  align->setObjectName("LM11Menu");
  align->addAction(
      connectTo(Action(C::AutoAlign, "LM11", "写真全体で(&W)"), &TfrmMain::AutoAlignClick));
  align->addAction(connectTo(Action(C::AutoAlign, "LM12", "トリミング枠の範囲で(&B)"),
                             &TfrmMain::AutoAlignBoxClick));
  align->addAction(connectTo(Action(C::AutoAlign, "LM13", "範囲を描いて指定(&D)..."),
                             &TfrmMain::AutoAlignDrawClick));

  QMenu* work = menu(C::WorkMenu, "W1", "ワークエリア(&W)");
  const std::pair<const char*, const char*> toggles[] = {{"WM1", "btnImageLock"},
                                                         {"WM2", "btnTrimShow"},
                                                         {"WM3", "btnTrimLock"},
                                                         {"WM4", "btnGuideShow"},
                                                         {"WM5", "btnGuideLock"}};
  const C toggleIds[] = {C::ImageLock, C::TrimShow, C::TrimLock, C::GuideShow, C::GuideLock};
  const char* captions[] = {"画像ロック(&R)", "ボックス表示(&S)", "ボックスロック(&L)",
                            "ガイド表示(&Y)", "ガイドロック(&E)"};
  const char* keys[] = {"Ctrl+I", "Ctrl+K", "Ctrl+B", "Ctrl+J", "Ctrl+G"};
  for (int i = 0; i < 5; ++i) {
    QAction* a = Action(toggleIds[i], toggles[i].first, captions[i], QKeySequence(keys[i]));
    connect(a, &QAction::triggered, this, [this, b = toggles[i].second] { ToggleFromMenu(b); });
    work->addAction(a);
    if (i == 0) work->addSeparator()->setObjectName("WS1");
    if (i == 2) work->addSeparator()->setObjectName("WS2");
  }
  work->addSeparator()->setObjectName("WS3");
  work->addAction(
      connectTo(Action(C::DeleteGuides, "WM6", "全てのガイドを削除(&A)"), &TfrmMain::WM6Click));
  // Zoom and pan of the canvas.
  work->addSeparator()->setObjectName("WS5");
  const std::pair<const char*, const char*> zooms[] = {{"WM9", "拡大(&I)"},
                                                       {"WM10", "縮小(&O)"},
                                                       {"WM11", "全体表示(&F)"},
                                                       {"WM12", "等倍表示(&1)"}};
  const QList<QKeySequence> zoomKeys[] = {{QKeySequence("Ctrl+="), QKeySequence("Ctrl++")},
                                          {QKeySequence("Ctrl+-")},
                                          {QKeySequence("Ctrl+0")},
                                          {QKeySequence("Ctrl+1")}};
  const std::function<void()> zoomSteps[] = {
      [this] { pnlMain->ZoomIn(); }, [this] { pnlMain->ZoomOut(); }, [this] { pnlMain->ZoomFit(); },
      [this] { pnlMain->Zoom100(); }};
  for (int i = 0; i < 4; ++i) {
    QAction* a = Action(C::Zoom, zooms[i].first, zooms[i].second);
    a->setShortcuts(zoomKeys[i]);
    connect(a, &QAction::triggered, this, zoomSteps[i]);
    work->addAction(a);
  }

  QMenu* app = menu(C::AppMenu, "O1", "アプリケーション(&O)");
  app->addAction(
      connectTo(Action(C::HtmlPreview, "OM1", "HTMLプレビュー(&H)", QKeySequence("Ctrl+H")),
                &TfrmMain::btnHTMLPreviewClick));
  app->addAction(connectTo(Action(C::Preview, "OM2", "簡易プレビュー(&P)", QKeySequence("Ctrl+A")),
                           &TfrmMain::OM2Click));
  app->addSeparator()->setObjectName("N1");
  app->addAction(connectTo(Action(C::ConvertTool, "OM8", "画像ファイル一括変換ツールの起動(&I)"),
                           &TfrmMain::OM8Click));

  // The canvas's popup: each item runs its menu command's handler and
  // shows no check mark, as the buttons hold the toggles' state. Undo and
  // redo are the menu's own actions, with the step's name.
  pmenuWorkArea = new QMenu(this);
  pmenuWorkArea->setObjectName("pmenuWorkArea");
  const std::pair<const char*, const char*> popup[] = {
      {"pMenuWork1", "OM2"}, {nullptr, nullptr},    {"pMenuWork2", "WM1"},
      {nullptr, nullptr},    {"pMenuWork3", "WM2"}, {"pMenuWork4", "WM3"},
      {nullptr, nullptr},    {"pMenuWork5", "WM4"}, {"pMenuWork6", "WM5"}};
  const C popupIds[] = {C::Preview,  C::ImageLock, C::TrimShow,
                        C::TrimLock, C::GuideShow, C::GuideLock};
  const char* popupCaptions[] = {"プレビュー(&P)",     "画像ロック(&R)", "ボックス表示(&S)",
                                 "ボックスロック(&L)", "ガイド表示(&Y)", "ガイドロック(&E)"};
  int caption = 0;
  for (const auto& [name, command] : popup) {
    if (!name) {
      pmenuWorkArea->addSeparator();
      continue;
    }
    QAction* item = pmenuWorkArea->addAction(U(popupCaptions[caption]));
    item->setObjectName(name);
    Bind(popupIds[caption++], item);
    connect(item, &QAction::triggered, Actions[command], &QAction::trigger);
  }
  pmenuWorkArea->addSeparator();
  pmenuWorkArea->addAction(undo);
  pmenuWorkArea->addAction(redo);

  QMenu* help = menu(C::HelpMenu, "H1", "ヘルプ(&H)");
  help->addAction(
      connectTo(Action(C::HelpMenu, "OM7", "サンプルプロジェクトを開く(&O)"), &TfrmMain::OM7Click));
  help->addAction(
      connectTo(Action(C::HelpMenu, "OM5", "ヘルプ(&H)", QKeySequence("F1")), &TfrmMain::OM5Click));
  help->addSeparator()->setObjectName("HS1");
  help->addAction(connectTo(Action(C::HelpMenu, "OM4", "FlashPlayerダウンロードページへ(&D)"),
                            &TfrmMain::OM4Click));
  help->addSeparator()->setObjectName("HS2");
  help->addAction(connectTo(Action(C::HelpMenu, "OM3", "このアプリケーションについて...(&A)"),
                            &TfrmMain::OM3Click));
}

void TfrmMain::BuildToolBars() {
  QToolBar* tbarMain = addToolBar(U("メイン"));
  tbarMain->setObjectName("tbarMain");
  tbarMain->setMovable(false);
  tbarMain->setIconSize(QSize(16, 16));
  tbarMain->addWidget(Button("btnNewProject", "プロジェクトを新規に作成します",
                             StandardIcon(QStyle::SP_FileIcon), Actions["FM1"]));
  tbarMain->addSeparator()->setObjectName("spButton1");
  tbarMain->addWidget(Button("btnProjectOpen", "プロジェクトファイルを開きます",
                             StandardIcon(QStyle::SP_DialogOpenButton), Actions["FM2"]));
  tbarMain->addWidget(Button("btnSave", "現在のプロジェクトを上書き保存します",
                             StandardIcon(QStyle::SP_DialogSaveButton), Actions["FM3"]));
  tbarMain->addWidget(Button("btnSaveAs", "現在のプロジェクトを名前を付けて保存します",
                             StandardIcon(QStyle::SP_DriveFDIcon), Actions["FM4"]));
  tbarMain->addSeparator()->setObjectName("spButton2");
  tbarMain->addWidget(Button("btnFlashExport", "PC用データファイルを書き出します",
                             StandardIcon(QStyle::SP_ArrowDown), Actions["FM5"]));
  tbarMain->addWidget(Button("btnDesignExport", "PC用テンプレートデザインデータを書き出します",
                             StandardIcon(QStyle::SP_DirIcon), Actions["FM7"]));
  QAction* spMobile = tbarMain->addSeparator();
  spMobile->setObjectName("spMobile");
  Actions["spMobile"] = spMobile;
  Actions["btnMFlashExport"] =
      tbarMain->addWidget(Button("btnMFlashExport", "携帯用データファイルを書き出します",
                                 StandardIcon(QStyle::SP_ComputerIcon), Actions["FM9"]));
  auto* spacer = new QWidget(this);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  tbarMain->addWidget(spacer);
  tbarMain->addWidget(Button("btnHTMLPreview", "HTMLプレビューを実行します",
                             StandardIcon(QStyle::SP_DesktopIcon), Actions["OM1"]));
  QToolButton* preview = Button("btnPreview", "簡易プレビューを実行します",
                                StandardIcon(QStyle::SP_MediaPlay), nullptr);
  preview->setCheckable(true);
  connect(preview, &QToolButton::clicked, this, &TfrmMain::btnPreviewClick);
  tbarMain->addWidget(preview);
  cmbFrameRate = new QComboBox(this);
  cmbFrameRate->setObjectName("cmbFrameRate");
  cmbFrameRate->setToolTip(U("簡易プレビュー時の速度を設定します"));
  for (const char* rate : {"1", "3", "5", "8", "10", "12", "15", "18", "20", "24", "30"})
    cmbFrameRate->addItem(rate);
  cmbFrameRate->setCurrentText("8");
  cmbFrameRate->setMaxVisibleItems(12);
  cmbFrameRate->setMinimumWidth(48);
  connect(cmbFrameRate, &QComboBox::currentTextChanged, this, &TfrmMain::cmbFrameRateChange);
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
  tbarLayer1->addWidget(Button("btnLayerNew", "現在のプロジェクトにアイテムを追加します",
                               StandardIcon(QStyle::SP_FileDialogNewFolder), Actions["LM1"]));
  tbarLayer1->addWidget(Button("btnLayerTrash", "選択されたアイテムを削除します",
                               StandardIcon(QStyle::SP_TrashIcon), Actions["LM2"]));
  tbarLayer1->addWidget(Button("btnLayerTrashAll", "現在のプロジェクトアイテムを全て削除します",
                               StandardIcon(QStyle::SP_DialogDiscardButton), Actions["LM10"]));
  auto* tbarLayer2 = new QToolBar(pnlLayer);
  tbarLayer2->setObjectName("tbarLayer2");
  tbarLayer2->setIconSize(QSize(16, 16));
  tbarLayer2->addWidget(Button("btnLayerUp", "選択されたアイテムの位置を一つ上に移動します",
                               StandardIcon(QStyle::SP_ArrowUp), Actions["LM3_1"]));
  tbarLayer2->addWidget(Button("btnLayerDown", "選択されたアイテムの位置を一つ下に移動します",
                               StandardIcon(QStyle::SP_ArrowDown), Actions["LM3_2"]));
  tbarLayer2->addWidget(Button("btnLayerReverse", "アイテムの順番を逆転させます",
                               StandardIcon(QStyle::SP_BrowserReload), Actions["LM9"]));
  tbarLayer2->addSeparator();
  tbarLayer2->addWidget(Button("btnLayerRotate1", "全てのアイテムを反時計回りに90°回転します",
                               RotationIcon(false), Actions["LM4"]));
  tbarLayer2->addWidget(Button("btnLayerRotate2", "全てのアイテムを時計回りに90°回転します",
                               RotationIcon(true), Actions["LM5"]));
  flmLayer = new TflmLayerList(pnlLayer);
  flmLayer->AddImages = [this] { btnLayerNewClick(); };
  flmLayer->DeleteItem = [this] { btnLayerTrashClick(); };
  flmLayer->MoveUp = [this] { btnLayerUpClick(); };
  flmLayer->MoveDown = [this] { btnLayerDownClick(); };
  flmLayer->MoveTo = [this](int from, int to) {
    // As the up and down commands: never while the items are in use.
    if (LoaderRunning() || ExportRunning() || Aligning || !DataPreview.IsIdle()) return;
    if (const TLayerItemObject* item = document->LayerItems().GetItem(from))
      document->MoveItemTo(item->GetId(), to);
  };
  flmLayer->DoubtOf = [this](std::uint64_t id) -> std::optional<int> {
    const auto found = Doubtful.find(id);
    if (found == Doubtful.end()) return std::nullopt;
    return found->second;
  };

  QToolButton* mono =
      Toggle("btnLayerMono", "モノクロ表示", "メイン画面のモノクロ表示モードをON/OFFします", false);
  mono->setMinimumHeight(50);
  auto* all = new QToolButton(pnlLayer);
  all->setObjectName("btnAllVisible");
  all->setText(U("全表示"));
  all->setToolTip(U("モノクロ表示対象アイテムを全てに設定します"));
  connect(all, &QToolButton::clicked, this, &TfrmMain::btnAllVisibleClick);
  auto* none = new QToolButton(pnlLayer);
  none->setObjectName("btnAllUnVisible");
  none->setText(U("全解除"));
  none->setToolTip(U("モノクロ表示対象アイテムを全て解除します"));
  connect(none, &QToolButton::clicked, this, &TfrmMain::btnAllUnVisibleClick);
  auto* neighbours = new QToolButton(pnlLayer);
  neighbours->setObjectName("btnNeighboursVisible");
  neighbours->setText(U("前後のみ"));
  neighbours->setToolTip(U("モノクロ表示対象を、選んでいる写真の前後の写真だけにします"));
  neighbours->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  connect(neighbours, &QToolButton::clicked, this, &TfrmMain::btnNeighboursVisibleClick);
  tBarNoudo = new QSlider(Qt::Horizontal, pnlLayer);
  tBarNoudo->setObjectName("tBarNoudo");
  tBarNoudo->setRange(3, 70);
  tBarNoudo->setPageStep(10);
  tBarNoudo->setTickInterval(5);
  tBarNoudo->setTickPosition(QSlider::TicksAbove);
  connect(tBarNoudo, &QSlider::valueChanged, this, &TfrmMain::tBarNoudoChange);
  for (QWidget* w : std::initializer_list<QWidget*>{all, none, neighbours, tBarNoudo})
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

  pnlMain = new TWorkArea(*document, central);
  auto* toggles = new QHBoxLayout;
  toggles->addWidget(Toggle("btnImageLock", "画像ロック", "画像の移動をロックします", true));
  toggles->addWidget(Toggle("btnTrimShow", "ボックス表示", "トリミングボックスを表示します", true));
  toggles->addWidget(
      Toggle("btnTrimLock", "ボックスロック", "トリミングボックスをロックします", false));
  toggles->addWidget(Toggle("btnGuideShow", "ガイド表示", "ガイドラインを表示します", true));
  toggles->addWidget(Toggle("btnGuideLock", "ガイドロック", "ガイドラインをロックします", false));
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
  pnlMain->OutputWidth = [this] { return ExportWidth; };
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
  c.Mono = IsButtonDown("btnLayerMono");
  c.Previewing = !DataPreview.IsIdle();
  c.Busy = LoaderRunning() || ExportRunning() || Aligning;
  c.Saved = document->IsSaved();
  c.CanUndo = History && History->UndoStack().canUndo();
  c.CanRedo = History && History->UndoStack().canRedo();
  return c;
}

void TfrmMain::UpdateCommands() {
  const bool items = document->LayerItems().Count() > 0;
  if (!items && IsButtonDown("btnLayerMono")) {
    // monochrome display goes off with the last item
    SetButtonDown("btnLayerMono", false);
    btnLayerMonoClick();
  }
  const TCommandContext context = CommandContext();
  for (const auto& [id, control] : Bound) {
    const bool on = kalvane::IsCommandEnabled(id, context);
    if (auto* action = qobject_cast<QAction*>(control)) {
      action->setEnabled(on);
    } else if (auto* widget = qobject_cast<QWidget*>(control)) {
      widget->setEnabled(on);
    }
  }
  // What the item count shows; the preview and the loaders hold their own.
  if (context.Previewing || LoaderRunning()) return;
  flmLayer->setVisible(items);
  pnlMain->pboxDrag->setVisible(items);
  document->TrimBox().SetVisible(items && IsButtonDown("btnTrimShow"));
  document->GuideLines().SetVisible(items && IsButtonDown("btnGuideShow"));
  pnlMain->SyncControls();
}

void TfrmMain::UndoTextChanged() {
  const QUndoStack& stack = History->UndoStack();
  QAction* undo = Actions["WM7"];
  undo->setText(stack.canUndo() ? U(kUndoStepCaption).arg(stack.undoText()) : U(kUndoCaption));
  QAction* redo = Actions["WM8"];
  redo->setText(stack.canRedo() ? U(kRedoStepCaption).arg(stack.redoText()) : U(kRedoCaption));
}

QWidget* TfrmMain::Control(const char* name) const {
  return findChild<QWidget*>(QString::fromLatin1(name));
}

bool TfrmMain::IsCommandEnabled(const char* name) const {
  if (auto it = Actions.find(name); it != Actions.end()) return it->second->isEnabled();
  const QWidget* w = Control(name);
  return w && w->isEnabled();
}

void TfrmMain::SetControlVisible(const char* name, bool visible) {
  if (auto it = Actions.find(name); it != Actions.end()) it->second->setVisible(visible);
  if (QWidget* w = Control(name)) w->setVisible(visible);
}

bool TfrmMain::IsButtonDown(const char* name) const {
  const auto* b = findChild<QAbstractButton*>(QString::fromLatin1(name));
  return b && b->isChecked();
}

void TfrmMain::SetButtonDown(const char* name, bool down) {
  if (auto* b = findChild<QAbstractButton*>(QString::fromLatin1(name))) b->setChecked(down);
}

void TfrmMain::ClickButton(const char* name) {
  ButtonClicked(name);
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
