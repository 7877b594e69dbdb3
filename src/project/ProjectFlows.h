#pragma once

#include <optional>
#include <string>

namespace kalvane {

class TProjectDocument;

// What the project flows ask the user. The editor answers with its
// dialogs, tests from a script.
class IFlowQuestions {
 public:
  enum class TCloseAnswer { Save, Discard, Cancel };
  virtual ~IFlowQuestions() = default;
  virtual bool ConfirmNew() = 0;      // the current project is dropped for a new one
  virtual bool ConfirmDiscard() = 0;  // a modified project is dropped for another
  // Where to save; nothing when the user cancels.
  virtual std::optional<std::string> PickSavePath() = 0;
  virtual bool ConfirmReplaceReadOnly(const std::string& path) = 0;
  virtual void SaveFailed(const std::string& reason) = 0;
  virtual TCloseAnswer AskSaveOnClose() = 0;
};

// New, open, save, save as and close of a project, with their questions
// and the saved state each leaves. The window shows the dialogs and starts
// the loader; the rules are here.
class TProjectFlows {
 public:
  TProjectFlows(TProjectDocument& document, IFlowQuestions& questions)
      : Doc(document), Ask(questions) {}

  // Nothing without items; otherwise asked, saved or not. True when the
  // project was emptied.
  bool NewProject();
  // Whether the project may make way for another: asked only when it has
  // items and is modified (and `ask` is set).
  bool MayDiscard(bool ask = true);
  // Empties the project for the one at `path`, which a loader then reads.
  void BeginOpen(const std::string& path);
  // To the project's file when it exists, else where the user picks.
  // True when written; the project is then saved.
  bool Save();
  // Where the user picks; the saved state stays as it was.
  bool SaveAs();
  // True when the window may close: saved, or the user says so. The
  // history goes with it.
  bool Close();

 private:
  bool WriteTo(const std::string& path);
  TProjectDocument& Doc;
  IFlowQuestions& Ask;
};

}  // namespace kalvane
