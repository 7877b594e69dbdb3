#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/OrderedWork.h"
#include "base/Seams.h"
#include "document/LayerItemObject.h"
#include "project/ProjectDocument.h"

namespace kalvane {

// A file the loader could not turn into an item, and why.
struct TRejectedFile {
  std::string Path;
  std::string Reason;
  bool Kept = false;  // in the list all the same, without a picture
};

// What both loaders share: the worker thread, the progress dialog, the
// cancel flag, and decoding several photos at once while adding them to
// the item list in order. Every change of the document, and so every
// listener call, happens on the GUI thread through the dispatcher.
class TLoadThread : public std::enable_shared_from_this<TLoadThread> {
 public:
  virtual ~TLoadThread();

  void SetMainWindow(TProjectDocument* document) {
    if (document) Doc = document;
  }
  void SetDispatcher(IGuiDispatcher* gui) {
    if (gui) Gui = gui;
  }
  // Questions, messages and the find dialog.
  void SetDialogs(IDialogs* dialogs) {
    if (dialogs) Dialogs = dialogs;
  }
  void Cancel() { Cancelled = true; }
  bool IsCancelled() const { return Cancelled; }
  bool IsRunning() const { return Running; }
  const std::vector<TRejectedFile>& Rejected() const { return RejectedFiles; }
  // Why the load broke off on an error of its own (no memory, no thread);
  // empty otherwise. Such a load ends as a cancelled one does.
  const std::string& Failure() const { return FailureText; }

  // The body, then the end handler, on this thread (the command line).
  void Run();
  // The body on a worker thread; the end handler and then `onEnd` run on
  // the GUI thread through the dispatcher. The loader must be owned by a
  // shared_ptr: the worker holds it until the end, so the GUI thread never
  // waits for the worker, and letting go of the loader early is safe.
  void Start(std::function<void()> onEnd = nullptr);

 protected:
  virtual void Body() = 0;
  virtual void Finished() = 0;
  // The body with its errors caught: they end the load as a cancel does.
  void GuardedBody();

  void OnGui(const std::function<void()>& step) { Gui->RunSync(step); }
  void ShowProgress(int minimum, int maximum);
  void HideProgress();
  void StepProgress();
  // Chooses the item scale from the first photo of an empty project.
  void ChooseScale(const std::string& path);
  bool IsNewName(const std::string& name) const;
  // Decodes on a worker; `added` runs with the item once it is in the list.
  void Schedule(const std::string& name, const std::string& path, std::function<int()> position,
                std::function<void(TLayerItemObject&)> added = nullptr);
  void FinishScheduled();
  void Reject(const std::string& path, const std::string& reason, bool kept = false);
  // What was not taken ("登録できなかったファイルがN個ありました。…") and
  // what was kept without a picture, each named (GUI thread); `dropNote`
  // follows the list of what was not taken.
  void ReportRejected(const std::string& dropNote = "");
  int NotTakenCount() const;

  TProjectDocument* Doc = nullptr;
  IDialogs* Dialogs = nullptr;
  IGuiDispatcher* Gui = &Direct;
  std::unique_ptr<IProgress> Progress;
  std::atomic<bool> Cancelled{false};
  std::vector<TRejectedFile> RejectedFiles;
  std::string FailureText;
  // Photos that cannot be decoded join the list without a picture.
  bool KeepUnreadable = false;

 private:
  TDirectDispatcher Direct;
  std::thread Worker;
  std::atomic<bool> Running{false};
  bool ScaleChosen = false;
  std::set<std::string> ScheduledNames;
  struct TDecoded {
    std::string Path;
    std::unique_ptr<TLayerItemObject> Item;
    std::function<int()> Position;
    std::function<void(TLayerItemObject&)> Prepare;
  };
  void Deliver(TDecoded& decoded);
  TOrderedWork<std::shared_ptr<TDecoded>> Decoding{TOrderedWork<int>::DefaultWorkers() + 1};
};

// Opens a project file: guides, box, every listed photo (asking for the
// ones that moved), then the rotation.
class TPrjLoadThread : public TLoadThread {
 public:
  TPrjLoadThread() { KeepUnreadable = true; }
  void SetFindDialog(IDialogs* dialogs) { SetDialogs(dialogs); }
  void SetProjectPath(const std::string& path) {
    if (!path.empty()) ProjectPath = path;
  }
  const std::string& GetSearchFolder() const { return SearchFolder; }
  // The stored path of the photo the user did not find, if that ended it.
  const std::string& GetMissingPath() const { return MissingPath; }

 protected:
  void Body() override;
  void Finished() override;

 private:
  std::string Resolve(const std::string& stored, bool moreFollow);

  std::string ProjectPath;
  std::string SearchFolder;
  std::string MissingPath;
};

// Adds photos the user picked or dropped: appended to an empty project, or
// inserted after the current item. The photos are taken in the one order of
// names (base/NameOrder) whoever gives them, the editor or the command
// line, and end up ascending after the anchor in insert mode too.
class TPrjItemLoadThread : public TLoadThread {
 public:
  void SetFiles(std::vector<std::string> files) { Files = std::move(files); }
  void SetInsertMode(bool insert) { InsertMode = insert; }
  int GetRejectedCount() const { return RejectedCount; }

 protected:
  void Body() override;
  void Finished() override;

 private:
  std::vector<std::string> Files;
  bool InsertMode = false;
  int RejectedCount = 0;
  std::vector<TItemId> IdsBefore;
};

}  // namespace kalvane
