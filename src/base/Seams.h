#pragma once

#include <functional>
#include <optional>
#include <string>

// The seams between the core and whatever drives it (the editor's windows,
// the command line, tests): each is a small interface the core calls and
// the driver implements.
namespace kalvane {

// Runs functions on the GUI thread. RunSync waits for the step (a worker
// that needs an answer); Post does not (progress and results, so a worker
// never waits for the GUI). Steps run in the order given. Called on the GUI
// thread itself, both run the step at once.
class IGuiDispatcher {
 public:
  virtual ~IGuiDispatcher() = default;
  virtual void RunSync(const std::function<void()>& step) = 0;
  virtual void Post(std::function<void()> step) = 0;
};

// Everything on the calling thread: the command line, which has no GUI.
class TDirectDispatcher : public IGuiDispatcher {
 public:
  void RunSync(const std::function<void()>& step) override { step(); }
  void Post(std::function<void()> step) override { step(); }
};

// Questions, messages and file pickers. The window shows modal boxes
// (with the system beep first); tests answer from a script.
class IDialogs {
 public:
  virtual ~IDialogs() = default;
  virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
  virtual void Warn(const std::string& caption, const std::string& text) = 0;
  virtual void Inform(const std::string& caption, const std::string& text) = 0;
  // A file to open; nothing when the user cancels. `fileName` is the name
  // being looked for, which the dialog may offer.
  virtual std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                              const std::string& fileName) = 0;
};

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
  // The operation waits for another that holds what it needs; `holder`
  // names that one for a log ("pid 4242: kalvane-cli export ..."), empty
  // when it is not known. The message Setup was given says it already; a
  // view without a window (the command line's log) says it here.
  virtual void WaitingFor(const std::string& /*holder*/) {}
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

}  // namespace kalvane
