#include "project/ProjectFlows.h"

#include <filesystem>

#include "base/AtomicFile.h"
#include "project/ProjectDocument.h"
#include "project/ProjectFile.h"
#include "project/ProjectTexts.h"

namespace kalvane {

bool TProjectFlows::NewProject() {
  // A saved project loses nothing: only a modified one is asked about.
  if (Doc.LayerItems().Count() == 0 || (!Doc.IsSaved() && !Ask.ConfirmNew())) return false;
  Doc.Reset();
  Doc.MarkSaved();
  Doc.View().SetCaption(kNoProjectCaption);
  return true;
}

bool TProjectFlows::MayDiscard(bool ask) {
  if (!ask || Doc.LayerItems().Count() == 0 || Doc.IsSaved()) return true;
  return Ask.ConfirmDiscard();
}

void TProjectFlows::BeginOpen(const std::string& path) {
  Doc.Reset();
  Doc.SetProjectPath(path);
}

bool TProjectFlows::WriteTo(const std::string& path) {
  // Renaming over a write-protected file would work where writing it would
  // not: it is replaced only when the user says so, and stays read-only.
  TReadOnly readOnly = TReadOnly::Refuse;
  if (IsWriteProtected(path)) {
    if (!Ask.ConfirmReplaceReadOnly(path)) return false;
    readOnly = TReadOnly::Replace;
  }
  TPrjSave save;
  save.SetMainWindow(&Doc);
  const TResult saved = save.Save(path, readOnly);
  if (!saved.Ok()) {
    Ask.SaveFailed(saved.Error);
    return false;
  }
  Doc.SetProjectPath(path);
  Doc.View().SetCaption(ProjectCaption(path));
  return true;
}

bool TProjectFlows::Save() {
  if (Doc.LayerItems().Count() == 0) return false;
  std::string path = Doc.ProjectPath();
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec)) {
    const std::optional<std::string> picked = Ask.PickSavePath();
    if (!picked) return false;
    path = *picked;
  }
  if (!WriteTo(path)) return false;
  Doc.MarkSaved();
  return true;
}

bool TProjectFlows::SaveAs() {
  if (Doc.LayerItems().Count() == 0) return false;
  const std::optional<std::string> picked = Ask.PickSavePath();
  return picked && WriteTo(*picked);
}

bool TProjectFlows::Close() {
  bool close = true;
  if (!Doc.IsSaved()) {
    switch (Ask.AskSaveOnClose()) {
      case IFlowQuestions::TCloseAnswer::Save:
        Save();
        close = Doc.IsSaved();
        break;
      case IFlowQuestions::TCloseAnswer::Discard:
        break;
      case IFlowQuestions::TCloseAnswer::Cancel:
        close = false;
        break;
    }
  }
  if (close) Doc.History().Clear();
  return close;
}

}  // namespace kalvane
