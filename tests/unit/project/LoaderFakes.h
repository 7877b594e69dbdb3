#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Seams.h"
#include "project/ProjectDocument.h"
#include "project/ProjectFile.h"

namespace kalvane::test {

// Dialogs answered from a script; every question is recorded.
class TScriptedDialogs : public IDialogs {
 public:
  bool AskYesNo(const std::string& caption, const std::string& text) override {
    Log.push_back("ask:" + caption + ":" + text);
    const bool answer = YesNo.empty() ? false : YesNo.front();
    if (!YesNo.empty()) YesNo.pop_front();
    return answer;
  }
  void Warn(const std::string& caption, const std::string& text) override {
    Log.push_back("warn:" + caption + ":" + text);
  }
  void Inform(const std::string& caption, const std::string& text) override {
    Log.push_back("inform:" + caption + ":" + text);
  }
  std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                      const std::string&) override {
    Log.push_back("open:" + title);
    Filter = filter;
    if (Files.empty()) return std::nullopt;
    std::optional<std::string> answer = Files.front();
    Files.pop_front();
    return answer;
  }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& line : Log)
      n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }
  std::deque<bool> YesNo;
  std::deque<std::optional<std::string>> Files;  // nullopt: the user cancels
  std::vector<std::string> Log;
  std::string Filter;
};

// A progress reporter that records and may press cancel at a given step.
class TRecordingProgress : public TProgressModel {
 public:
  explicit TRecordingProgress(std::vector<std::string>* log, int cancelAt = -1)
      : Log(log), CancelAt(cancelAt) {}
  void Setup(const std::string& c, const std::string& m, int lo, int hi) override {
    Log->push_back("setup:" + c + ":" + m + ":" + std::to_string(lo) + ".." + std::to_string(hi));
    TProgressModel::Setup(c, m, lo, hi);
  }
  void ShowProgress() override {
    Log->push_back("show");
    TProgressModel::ShowProgress();
  }
  void HideProgress() override {
    Log->push_back("hide");
    TProgressModel::HideProgress();
  }
  void SetPosition(int value) override {
    TProgressModel::SetPosition(value);
    if (value == CancelAt) CancelPressed();
  }

 private:
  std::vector<std::string>* Log;
  int CancelAt;
};

// A view recording what the loaders ask of the window.
class TRecordingView : public THeadlessView {
 public:
  void HideItemPanel() override { Log.push_back("hidePanel"); }
  void RepaintWorkArea() override { Log.push_back("repaint"); }
  void SetItemPanelRefresh(bool on) override { Log.push_back(on ? "refreshOn" : "refreshOff"); }
  void ShowItemPanel() override { Log.push_back("showPanel"); }
  void FocusWindow() override { Log.push_back("focus"); }
  void ShowWarning(const std::string& text) override { Log.push_back("warning:" + text); }
  std::unique_ptr<IProgress> CreateProgress() override {
    return std::make_unique<TRecordingProgress>(&Log, CancelAt);
  }
  std::vector<std::string> Log;
  int CancelAt = -1;
};

// A project document with a recording view, as a window would own it.
// It starts modified, so a load that marks it saved shows.
struct TFakeLoaderWindow {
  TFakeLoaderWindow() { Doc.MarkModified(); }
  TRecordingView View;
  TProjectDocument Doc{&View};
  TLayerManagement& Items = Doc.LayerItems();
  const TGuideManagement& Guides = Doc.GuideLines();
  const TBandManagement& Box = Doc.TrimBox();
  std::vector<std::string>& Log = View.Log;
  std::string& Caption = View.Caption;
  int& CancelAt = View.CancelAt;
  bool Saved() const { return Doc.IsSaved(); }
};

}  // namespace kalvane::test
