#include "project/Commands.h"

#include <gtest/gtest.h>

#include <string>

namespace kalvane {
namespace {

using C = TCommandId;

// One row a state: which commands are on in it. Every command not named
// must be off.
struct TRow {
  const char* Name;
  TCommandContext Context;
  std::vector<C> On;
};

const std::vector<C> kAlways = {C::Quit, C::AppMenu};
const std::vector<C> kFree = {C::FileMenu, C::EditMenu,    C::ItemMenu,  C::ConvertTool,
                              C::HelpMenu, C::OpenProject, C::AddImages, C::OpenSample,
                              C::Help,     C::ViewerHelp,  C::About};
const std::vector<C> kWithItems = {
    C::NewProject,  C::SaveAs,      C::ExportPc,     C::ExportDesign, C::ExportMobile,
    C::ExportOther, C::HtmlPreview, C::DeleteItem,   C::DeleteAll,    C::CurrentItemMenu,
    C::MoveUp,      C::MoveDown,    C::Reverse,      C::RotateLeft,   C::RotateRight,
    C::Mono,        C::WorkMenu,    C::ImageLock,    C::TrimShow,     C::TrimLock,
    C::GuideShow,   C::GuideLock,   C::DeleteGuides, C::ZoomIn,       C::ZoomOut,
    C::ZoomFit,     C::Zoom100,     C::Preview,      C::FrameRate};

std::vector<C> Join(std::initializer_list<std::vector<C>> parts) {
  std::vector<C> all;
  for (const auto& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(CommandStates, FollowTheProjectStateAsTheTableSays) {
  TCommandContext empty;
  TCommandContext one{.Items = 1};
  TCommandContext two{.Items = 2, .Saved = false, .CanUndo = true, .CanRedo = true};
  TCommandContext mono{.Items = 2, .View = {.Mono = true}};
  TCommandContext playing{
      .Items = 2, .View = {.Mono = true, .Previewing = true}, .Saved = false, .CanUndo = true};
  TCommandContext loading{.Items = 2, .Busy = true, .Saved = false, .CanUndo = true};
  TCommandContext emptyUndo{.CanUndo = true};
  const std::vector<TRow> rows = {
      {"empty project", empty, Join({kAlways, kFree})},
      {"one item, saved", one, Join({kAlways, kFree, kWithItems})},
      {"two items, modified, history both ways", two,
       Join({kAlways,
             kFree,
             kWithItems,
             {C::AlignWhole, C::AlignBox, C::AlignDraw, C::Save, C::Undo, C::Redo}})},
      {"monochrome", mono,
       Join({kAlways,
             kFree,
             kWithItems,
             {C::AlignWhole, C::AlignBox, C::AlignDraw, C::AllVisible, C::AllUnVisible,
              C::NeighboursVisible, C::Density}})},
      // the preview leaves itself, its rate and the application menu
      {"preview playing", playing, Join({kAlways, {C::Preview, C::FrameRate}})},
      // a load or an export: views may change, the project may not
      {"load or export running", loading,
       Join({kAlways,
             {C::FileMenu, C::EditMenu,   C::ItemMenu,  C::ConvertTool, C::HelpMenu, C::OpenSample,
              C::Help,     C::ViewerHelp, C::About,     C::Mono,        C::WorkMenu, C::ImageLock,
              C::TrimShow, C::TrimLock,   C::GuideShow, C::GuideLock,   C::ZoomIn,   C::ZoomOut,
              C::ZoomFit,  C::Zoom100,    C::Preview,   C::FrameRate}})},
      // deleting the last item can be undone
      {"no items, something to undo", emptyUndo, Join({kAlways, kFree, {C::Undo}})},
  };
  for (const TRow& row : rows) {
    for (int i = 0; i < static_cast<int>(C::Count); ++i) {
      const auto id = static_cast<C>(i);
      const bool expected = std::find(row.On.begin(), row.On.end(), id) != row.On.end();
      EXPECT_EQ(IsCommandEnabled(id, row.Context), expected)
          << row.Name << ": command " << i << (expected ? " should be on" : " should be off");
    }
  }
}

}  // namespace
}  // namespace kalvane
