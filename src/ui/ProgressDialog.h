#pragma once

#include <QDialog>
#include <functional>

#include "base/Seams.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kalvane::ui {

// The small progress window: message, bar and a cancel button that can
// hide itself. Always on top, centred over its owner.
class TfrmProgressDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmProgressDialog(QWidget* owner);
  std::function<void()> OnCancel;
  QLabel* lblCaption = nullptr;
  QProgressBar* pbarMain = nullptr;
  QPushButton* btnCancel = nullptr;

 protected:
  void reject() override;  // Esc: the cancel button, only while it is offered
  void closeEvent(QCloseEvent* event) override;
};

// The progress reporter: keeps caption, message, range and position, shows
// the window, and disables the owner (the main window) while it is shown.
class TExecProgress : public IProgress {
 public:
  explicit TExecProgress(QWidget* owner);
  ~TExecProgress() override;
  void Setup(const std::string& caption, const std::string& message, int minimum,
             int maximum) override;
  void ShowProgress() override;
  void HideProgress() override;
  void SetPosition(int value) override;
  int GetPosition() const override { return Position; }
  void SetCancellable(bool cancellable) override;
  void SetOnCancel(std::function<void()> handler) override { OnCancel = std::move(handler); }
  void CancelPressed();
  TfrmProgressDialog* Dialog() const { return dialog; }

 private:
  void Apply();
  TfrmProgressDialog* dialog = nullptr;
  QWidget* owner = nullptr;
  std::string caption, message;
  int maxValue = 100, minValue = 0, Position = 0;
  bool cancellable = true;
  std::function<void()> OnCancel;
  int fullHeight;
};

}  // namespace kalvane::ui
