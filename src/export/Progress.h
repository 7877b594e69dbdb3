#pragma once

#include <functional>
#include <string>

namespace kalvane {

// The progress reporter of long operations: caption, message, range,
// position and an optional cancel button. The window shows it in a small
// dialog that disables the main window; the command line draws a bar;
// tests count calls. Every operation runs on the GUI thread.
class IProgress {
 public:
  virtual ~IProgress() = default;
  virtual void Setup(const std::string& caption, const std::string& message, int minimum,
                     int maximum) = 0;
  virtual void ShowProgress() = 0;
  virtual void HideProgress() = 0;
  virtual void SetPosition(int value) = 0;
  virtual int GetPosition() const = 0;
  virtual void StepIt() { SetPosition(GetPosition() + 1); }
  virtual void SetCancellable(bool cancellable) = 0;
  // Called when the user cancels.
  virtual void SetOnCancel(std::function<void()> handler) = 0;
};

// Keeps the values; a view derives and draws them in Repaint.
class TProgressModel : public IProgress {
 public:
  void Setup(const std::string& caption, const std::string& message, int minimum,
             int maximum) override {
    Caption = caption;
    Message = message;
    MinValue = minimum;
    MaxValue = maximum;
    Position = 0;
    Repaint();
  }
  void ShowProgress() override {
    Shown = true;
    Repaint();
  }
  void HideProgress() override {
    Shown = false;
    Repaint();
  }
  void SetPosition(int value) override {
    Position = value;
    Repaint();
  }
  int GetPosition() const override { return Position; }
  void SetCancellable(bool cancellable) override { Cancellable = cancellable; }
  void SetOnCancel(std::function<void()> handler) override { OnCancel = std::move(handler); }
  // The cancel button.
  void CancelPressed() {
    if (OnCancel) OnCancel();
  }

  std::string Caption;
  std::string Message;
  int MinValue = 0;
  int MaxValue = 100;
  int Position = 0;
  bool Cancellable = true;
  bool Shown = false;

 protected:
  virtual void Repaint() {}

 private:
  std::function<void()> OnCancel;
};

// The captions and messages of the progress dialog.
inline constexpr const char* kProgressCaption = "しばらくお待ちください";
inline constexpr const char* kExportMessage = "コンテンツデータ作成中...";
inline constexpr const char* kLoadMessage = "データ読み込み中...";

}  // namespace kalvane
