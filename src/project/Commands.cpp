#include "project/Commands.h"

namespace kalvane {

bool IsCommandEnabled(TCommandId id, const TCommandContext& c) {
  const bool items = c.Items > 0;
  // While the preview plays only the preview and its rate stay usable;
  // while a load or an export runs nothing may change the project.
  const bool free = !c.View.Previewing;
  const bool edit = free && !c.Busy;
  switch (id) {
    case TCommandId::Quit:
    case TCommandId::AppMenu:
      return true;
    case TCommandId::FileMenu:
    case TCommandId::EditMenu:
    case TCommandId::ItemMenu:
    case TCommandId::ConvertTool:
    case TCommandId::HelpMenu:
    case TCommandId::OpenSample:
    case TCommandId::Help:
    case TCommandId::ViewerHelp:
    case TCommandId::About:
      return free;
    case TCommandId::OpenProject:
    case TCommandId::AddImages:
      return edit;
    case TCommandId::Save:
      return edit && !c.Saved;
    case TCommandId::Undo:
      return edit && c.CanUndo;
    case TCommandId::Redo:
      return edit && c.CanRedo;
    case TCommandId::NewProject:
    case TCommandId::SaveAs:
    case TCommandId::ExportPc:
    case TCommandId::ExportDesign:
    case TCommandId::ExportMobile:
    case TCommandId::ExportOther:
    case TCommandId::HtmlPreview:
    case TCommandId::DeleteItem:
    case TCommandId::DeleteAll:
    case TCommandId::CurrentItemMenu:
    case TCommandId::MoveUp:
    case TCommandId::MoveDown:
    case TCommandId::Reverse:
    case TCommandId::RotateLeft:
    case TCommandId::RotateRight:
      return edit && items;
    case TCommandId::AlignWhole:
    case TCommandId::AlignBox:
    case TCommandId::AlignDraw:
      return edit && c.Items >= 2;
    case TCommandId::Mono:
    case TCommandId::WorkMenu:
    case TCommandId::ImageLock:
    case TCommandId::TrimShow:
    case TCommandId::TrimLock:
    case TCommandId::GuideShow:
    case TCommandId::GuideLock:
    case TCommandId::ZoomIn:
    case TCommandId::ZoomOut:
    case TCommandId::ZoomFit:
    case TCommandId::Zoom100:
      return free && items;
    case TCommandId::DeleteGuides:
      return edit && items;
    case TCommandId::AllVisible:
    case TCommandId::AllUnVisible:
    case TCommandId::NeighboursVisible:
    case TCommandId::Density:
      return free && items && c.View.Mono;
    case TCommandId::Preview:
    case TCommandId::FrameRate:
      return items;
    case TCommandId::Count:
      break;
  }
  return false;
}

}  // namespace kalvane
