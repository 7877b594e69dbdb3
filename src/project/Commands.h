#pragma once

namespace kalvane {

// The editor's commands: one id a menu item or button command. Menus,
// buttons and keys are bound to these ids; whether each is on follows from
// the project's and the view's state alone.
enum class TCommandId {
  FileMenu,
  NewProject,
  OpenProject,
  Save,
  SaveAs,
  ExportPc,
  ExportDesign,
  ExportMobile,
  ExportOther,
  Quit,
  EditMenu,
  Undo,
  Redo,
  ItemMenu,
  AddImages,
  DeleteItem,
  DeleteAll,
  CurrentItemMenu,
  MoveUp,
  MoveDown,
  Reverse,
  RotateLeft,
  RotateRight,
  Mono,
  AllVisible,
  AllUnVisible,
  NeighboursVisible,
  Density,
  AlignWhole,
  AlignBox,
  AlignDraw,
  WorkMenu,
  ImageLock,
  TrimShow,
  TrimLock,
  GuideShow,
  GuideLock,
  DeleteGuides,
  // The canvas's zoom steps: a view, not an edit.
  ZoomIn,
  ZoomOut,
  ZoomFit,
  Zoom100,
  AppMenu,
  HtmlPreview,
  Preview,
  FrameRate,
  ConvertTool,
  HelpMenu,
  OpenSample,
  Help,
  ViewerHelp,
  About,
  Count
};

// How the work area is shown: the toggles, the preview and the zoom. The
// window keeps it; the commands and the work area read it.
struct TViewState {
  bool Mono = false;  // monochrome display
  bool ImageLocked = true;
  bool BoxShown = true;
  bool BoxLocked = false;
  bool GuidesShown = true;
  bool GuidesLocked = false;
  bool Previewing = false;  // the simple preview plays
  double Zoom = 0;          // 0: fit, else screen pixels per photo pixel
};

// What the command states follow.
struct TCommandContext {
  int Items = 0;
  TViewState View{};
  bool Busy = false;  // a load, an export or an alignment runs
  bool Saved = true;
  bool CanUndo = false;
  bool CanRedo = false;
};

bool IsCommandEnabled(TCommandId id, const TCommandContext& context);

}  // namespace kalvane
