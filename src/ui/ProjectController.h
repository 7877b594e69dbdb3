#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kalvane {
class IFlowQuestions;
class TProjectDocument;
class TProjectFlows;
}  // namespace kalvane

namespace kalvane::ui {

class IWindowDialogs;
class TLoaderController;

// The editor's project commands: new, open (picked, a sample, dropped or
// named on the command line), add photos, save, save as and close, with
// their questions; opening and adding run on the loader.
class TProjectController {
 public:
  TProjectController(TProjectDocument& document, IWindowDialogs& dialogs,
                     TLoaderController& loader);
  ~TProjectController();
  TProjectController(const TProjectController&) = delete;
  TProjectController& operator=(const TProjectController&) = delete;

  void NewProject();
  void AskOpenProject();
  void OpenSample();
  // `ask`: whether a modified project is asked about before it goes.
  void OpenProject(const std::string& path, bool ask = true);
  void PickAndAddImages();
  void AddImages(std::vector<std::string> files);
  // A project file alone opens; otherwise the photos among the files are
  // added.
  void OpenDropped(const std::vector<std::string>& paths);
  void Save();
  void SaveAs();
  // True when the window may close (saved, or the user says so).
  bool Close();

  // The project the program was started with opens once the window is on
  // the screen, unless another was opened first.
  void SetCommandLineFile(std::string path) { CommandLineFile = std::move(path); }
  void OpenCommandLineFile();

 private:
  TProjectDocument& Document;
  IWindowDialogs& Dialogs;
  TLoaderController& Loader;
  std::unique_ptr<IFlowQuestions> Questions;
  std::unique_ptr<TProjectFlows> Flows;
  std::string CommandLineFile;
};

}  // namespace kalvane::ui
