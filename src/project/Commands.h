#pragma once

namespace kalvane {

// The editor's commands. Menus, buttons and keys are bound to these ids;
// whether each is on follows from the project's state alone.
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
  Density,
  AutoAlign,
  WorkMenu,
  ImageLock,
  TrimShow,
  TrimLock,
  GuideShow,
  GuideLock,
  DeleteGuides,
  Zoom,  // the canvas's zoom steps: a view, not an edit
  AppMenu,
  HtmlPreview,
  Preview,
  FrameRate,
  ConvertTool,
  HelpMenu,
  Count
};

// What the command states follow.
struct TCommandContext {
  int Items = 0;
  bool Mono = false;        // monochrome display on
  bool Previewing = false;  // the simple preview plays
  bool Busy = false;        // a load or an export runs
  bool Saved = true;
  bool CanUndo = false;
  bool CanRedo = false;
};

bool IsCommandEnabled(TCommandId id, const TCommandContext& context);

}  // namespace kalvane
