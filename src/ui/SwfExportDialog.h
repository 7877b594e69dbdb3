#pragma once

#include <QDialog>

class QSpinBox;
class QPushButton;

namespace kalvane::ui {

// The export width dialog: 100 to 2500 pixels in steps of 100, 500 at
// first; the value is kept from one export to the next during a run.
class TfrmSwfExportDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmSwfExportDialog(QWidget* parent = nullptr);
  bool Confirmed() const { return IsConfirmed; }
  int Width() const;

  void btnOKClick();
  void btnCancelClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QSpinBox* edtSwfWidth = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;
  bool IsConfirmed = false;
};

}  // namespace kalvane::ui
