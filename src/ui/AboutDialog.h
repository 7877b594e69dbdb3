#pragma once

#include <QDialog>
#include <functional>

namespace kalvane::ui {

// The About box, also shown as the start-up splash. A click on the link
// opens the project page; a click anywhere else closes it.
class TfrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAbout(QWidget* parent = nullptr);
  std::function<void()> OnLinkClick;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace kalvane::ui
