#pragma once

#include <QDialog>
#include <QFrame>
#include <QUrl>
#include <functional>
#include <string>
#include <vector>

#include "export/DesignExport.h"
#include "project/PageTitles.h"
#include "project/SettingsWindows.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class QWebEngineView;

namespace kalvane::ui {

class IWindowDialogs;

// One design of the template window: its thumbnail and name.
class TflmDesignIem : public QFrame {
  Q_OBJECT
 public:
  explicit TflmDesignIem(QWidget* parent);
  void SetDesignIndex(int index) {
    if (index >= 0) designIndex = index;
  }
  int DesignIndex() const { return designIndex; }
  std::string designPath;
  void SetCaption(const QString& caption);
  void SetThumbnail(const QPixmap& thumbnail);
  void SetSelected(bool selected);
  bool Selected() const { return selected; }
  std::function<void(TflmDesignIem&)> OnSelect;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QLabel* imgItem = nullptr;
  QLabel* lblCaption = nullptr;
  int designIndex = 0;
  bool selected = false;
};

// The template design window: themes, their designs with thumbnails, a
// preview of the chosen design's page, and the output folder for the page
// set. Its place and choices are kept in the settings.
class TfrmTemplate : public QDialog, public ITemplateWindowSettings {
  Q_OBJECT
 public:
  TfrmTemplate(IWindowDialogs& dialogs, const std::string& templateFolder, QWidget* parent);

  // The folder chosen at the last "このデザインで作成" (empty: nothing to
  // export), whether to open the page afterwards, and the help switch.
  struct TResult {
    std::string Folder;
    std::string DesignFolder;
    bool OpenAfter = false;
    bool UseHelp = true;
    std::string Title;        // the product's name; empty keeps the design's placeholder
    std::string Description;  // the product's text; empty: the page has none
    TViewerSettings Viewer;
  };
  TResult GetResult() const { return Result; }
  int GetSelectedIndex() const { return selectedIndex; }
  void SelectDesignIndex(int index);
  int DesignCount() const { return static_cast<int>(designItems.size()); }
  TflmDesignIem* Design(int i) const { return designItems[static_cast<std::size_t>(i)]; }
  // The project the page set is for: its product name and text come back
  // from the settings (an unsaved project starts without them).
  void SetProject(const std::string& projectPath);
  // The settings file the names are kept in (the user's by default).
  void SetSettingsPath(const std::string& path) { Titles = TPageTitles(path); }
  // The viewer's settings as the check boxes say.
  TViewerSettings ViewerSettings() const;
  void SetViewerSettings(const TViewerSettings& settings);
  // What the preview browser was last asked to show.
  QUrl PreviewUrl() const { return Shown; }

  void lboxThemeClick();
  void btnCreateClick();
  void btnOutputFolderClick();

  // ITemplateWindowSettings
  TWindowBounds Bounds() const override;
  void SetLeft(int left) override;
  void SetTop(int top) override;
  void SetWidth(int width) override;
  void SetHeight(int height) override;
  bool HasPlace() const override { return Placed; }
  bool AfterOpen() const override;
  void SetAfterOpen(bool on) override;
  bool UseHelp() const override;
  void SetUseHelp(bool on) override;
  int SelectedTheme() const override;
  void SelectTheme(int index) override;
  int SelectedItem() const override { return selectedIndex; }
  void SelectItem(int index) override { SelectDesignIndex(index); }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowDefaultPreview();
  void Navigate(const QUrl& url);
  void ClearDesigns();
  void FillDesigns(const std::string& themeFolder, const std::vector<std::string>& names);
  void SelectDesign(TflmDesignIem& entry);
  void UpdateViewerChecks();
  // The folder typed or picked, made if missing; empty (the user told
  // why, or cancelled) when there is none to write into.
  std::string OutputFolder();

  IWindowDialogs& Dialogs;
  std::string TemplateFolder;
  QListWidget* lboxTheme = nullptr;
  QScrollArea* sboxDesignList = nullptr;
  QWidget* designContent = nullptr;
  QWebEngineView* wBrows = nullptr;
  QVBoxLayout* pnlPreview = nullptr;
  QCheckBox* chkAfterOpen = nullptr;
  QCheckBox* chkUseHelp = nullptr;
  QLineEdit* edtTitle = nullptr;
  QPlainTextEdit* edtDescription = nullptr;
  QLineEdit* edtOutputFolder = nullptr;
  QCheckBox* chkAutoplay = nullptr;
  QCheckBox* chkSpinOnce = nullptr;
  QCheckBox* chkStopOnTouch = nullptr;
  QCheckBox* chkResume = nullptr;
  QSpinBox* spnResumeAfter = nullptr;
  QCheckBox* chkLoadOnClick = nullptr;
  TPageTitles Titles;
  std::string Project;
  bool ProjectSet = false;
  QPushButton* btnCreate = nullptr;
  QPushButton* btnCencel = nullptr;
  std::vector<TflmDesignIem*> designItems;
  int selectedIndex = -1;
  std::string designFolder;
  std::string lastFolder;
  TResult Result;
  QUrl Shown;
  bool Placed = false;
};

// The thumbnail of a design's w x h picture: k = min(100 / w, 70 / h),
// small pictures enlarged.
QSize DesignThumbnailSize(int w, int h);

}  // namespace kalvane::ui
