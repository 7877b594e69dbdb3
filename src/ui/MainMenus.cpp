#include "ui/MainMenus.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include "ui/CommandButtons.h"
#include "ui/Texts.h"

namespace kalvane::ui {

namespace {

QString U(const char* text) {
  return QString::fromUtf8(text);
}

}  // namespace

void TMainMenus::Build(QMainWindow& window, TActionRegistry& r, const TViewState& view) {
  using C = TCommandId;
  QMenuBar* bar = window.menuBar();
  bar->setObjectName("mnuMain");
  auto menu = [&r, bar](C id, const char* name, const char* caption) {
    QMenu* m = bar->addMenu(U(caption));
    m->menuAction()->setObjectName(name);
    r.AddMenu(id, m->menuAction());
    return m;
  };
  auto add = [&r](QMenu* m, C id, const char* name, const char* caption,
                  const QList<QKeySequence>& keys) {
    QAction& action = r.Add(id, name, U(caption), keys);
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
  add(file, C::NewProject, "FM1", "プロジェクトの新規作成(&N)", {});
  separator(file, "FS1");
  add(file, C::OpenProject, "FM2", "プロジェクトファイルを開く(&O)", key("Ctrl+O"));
  add(file, C::Save, "FM3", "上書き保存(&S)", key("Ctrl+S"));
  add(file, C::SaveAs, "FM4", "名前を付けて保存(&A)", {});
  separator(file, "FS2");
  add(file, C::ExportPc, "FM5", "(PC)データデータファイルを書き出し", {});
  add(file, C::ExportDesign, "FM7", "(PC)テンプレートデザインデータを書き出し", {});
  MobileMenuSeparator = separator(file, "FS4");
  add(file, C::ExportMobile, "FM9", "(携帯)データファイルを書き出し", {});
  add(file, C::ExportOther, "FM10", "その他の形式で書き出し...", {});
  separator(file, "FS3");
  add(file, C::Quit, "FM6", "終了(&Q)", key("Ctrl+Q"));

  // Undo and redo: the window holds them too, so their keys work whatever
  // menu is off.
  QMenu* edit = menu(C::EditMenu, "E1", "編集(&E)");
  QAction* undo = add(edit, C::Undo, "WM7", kUndoCaption, key("Ctrl+Z"));
  QAction* redo = add(edit, C::Redo, "WM8", kRedoCaption,
                      {QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")});
  window.addAction(undo);
  window.addAction(redo);

  QMenu* items = menu(C::ItemMenu, "L1", "アイテム(&L)");
  add(items, C::AddImages, "LM1", "新規アイテム画像の追加(&N)", key("Ctrl+N"));
  add(items, C::DeleteItem, "LM2", "選択したアイテムを削除(&D)", key("Ctrl+Del"));
  add(items, C::DeleteAll, "LM10", "プロジェクトアイテムを全て削除(&E)", {});
  separator(items, "LS3");
  QMenu* current = items->addMenu(U("現在の選択アイテム(&I)"));
  current->menuAction()->setObjectName("LM3");
  r.AddMenu(C::CurrentItemMenu, current->menuAction());
  add(current, C::MoveUp, "LM3_1", "上へ(&U)", key("Ctrl+U"));
  add(current, C::MoveDown, "LM3_2", "下へ(&D)", key("Ctrl+D"));
  add(items, C::Reverse, "LM9", "順番を逆にする(&V)", key("Ctrl+T"));
  separator(items, "LS2");
  add(items, C::RotateLeft, "LM4", "左に90°回転(&L)", key("Ctrl+L"));
  add(items, C::RotateRight, "LM5", "右に90°回転(&R)", key("Ctrl+R"));
  separator(items, "LS1");
  items->addAction(&r.AddToggle(C::Mono, "LM6", U("モノクロ表示(&M)"), key("Ctrl+X"), false));
  add(items, C::AllVisible, "LM7", "全表示(&A)", {});
  add(items, C::AllUnVisible, "LM8", "全解除(&U)", {});
  add(items, C::NeighboursVisible, "LM7_1", "前後のみ(&P)", {});
  separator(items, "LS4");
  // What stands still decides; the box is where the product is, so the
  // whole photo comes first.
  QMenu* align = items->addMenu(U("自動位置合わせ(&J)"));
  align->setObjectName("LM11Menu");
  add(align, C::AlignWhole, "LM11", "写真全体で(&W)", {});
  add(align, C::AlignBox, "LM12", "トリミング枠の範囲で(&B)", {});
  add(align, C::AlignDraw, "LM13", "範囲を描いて指定(&D)...", {});

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
    work->addAction(&r.AddToggle(t.Id, t.Name, U(t.Caption), key(t.Key), view.*t.Flag));
    if (t.Id == C::ImageLock) separator(work, "WS1");
    if (t.Id == C::TrimLock) separator(work, "WS2");
  }
  separator(work, "WS3");
  add(work, C::DeleteGuides, "WM6", "全てのガイドを削除(&A)", {});
  // Zoom and pan of the canvas.
  separator(work, "WS5");
  add(work, C::ZoomIn, "WM9", "拡大(&I)", {QKeySequence("Ctrl+="), QKeySequence("Ctrl++")});
  add(work, C::ZoomOut, "WM10", "縮小(&O)", key("Ctrl+-"));
  add(work, C::ZoomFit, "WM11", "全体表示(&F)", key("Ctrl+0"));
  add(work, C::Zoom100, "WM12", "等倍表示(&1)", key("Ctrl+1"));

  QMenu* app = menu(C::AppMenu, "O1", "アプリケーション(&O)");
  add(app, C::HtmlPreview, "OM1", "HTMLプレビュー(&H)", key("Ctrl+H"));
  app->addAction(&r.AddToggle(C::Preview, "OM2", U("簡易プレビュー(&P)"), key("Ctrl+A"), false));
  separator(app, "N1");
  add(app, C::ConvertTool, "OM8", "画像ファイル一括変換ツールの起動(&I)", {});

  // The canvas's popup: each item runs its menu command and shows no check
  // mark, as the buttons show the toggles' state. Undo and redo are the
  // menu's own actions, with the step's name.
  Popup = new QMenu(&window);
  Popup->setObjectName("pmenuWorkArea");
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
      Popup->addSeparator();
      continue;
    }
    QAction* item = Popup->addAction(U(p.Caption));
    item->setObjectName(p.Name);
    r.Bind(p.Id, item);
    QObject::connect(item, &QAction::triggered, &r.Action(p.Id), &QAction::trigger);
  }
  Popup->addSeparator();
  Popup->addAction(undo);
  Popup->addAction(redo);

  QMenu* help = menu(C::HelpMenu, "H1", "ヘルプ(&H)");
  add(help, C::OpenSample, "OM7", "サンプルプロジェクトを開く(&O)", {});
  add(help, C::Help, "OM5", "ヘルプ(&H)", key("F1"));
  separator(help, "HS1");
  add(help, C::ViewerHelp, "OM4", "FlashPlayerダウンロードページへ(&D)", {});
  separator(help, "HS2");
  add(help, C::About, "OM3", "このアプリケーションについて...(&A)", {});
}

void TMainMenus::BuildToolBar(QMainWindow& window, TActionRegistry& r) {
  using C = TCommandId;
  QToolBar* tbarMain = window.addToolBar(U("メイン"));
  tbarMain->setObjectName("tbarMain");
  tbarMain->setMovable(false);
  tbarMain->setIconSize(QSize(16, 16));
  const auto button = [&window, &r, tbarMain](const char* name, const char* hint,
                                              QStyle::StandardPixmap icon, C id) {
    return tbarMain->addWidget(
        CommandButton(&window, name, hint, StandardIcon(icon), r.Action(id)));
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
  auto* spacer = new QWidget(&window);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  tbarMain->addWidget(spacer);
  button("btnHTMLPreview", "HTMLプレビューを実行します", QStyle::SP_DesktopIcon, C::HtmlPreview);
  button("btnPreview", "簡易プレビューを実行します", QStyle::SP_MediaPlay, C::Preview);
  FrameRate = new QComboBox(&window);
  FrameRate->setObjectName("cmbFrameRate");
  FrameRate->setToolTip(U("簡易プレビュー時の速度を設定します"));
  for (const char* rate : {"1", "3", "5", "8", "10", "12", "15", "18", "20", "24", "30"})
    FrameRate->addItem(rate);
  FrameRate->setCurrentText("8");
  FrameRate->setMaxVisibleItems(12);
  FrameRate->setMinimumWidth(48);
  r.Bind(C::FrameRate, FrameRate);
  tbarMain->addWidget(FrameRate);
}

QHBoxLayout* TMainMenus::ToggleRow(QWidget* parent, TActionRegistry& r) {
  using C = TCommandId;
  const struct {
    const char* Name;
    C Id;
    const char* Caption;
    const char* Hint;
  } toggles[] = {{"btnImageLock", C::ImageLock, "画像ロック", "画像の移動をロックします"},
                 {"btnTrimShow", C::TrimShow, "ボックス表示", "トリミングボックスを表示します"},
                 {"btnTrimLock", C::TrimLock, "ボックスロック", "トリミングボックスをロックします"},
                 {"btnGuideShow", C::GuideShow, "ガイド表示", "ガイドラインを表示します"},
                 {"btnGuideLock", C::GuideLock, "ガイドロック", "ガイドラインをロックします"}};
  auto* row = new QHBoxLayout;
  for (const auto& t : toggles)
    row->addWidget(ToggleButton(parent, t.Name, t.Caption, t.Hint, r.Action(t.Id)));
  row->setSpacing(3);
  row->addStretch();
  return row;
}

void TMainMenus::ShowMobileExport(TActionRegistry& registry, bool shown) const {
  for (QAction* part : {MobileButton, MobileSeparator, MobileMenuSeparator,
                        &registry.Action(TCommandId::ExportMobile)})
    part->setVisible(shown);
}

}  // namespace kalvane::ui
