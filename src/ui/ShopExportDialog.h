#pragma once

#include <QDialog>
#include <vector>

#include "export/ExportAdvice.h"
#include "export/ShopPresets.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;

namespace kalvane::ui {

// "その他の形式で書き出し": a preset chosen, its settings shown and edited.
// The settings of every preset stay as edited while the window lives;
// the caller keeps them in the settings file.
class TfrmShopExportDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmShopExportDialog(QWidget* parent);

  void SetPresets(std::vector<TShopPreset> presets, int selected = 0);
  const std::vector<TShopPreset>& Presets() const { return All; }
  int Selected() const;
  // Items of the project: a set cannot take more frames than that.
  // A set preset asking more frames than there are photos is shown with
  // as many as the project allows, said beside it.
  void SetItemCount(int items);
  // The trimming box in photo pixels: settings that would enlarge it are
  // said beside them.
  void SetCut(TSize cut);
  // The frames the set takes (0: every photo), as the dialog shows them.
  int FrameCount() const;
  // The chosen preset once the dialog was confirmed.
  bool Confirmed() const { return IsConfirmed; }

  QComboBox* cmbPreset = nullptr;
  QStackedWidget* pgSettings = nullptr;
  QSpinBox* spnCount = nullptr;
  QSpinBox* spnSize = nullptr;
  QCheckBox* chkSquare = nullptr;
  QComboBox* cmbBackground = nullptr;
  QLineEdit* edtColor = nullptr;
  QComboBox* cmbFormat = nullptr;
  QSpinBox* spnQuality = nullptr;
  QLineEdit* edtName = nullptr;
  QCheckBox* chkZip = nullptr;
  QSpinBox* spnWidth = nullptr;
  QDoubleSpinBox* spnFps = nullptr;
  QSpinBox* spnLoop = nullptr;
  QComboBox* cmbAnimFormat = nullptr;
  QSpinBox* spnVideoWidth = nullptr;
  QDoubleSpinBox* spnVideoFps = nullptr;
  QDoubleSpinBox* spnMinSeconds = nullptr;
  QSpinBox* spnVideoQuality = nullptr;
  QComboBox* cmbVideoFormat = nullptr;  // not for Shopify's pair, always an MP4
  QLabel* lblCountNote = nullptr;
  QLabel* lblAdvice = nullptr;  // uneven spacing, enlarged frames: allowed, but said
  QLabel* lblProblem = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Show(int index);
  void Keep();  // the controls into the current preset
  void btnOKClick();
  void UpdateEnabled();
  void UpdateAdvice();
  QString CountNote(const TShopPreset& preset) const;
  QFormLayout* VideoForm = nullptr;
  std::vector<TShopPreset> All;
  int Current = -1;
  int Items = 0;
  TSize Cut;
  int Lowered = -1;  // the count shown for the preset's larger one
  bool IsConfirmed = false;
  bool Filling = false;
};

}  // namespace kalvane::ui
