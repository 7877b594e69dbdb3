#pragma once

#include <QMainWindow>
#include <QTimer>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fotomill/FotomillDialogs.h"
#include "fotomill/WorkQueue.h"
#include "imaging/PhotoBatch.h"
#include "qt/QtDispatcher.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace kalvane::fotomill {

// The preparation tool's window: the shoot's photos with thumbnails, the
// settings, a before/after preview of the selected photo, and the run.
class TfrmFotomill : public QMainWindow {
  Q_OBJECT

 public:
  // `settingsFile` keeps the settings between runs (empty: the user's
  // fotomill.ini beside Kalvane's settings).
  explicit TfrmFotomill(IFotomillDialogs* dialogs, const std::string& settingsFile = {},
                        QWidget* parent = nullptr);
  ~TfrmFotomill() override;

  // Photos and folders of photos, as picked or dropped; in name order
  // after those already listed, each photo once.
  void AddPaths(const std::vector<std::string>& paths);
  const std::vector<std::string>& Photos() const { return Files; }
  // The project a run makes for the editor: named after the output folder,
  // inside it.
  static std::string ProjectPathFor(const std::string& folder);
  TPrepSettings Settings() const;
  bool Running() const { return Worker.joinable(); }
  // Whether a preview is still to come.
  bool PreviewPending() const { return PreviewTimer.isActive() || Previewer.Busy(); }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildWidgets();
  void LoadSettings();
  void SaveSettings() const;
  void ListChanged();
  void UpdateControls();
  void ShowPreview();
  void btnAddFilesClick();
  void btnAddFolderClick();
  void btnRemoveClick();
  void btnClearClick();
  void btnOutputClick();
  void btnRunClick();
  void btnCancelClick();
  void RunEnded(const TPrepReport& report);
  void OpenInKalvane(const TPrepReport& report);
  // The photos the level box speaks for: those selected, else the current.
  std::vector<int> LevelRows() const;
  void LevelChanged(double degrees);
  void btnLevelAllClick();
  // A photo's row: its name, its own level and what its run said.
  void ShowItem(int row);

  IFotomillDialogs* Dialogs = nullptr;
  std::string SettingsFile;
  std::vector<std::string> Files;
  std::map<std::string, double> Levels;      // each photo's own, by path
  std::map<std::string, std::string> Notes;  // what the last run said of a photo
  std::string RunFolder;                     // where the running or last run writes
  QTimer PreviewTimer;
  int PreviewAsked = 0;  // only the latest preview asked for is shown
  // The reference photo's backdrop at preview size, by path; the preview
  // worker's own.
  std::map<std::string, TBackdropStats> ReferenceStats;
  // After what their jobs use, so they stop first.
  TWorkQueue Thumbnails, Previewer;
  qt::TQtDispatcher Gui{this};  // the run's progress and end
  std::thread Worker;
  std::atomic<bool> CancelFlag{false};

  QListWidget* lstPhotos = nullptr;
  QPushButton *btnAddFiles = nullptr, *btnAddFolder = nullptr, *btnRemove = nullptr,
              *btnClear = nullptr;
  QLabel *lblBefore = nullptr, *lblAfter = nullptr, *lblStatus = nullptr;
  QCheckBox *chkGrid = nullptr, *chkMatchExposure = nullptr, *chkWhiteBackground = nullptr,
            *chkKeepShadows = nullptr, *chkKeepMetadata = nullptr, *chkOpenInKalvane = nullptr;
  QComboBox *cmbReference = nullptr, *cmbRotate = nullptr, *cmbFormat = nullptr;
  QDoubleSpinBox *spnThreshold = nullptr, *spnSoftEdge = nullptr, *spnLevel = nullptr;
  QDoubleSpinBox *spnCropLeft = nullptr, *spnCropTop = nullptr, *spnCropRight = nullptr,
                 *spnCropBottom = nullptr;
  QSpinBox *spnSize = nullptr, *spnQuality = nullptr;
  QLineEdit *edtName = nullptr, *edtOutput = nullptr;
  QPushButton *btnOutput = nullptr, *btnRun = nullptr, *btnCancel = nullptr, *btnLevelAll = nullptr;
  QCheckBox* chkEnlarge = nullptr;
  QProgressBar* prgRun = nullptr;
};

}  // namespace kalvane::fotomill
