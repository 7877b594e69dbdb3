#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ui/WindowDialogs.h"

namespace kalvane::test {

// Every question answered from a script and recorded; no box is shown.
// An unscripted question gets the cautious answer (no, cancel, nothing).
class TScriptedWindowDialogs : public ui::IWindowDialogs {
 public:
  bool AskYesNo(const std::string& caption, const std::string& text) override {
    Log.push_back("yesno:" + caption + ":" + text);
    return Take(YesNo, false);
  }
  void Warn(const std::string& caption, const std::string& text) override {
    Log.push_back("warn:" + caption + ":" + text);
  }
  void Inform(const std::string& caption, const std::string& text) override {
    Log.push_back("inform:" + caption + ":" + text);
  }
  void ShowError(const std::string& caption, const std::string& text) override {
    Log.push_back("error:" + caption + ":" + text);
  }
  std::optional<std::string> OpenFile(const std::string& title, const std::string&,
                                      const std::string&) override {
    Log.push_back("open:" + title);
    return Take(Files, std::optional<std::string>());
  }
  bool AskOkCancel(const std::string& caption, const std::string& text) override {
    Log.push_back("okcancel:" + caption + ":" + text);
    return Take(OkCancel, false);
  }
  ui::TAnswer AskYesNoCancel(const std::string& caption, const std::string& text) override {
    Log.push_back("yesnocancel:" + caption + ":" + text);
    return Take(YesNoCancel, ui::TAnswer::Cancel);
  }
  std::vector<std::string> PickImages() override {
    Log.push_back("images");
    return Take(Images, std::vector<std::string>());
  }
  std::optional<std::string> PickProject(const std::string& folder) override {
    Log.push_back("project:" + folder);
    return Take(Projects, std::optional<std::string>());
  }
  std::optional<std::string> PickSaveFile(const std::string& filter, const std::string& name,
                                          const std::string&) override {
    Log.push_back("save:" + filter + ":" + name);
    return Take(SaveFiles, std::optional<std::string>());
  }
  std::optional<std::string> PickFolder(const std::string& title,
                                        const std::string& start) override {
    Log.push_back("folder:" + title + ":" + start);
    return Take(Folders, std::optional<std::string>());
  }
  std::optional<int> AskExportWidth() override {
    Log.push_back("width");
    return Take(Widths, std::optional<int>());
  }
  void OpenDocument(const std::string& target) override { Log.push_back("opendoc:" + target); }
  void StartProgram(const std::string& path) override { Log.push_back("start:" + path); }
  void ShowAbout() override { Log.push_back("about"); }

  int Count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& line : Log)
      n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }

  std::deque<bool> YesNo, OkCancel;
  std::deque<ui::TAnswer> YesNoCancel;
  std::deque<std::optional<std::string>> Files, Projects, SaveFiles, Folders;
  std::deque<std::vector<std::string>> Images;
  std::deque<std::optional<int>> Widths;
  std::vector<std::string> Log;

 private:
  template <typename T>
  static T Take(std::deque<T>& queue, T otherwise) {
    if (queue.empty()) return otherwise;
    T answer = std::move(queue.front());
    queue.pop_front();
    return answer;
  }
};

}  // namespace kalvane::test
