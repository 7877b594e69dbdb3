#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/Result.h"

class QWidget;

namespace kalvane::fotomill {

// What the window asks of the desktop: pickers, boxes and other programs.
// The Qt one shows real dialogs; tests script and record them.
class IFotomillDialogs {
 public:
  virtual ~IFotomillDialogs() = default;
  virtual std::vector<std::string> PickFiles(const std::string& start) = 0;
  virtual std::optional<std::string> PickFolder(const std::string& title,
                                                const std::string& start) = 0;
  virtual void Warn(const std::string& text) = 0;
  virtual void Inform(const std::string& text) = 0;
  // A yes-or-no question; true for yes.
  virtual bool Ask(const std::string& text) = 0;
  // Runs a program to its end (no shell); fails with its message.
  virtual TResult RunProgram(const std::vector<std::string>& argv) = 0;
  // Starts a program and does not wait for it.
  virtual bool StartProgram(const std::string& program, const std::vector<std::string>& args) = 0;
};

class TQtFotomillDialogs : public IFotomillDialogs {
 public:
  // The window the boxes belong to.
  void SetOwner(QWidget* owner) { Owner = owner; }
  std::vector<std::string> PickFiles(const std::string& start) override;
  std::optional<std::string> PickFolder(const std::string& title,
                                        const std::string& start) override;
  void Warn(const std::string& text) override;
  void Inform(const std::string& text) override;
  bool Ask(const std::string& text) override;
  TResult RunProgram(const std::vector<std::string>& argv) override;
  bool StartProgram(const std::string& program, const std::vector<std::string>& args) override;

 private:
  QWidget* Owner = nullptr;
};

}  // namespace kalvane::fotomill
