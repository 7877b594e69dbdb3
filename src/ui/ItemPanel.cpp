#include "ui/ItemPanel.h"

#include <QGridLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "ui/CommandButtons.h"
#include "ui/LayerList.h"

namespace kalvane::ui {

TItemPanel::TItemPanel(TActionRegistry& commands, QWidget* parent) : QWidget(parent) {
  using C = TCommandId;
  setObjectName("pnlLayer");
  setFixedWidth(193);
  const auto bar = [this](const char* name) {
    auto* made = new QToolBar(this);
    made->setObjectName(name);
    made->setIconSize(QSize(16, 16));
    return made;
  };
  const auto button = [this, &commands](QToolBar* to, const char* name, const char* hint,
                                        const QIcon& icon, C id) {
    to->addWidget(CommandButton(this, name, hint, icon, commands.Action(id)));
  };
  QToolBar* tbarLayer1 = bar("tbarLayer1");
  button(tbarLayer1, "btnLayerNew", "現在のプロジェクトにアイテムを追加します",
         StandardIcon(QStyle::SP_FileDialogNewFolder), C::AddImages);
  button(tbarLayer1, "btnLayerTrash", "選択されたアイテムを削除します",
         StandardIcon(QStyle::SP_TrashIcon), C::DeleteItem);
  button(tbarLayer1, "btnLayerTrashAll", "現在のプロジェクトアイテムを全て削除します",
         StandardIcon(QStyle::SP_DialogDiscardButton), C::DeleteAll);
  QToolBar* tbarLayer2 = bar("tbarLayer2");
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
  List = new TflmLayerList(this);

  QToolButton* mono =
      ToggleButton(this, "btnLayerMono", "モノクロ表示",
                   "メイン画面のモノクロ表示モードをON/OFFします", commands.Action(C::Mono));
  mono->setMinimumHeight(50);
  QToolButton* all =
      CaptionButton(this, "btnAllVisible", "全表示", "モノクロ表示対象アイテムを全てに設定します",
                    commands.Action(C::AllVisible));
  QToolButton* none =
      CaptionButton(this, "btnAllUnVisible", "全解除", "モノクロ表示対象アイテムを全て解除します",
                    commands.Action(C::AllUnVisible));
  QToolButton* neighbours =
      CaptionButton(this, "btnNeighboursVisible", "前後のみ",
                    "モノクロ表示対象を、選んでいる写真の前後の写真だけにします",
                    commands.Action(C::NeighboursVisible));
  neighbours->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  Density = new QSlider(Qt::Horizontal, this);
  Density->setObjectName("tBarNoudo");
  Density->setRange(3, 70);
  Density->setPageStep(10);
  Density->setTickInterval(5);
  Density->setTickPosition(QSlider::TicksAbove);
  commands.Bind(C::Density, Density);
  MonoControls = {all, none, neighbours, Density};
  ShowMonoControls(false);
  auto* monoRow = new QGridLayout;
  monoRow->addWidget(mono, 0, 0, 3, 1);
  monoRow->addWidget(all, 0, 1);
  monoRow->addWidget(none, 0, 2);
  monoRow->addWidget(neighbours, 1, 1, 1, 2);
  monoRow->addWidget(Density, 2, 1, 1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->setSpacing(1);
  layout->addWidget(tbarLayer1);
  layout->addWidget(tbarLayer2);
  layout->addWidget(List, 1);
  layout->addLayout(monoRow);
}

void TItemPanel::ShowMonoControls(bool shown) {
  for (QWidget* control : MonoControls)
    control->setVisible(shown);
}

void TItemPanel::WindowWheel(const QWheelEvent& e) {
  const int turn = e.angleDelta().y();
  if (Density->hasFocus() || turn == 0) return;
  QScrollBar* bar = List->scrLayerList->verticalScrollBar();
  bar->setValue(bar->value() + (turn < 0 ? bar->singleStep() : -bar->singleStep()));
}

}  // namespace kalvane::ui
