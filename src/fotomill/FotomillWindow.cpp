#include "fotomill/FotomillWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QSpinBox>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "base/AppUtil.h"
#include "base/NameOrder.h"
#include "fotomill/Messages.h"
#include "fotomill/Texts.h"
#include "imaging/OutputFolder.h"
#include "imaging/PhotoLoad.h"

namespace kalvane::fotomill {

namespace fs = std::filesystem;

namespace {

constexpr int kThumbnail = 72;
constexpr int kPreview = 360;
constexpr int kPreviewDelayMs = 120;

QString T(const char* text) {
  return QString::fromUtf8(text);
}

QImage ToQImage(const TRgbImage& image) {
  QImage out(image.Width, image.Height, QImage::Format_RGB888);
  for (int y = 0; y < image.Height; ++y) {
    const std::uint16_t* in = image.Row(y);
    uchar* row = out.scanLine(y);
    for (int i = 0; i < image.Width * 3; ++i)
      row[i] = static_cast<uchar>((in[i] + 128) / 257);
  }
  return out;
}

// Lines at eighths: what is level shows against them.
void DrawGrid(QImage& image) {
  QPainter painter(&image);
  painter.setPen(QPen(QColor(0, 160, 255, 160), 1));
  for (int i = 1; i < 8; ++i) {
    const int x = image.width() * i / 8, y = image.height() * i / 8;
    painter.drawLine(x, 0, x, image.height());
    painter.drawLine(0, y, image.width(), y);
  }
}

QDoubleSpinBox* Percent(QWidget* parent, const char* name, double max) {
  auto* spin = new QDoubleSpinBox(parent);
  spin->setObjectName(name);
  spin->setRange(0, max);
  spin->setDecimals(1);
  spin->setSingleStep(0.5);
  return spin;
}

}  // namespace

TfrmFotomill::TfrmFotomill(IFotomillDialogs* dialogs, const std::string& settingsFile,
                           QWidget* parent)
    : QMainWindow(parent),
      Dialogs(dialogs),
      SettingsFile(settingsFile.empty() ? GetUserDataFolder() + "fotomill.ini" : settingsFile) {
  setObjectName("frmFotomill");
  setWindowTitle(T(kTitle));
  setAcceptDrops(true);
  BuildWidgets();
  LoadSettings();
  // Ctrl+Q closes the window, as in the editor.
  auto* quit = new QAction(T(kQuit), this);
  quit->setObjectName("actQuit");
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  quit->setShortcutContext(Qt::WindowShortcut);
  connect(quit, &QAction::triggered, this, &QWidget::close);
  addAction(quit);
  PreviewTimer.setSingleShot(true);
  PreviewTimer.setInterval(kPreviewDelayMs);
  connect(&PreviewTimer, &QTimer::timeout, this, &TfrmFotomill::ShowPreview);
  UpdateControls();
}

TfrmFotomill::~TfrmFotomill() {
  CancelFlag = true;
  if (Worker.joinable()) Worker.join();
}

void TfrmFotomill::BuildWidgets() {
  auto* central = new QWidget(this);
  auto* columns = new QHBoxLayout(central);

  // The photos.
  auto* left = new QVBoxLayout;
  left->addWidget(new QLabel(T(kPhotos), central));
  lstPhotos = new QListWidget(central);
  lstPhotos->setObjectName("lstPhotos");
  lstPhotos->setIconSize(QSize(kThumbnail, kThumbnail));
  lstPhotos->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstPhotos->setMinimumWidth(220);
  left->addWidget(lstPhotos, 1);
  auto* listButtons = new QHBoxLayout;
  const auto button = [&](const char* name, const char* text, void (TfrmFotomill::*slot)()) {
    auto* b = new QPushButton(T(text), central);
    b->setObjectName(name);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
  };
  btnAddFiles = button("btnAddFiles", kAddFiles, &TfrmFotomill::btnAddFilesClick);
  btnAddFolder = button("btnAddFolder", kAddFolder, &TfrmFotomill::btnAddFolderClick);
  btnRemove = button("btnRemove", kRemove, &TfrmFotomill::btnRemoveClick);
  btnClear = button("btnClear", kClear, &TfrmFotomill::btnClearClick);
  for (QPushButton* b : {btnAddFiles, btnAddFolder, btnRemove, btnClear})
    listButtons->addWidget(b);
  left->addLayout(listButtons);
  columns->addLayout(left, 1);

  // Before and after.
  auto* middle = new QVBoxLayout;
  const auto picture = [&](const char* name, const char* title) {
    middle->addWidget(new QLabel(T(title), central));
    auto* label = new QLabel(central);
    label->setObjectName(name);
    label->setFixedSize(kPreview, kPreview * 3 / 4);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet("QLabel { background: #888; }");
    middle->addWidget(label);
    return label;
  };
  lblBefore = picture("lblBefore", kBefore);
  lblAfter = picture("lblAfter", kAfter);
  chkGrid = new QCheckBox(T(kGrid), central);
  chkGrid->setObjectName("chkGrid");
  middle->addWidget(chkGrid);
  middle->addStretch();
  columns->addLayout(middle);

  // The settings.
  auto* right = new QVBoxLayout;
  auto* light = new QGroupBox(T(kLightGroup), central);
  auto* lightForm = new QFormLayout(light);
  chkMatchExposure = new QCheckBox(T(kMatchExposure), light);
  chkMatchExposure->setObjectName("chkMatchExposure");
  cmbReference = new QComboBox(light);
  cmbReference->setObjectName("cmbReference");
  lightForm->addRow(chkMatchExposure);
  lightForm->addRow(T(kReference), cmbReference);
  right->addWidget(light);

  auto* backdrop = new QGroupBox(T(kBackdropGroup), central);
  auto* backdropForm = new QFormLayout(backdrop);
  chkWhiteBackground = new QCheckBox(T(kWhiteBackground), backdrop);
  chkWhiteBackground->setObjectName("chkWhiteBackground");
  spnThreshold = Percent(backdrop, "spnThreshold", 100);
  spnSoftEdge = Percent(backdrop, "spnSoftEdge", 50);
  chkKeepShadows = new QCheckBox(T(kKeepShadows), backdrop);
  chkKeepShadows->setObjectName("chkKeepShadows");
  backdropForm->addRow(chkWhiteBackground);
  backdropForm->addRow(T(kThreshold), spnThreshold);
  backdropForm->addRow(T(kSoftEdge), spnSoftEdge);
  backdropForm->addRow(chkKeepShadows);
  right->addWidget(backdrop);

  auto* geometry = new QGroupBox(T(kGeometryGroup), central);
  auto* geometryForm = new QFormLayout(geometry);
  spnLevel = new QDoubleSpinBox(geometry);
  spnLevel->setObjectName("spnLevel");
  spnLevel->setRange(-45, 45);
  spnLevel->setDecimals(1);
  spnLevel->setSingleStep(0.1);
  spnLevel->setToolTip(T(kLevelHint));
  btnLevelAll = button("btnLevelAll", kLevelAll, &TfrmFotomill::btnLevelAllClick);
  auto* levelRow = new QHBoxLayout;
  levelRow->addWidget(spnLevel, 1);
  levelRow->addWidget(btnLevelAll);
  cmbRotate = new QComboBox(geometry);
  cmbRotate->setObjectName("cmbRotate");
  for (const char* r : kRotations)
    cmbRotate->addItem(T(r));
  auto* margins = new QHBoxLayout;
  spnCropLeft = Percent(geometry, "spnCropLeft", 45);
  spnCropTop = Percent(geometry, "spnCropTop", 45);
  spnCropRight = Percent(geometry, "spnCropRight", 45);
  spnCropBottom = Percent(geometry, "spnCropBottom", 45);
  for (QDoubleSpinBox* s : {spnCropLeft, spnCropTop, spnCropRight, spnCropBottom})
    margins->addWidget(s);
  geometryForm->addRow(T(kLevel), levelRow);
  geometryForm->addRow(T(kRotate), cmbRotate);
  geometryForm->addRow(new QLabel(T(kMargins), geometry));
  geometryForm->addRow(margins);
  right->addWidget(geometry);

  auto* output = new QGroupBox(T(kOutputGroup), central);
  auto* outputForm = new QFormLayout(output);
  spnSize = new QSpinBox(output);
  spnSize->setObjectName("spnSize");
  spnSize->setRange(0, 30000);
  spnSize->setSpecialValueText(T(kOriginalSize));
  chkEnlarge = new QCheckBox(T(kEnlarge), output);
  chkEnlarge->setObjectName("chkEnlarge");
  cmbFormat = new QComboBox(output);
  cmbFormat->setObjectName("cmbFormat");
  cmbFormat->addItems({"JPEG", "PNG", "WebP"});
  spnQuality = new QSpinBox(output);
  spnQuality->setObjectName("spnQuality");
  spnQuality->setRange(1, 100);
  edtName = new QLineEdit(output);
  edtName->setObjectName("edtName");
  edtOutput = new QLineEdit(output);
  edtOutput->setObjectName("edtOutput");
  btnOutput = button("btnOutput", kBrowse, &TfrmFotomill::btnOutputClick);
  auto* outputRow = new QHBoxLayout;
  outputRow->addWidget(edtOutput, 1);
  outputRow->addWidget(btnOutput);
  chkKeepMetadata = new QCheckBox(T(kKeepMetadata), output);
  chkKeepMetadata->setObjectName("chkKeepMetadata");
  chkOpenInKalvane = new QCheckBox(T(kOpenInKalvane), output);
  chkOpenInKalvane->setObjectName("chkOpenInKalvane");
  outputForm->addRow(T(kSize), spnSize);
  outputForm->addRow(chkEnlarge);
  outputForm->addRow(T(kFormat), cmbFormat);
  outputForm->addRow(T(kQuality), spnQuality);
  outputForm->addRow(T(kName), edtName);
  outputForm->addRow(T(kOutputFolder), outputRow);
  outputForm->addRow(chkKeepMetadata);
  outputForm->addRow(chkOpenInKalvane);
  right->addWidget(output);

  auto* run = new QHBoxLayout;
  btnRun = button("btnRun", kRun, &TfrmFotomill::btnRunClick);
  btnCancel = button("btnCancel", kCancel, &TfrmFotomill::btnCancelClick);
  run->addWidget(btnRun);
  run->addWidget(btnCancel);
  right->addLayout(run);
  prgRun = new QProgressBar(central);
  prgRun->setObjectName("prgRun");
  right->addWidget(prgRun);
  lblStatus = new QLabel(T(kReady), central);
  lblStatus->setObjectName("lblStatus");
  lblStatus->setWordWrap(true);
  right->addWidget(lblStatus);
  right->addStretch();
  columns->addLayout(right);
  setCentralWidget(central);

  // Every setting that changes the picture shows it again.
  const auto changed = [this] {
    UpdateControls();
    PreviewTimer.start();
  };
  for (QCheckBox* c : {chkGrid, chkMatchExposure, chkWhiteBackground, chkKeepShadows})
    connect(c, &QCheckBox::toggled, this, changed);
  for (QDoubleSpinBox* s :
       {spnThreshold, spnSoftEdge, spnCropLeft, spnCropTop, spnCropRight, spnCropBottom})
    connect(s, &QDoubleSpinBox::valueChanged, this, changed);
  for (QComboBox* c : {cmbReference, cmbRotate, cmbFormat})
    connect(c, &QComboBox::currentIndexChanged, this, changed);
  connect(spnLevel, &QDoubleSpinBox::valueChanged, this, [this, changed](double degrees) {
    LevelChanged(degrees);
    changed();
  });
  // The level box shows the current photo's own.
  connect(lstPhotos, &QListWidget::currentRowChanged, this, [this, changed](int row) {
    if (row >= 0 && row < static_cast<int>(Files.size())) {
      const QSignalBlocker block(spnLevel);
      const auto at = Levels.find(Files[static_cast<std::size_t>(row)]);
      spnLevel->setValue(at == Levels.end() ? 0.0 : at->second);
    }
    changed();
  });
  connect(lstPhotos, &QListWidget::itemSelectionChanged, this, [this] { UpdateControls(); });
}

TPrepSettings TfrmFotomill::Settings() const {
  TPrepSettings s;
  s.MatchExposure = chkMatchExposure->isChecked();
  s.Reference = std::max(0, cmbReference->currentIndex());
  s.WhiteBackground = chkWhiteBackground->isChecked();
  s.Clean.Threshold = spnThreshold->value() / 100;
  s.Clean.SoftEdge = spnSoftEdge->value() / 100;
  s.Clean.KeepShadows = chkKeepShadows->isChecked();
  s.Levels = Levels;
  s.Geometry.QuarterTurns = cmbRotate->currentIndex();
  s.Geometry.MarginLeft = spnCropLeft->value() / 100;
  s.Geometry.MarginTop = spnCropTop->value() / 100;
  s.Geometry.MarginRight = spnCropRight->value() / 100;
  s.Geometry.MarginBottom = spnCropBottom->value() / 100;
  s.Output.LongestSide = spnSize->value();
  s.Output.Enlarge = chkEnlarge->isChecked();
  s.Output.Format = static_cast<TPhotoFormat>(cmbFormat->currentIndex());
  s.Output.Quality = spnQuality->value();
  s.Output.KeepMetadata = chkKeepMetadata->isChecked();
  s.NameTemplate = edtName->text().toStdString();
  return s;
}

void TfrmFotomill::LoadSettings() {
  const QSettings ini(QString::fromStdString(SettingsFile), QSettings::IniFormat);
  const TPrepSettings d;
  chkMatchExposure->setChecked(ini.value("matchExposure", true).toBool());
  chkWhiteBackground->setChecked(ini.value("whiteBackground", false).toBool());
  spnThreshold->setValue(ini.value("threshold", d.Clean.Threshold * 100).toDouble());
  spnSoftEdge->setValue(ini.value("softEdge", d.Clean.SoftEdge * 100).toDouble());
  chkKeepShadows->setChecked(ini.value("keepShadows", d.Clean.KeepShadows).toBool());
  cmbRotate->setCurrentIndex(std::clamp(ini.value("rotate", 0).toInt(), 0, 3));
  spnCropLeft->setValue(ini.value("cropLeft", 0.0).toDouble());
  spnCropTop->setValue(ini.value("cropTop", 0.0).toDouble());
  spnCropRight->setValue(ini.value("cropRight", 0.0).toDouble());
  spnCropBottom->setValue(ini.value("cropBottom", 0.0).toDouble());
  spnSize->setValue(ini.value("size", 2000).toInt());
  chkEnlarge->setChecked(ini.value("enlarge", false).toBool());
  cmbFormat->setCurrentIndex(std::clamp(ini.value("format", 0).toInt(), 0, 2));
  spnQuality->setValue(ini.value("quality", d.Output.Quality).toInt());
  edtName->setText(ini.value("name", QString::fromStdString(d.NameTemplate)).toString());
  edtOutput->setText(ini.value("output", QString()).toString());
  chkKeepMetadata->setChecked(ini.value("keepMetadata", false).toBool());
  chkOpenInKalvane->setChecked(ini.value("openInKalvane", true).toBool());
  chkGrid->setChecked(ini.value("grid", false).toBool());
  restoreGeometry(ini.value("window").toByteArray());
}

void TfrmFotomill::SaveSettings() const {
  QSettings ini(QString::fromStdString(SettingsFile), QSettings::IniFormat);
  const TPrepSettings s = Settings();
  ini.setValue("matchExposure", s.MatchExposure);
  ini.setValue("whiteBackground", s.WhiteBackground);
  ini.setValue("threshold", spnThreshold->value());
  ini.setValue("softEdge", spnSoftEdge->value());
  ini.setValue("keepShadows", s.Clean.KeepShadows);
  ini.setValue("rotate", cmbRotate->currentIndex());
  ini.setValue("cropLeft", spnCropLeft->value());
  ini.setValue("cropTop", spnCropTop->value());
  ini.setValue("cropRight", spnCropRight->value());
  ini.setValue("cropBottom", spnCropBottom->value());
  ini.setValue("size", spnSize->value());
  ini.setValue("enlarge", chkEnlarge->isChecked());
  ini.setValue("format", cmbFormat->currentIndex());
  ini.setValue("quality", spnQuality->value());
  ini.setValue("name", edtName->text());
  ini.setValue("output", edtOutput->text());
  ini.setValue("keepMetadata", s.Output.KeepMetadata);
  ini.setValue("openInKalvane", chkOpenInKalvane->isChecked());
  ini.setValue("grid", chkGrid->isChecked());
  ini.setValue("window", saveGeometry());
  ini.sync();
}

// ---- the list ---------------------------------------------------------------------

void TfrmFotomill::AddPaths(const std::vector<std::string>& paths) {
  std::vector<std::string> found, refused;
  for (const std::string& path : paths) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
      std::vector<std::string> inFolder;
      if (CollectPhotoFiles({path}, inFolder).Ok())
        found.insert(found.end(), inFolder.begin(), inFolder.end());
    } else if (IsPhotoFile(path) && fs::is_regular_file(path, ec)) {
      found.push_back(path);
    } else {
      refused.push_back(ExtractName(path));
    }
  }
  SortNames(found);
  for (const std::string& file : found) {
    if (std::find(Files.begin(), Files.end(), file) != Files.end()) continue;
    Files.push_back(file);
    new QListWidgetItem(lstPhotos);
    ShowItem(lstPhotos->count() - 1);
    Thumbnails.Post(
        [this, file]() -> std::function<void()> {
          TRgbImage image;
          if (!LoadPhoto(file, kThumbnail, image, nullptr).Ok()) return {};
          const QImage small = ToQImage(image).scaled(kThumbnail, kThumbnail, Qt::KeepAspectRatio,
                                                      Qt::SmoothTransformation);
          return [this, file, small] {
            const auto at = std::find(Files.begin(), Files.end(), file);
            if (at != Files.end())
              lstPhotos->item(static_cast<int>(at - Files.begin()))
                  ->setIcon(QPixmap::fromImage(small));
          };
        },
        false);
  }
  if (edtOutput->text().isEmpty() && !Files.empty())
    edtOutput->setText(QString::fromStdString(GetFolderOf(Files.front()) + "fotomill"));
  ListChanged();
  if (lstPhotos->currentRow() < 0 && !Files.empty()) lstPhotos->setCurrentRow(0);
  if (!refused.empty()) {
    std::string names;
    for (const std::string& name : refused)
      names += name + "\n";
    Dialogs->Warn(kNotAdded + names);
  }
}

void TfrmFotomill::ListChanged() {
  const QString reference = cmbReference->currentText();
  QSignalBlocker block(cmbReference);
  cmbReference->clear();
  for (const std::string& file : Files)
    cmbReference->addItem(QString::fromStdString(ExtractName(file)));
  const int again = cmbReference->findText(reference);
  cmbReference->setCurrentIndex(again >= 0 ? again : 0);
  if (!Running())
    lblStatus->setText(Files.empty() ? T(kReady) : T(kListed).arg(static_cast<int>(Files.size())));
  UpdateControls();
  PreviewTimer.start();
}

void TfrmFotomill::btnAddFilesClick() {
  const std::vector<std::string> files =
      Dialogs->PickFiles(Files.empty() ? std::string() : GetFolderOf(Files.back()));
  if (!files.empty()) AddPaths(files);
}

void TfrmFotomill::btnAddFolderClick() {
  const std::optional<std::string> folder = Dialogs->PickFolder(kPickFolder, "");
  if (folder) AddPaths({*folder});
}

void TfrmFotomill::btnRemoveClick() {
  std::vector<int> rows;
  for (const QListWidgetItem* item : lstPhotos->selectedItems())
    rows.push_back(lstPhotos->row(item));
  std::sort(rows.rbegin(), rows.rend());
  for (const int row : rows) {
    delete lstPhotos->takeItem(row);
    Levels.erase(Files[static_cast<std::size_t>(row)]);
    Notes.erase(Files[static_cast<std::size_t>(row)]);
    Files.erase(Files.begin() + row);
  }
  ListChanged();
}

void TfrmFotomill::btnClearClick() {
  lstPhotos->clear();
  Files.clear();
  Levels.clear();
  Notes.clear();
  Thumbnails.Clear();
  ListChanged();
}

std::vector<int> TfrmFotomill::LevelRows() const {
  std::vector<int> rows;
  for (const QListWidgetItem* item : lstPhotos->selectedItems())
    rows.push_back(lstPhotos->row(item));
  if (rows.empty() && lstPhotos->currentRow() >= 0) rows.push_back(lstPhotos->currentRow());
  return rows;
}

void TfrmFotomill::LevelChanged(double degrees) {
  for (const int row : LevelRows()) {
    Levels[Files[static_cast<std::size_t>(row)]] = degrees;
    ShowItem(row);
  }
}

void TfrmFotomill::btnLevelAllClick() {
  for (std::size_t i = 0; i < Files.size(); ++i) {
    Levels[Files[i]] = spnLevel->value();
    ShowItem(static_cast<int>(i));
  }
  PreviewTimer.start();
}

void TfrmFotomill::ShowItem(int row) {
  QListWidgetItem* item = lstPhotos->item(row);
  if (!item || row >= static_cast<int>(Files.size())) return;
  const std::string& file = Files[static_cast<std::size_t>(row)];
  QString text = QString::fromStdString(ExtractName(file));
  if (const auto at = Levels.find(file); at != Levels.end() && at->second != 0)
    text += "\n" + T(kLevelled).arg(at->second);
  const auto note = Notes.find(file);
  if (note != Notes.end()) text += "\n" + QString::fromStdString(note->second);
  item->setText(text);
  item->setToolTip(QString::fromStdString(file));
  item->setForeground(note != Notes.end() ? QBrush(QColor(200, 0, 0)) : QBrush());
}

void TfrmFotomill::btnOutputClick() {
  const std::optional<std::string> folder =
      Dialogs->PickFolder(kPickOutput, edtOutput->text().toStdString());
  if (folder) edtOutput->setText(QString::fromStdString(*folder));
}

void TfrmFotomill::UpdateControls() {
  const bool running = Running();
  const bool any = !Files.empty();
  for (QWidget* w : std::initializer_list<QWidget*>{btnAddFiles, btnAddFolder, btnClear, btnOutput,
                                                    edtOutput, edtName})
    w->setEnabled(!running);
  spnLevel->setEnabled(any);
  btnLevelAll->setEnabled(any);
  btnRemove->setEnabled(!running && !lstPhotos->selectedItems().isEmpty());
  btnRun->setEnabled(!running && any);
  btnCancel->setEnabled(running);
  cmbReference->setEnabled(chkMatchExposure->isChecked() && any);
  for (QWidget* w : std::initializer_list<QWidget*>{spnThreshold, spnSoftEdge, chkKeepShadows})
    w->setEnabled(chkWhiteBackground->isChecked());
  spnQuality->setEnabled(cmbFormat->currentIndex() != static_cast<int>(TPhotoFormat::Png));
}

// ---- the preview ----------------------------------------------------------------

void TfrmFotomill::ShowPreview() {
  const int row = lstPhotos->currentRow();
  const int asked = ++PreviewAsked;
  if (row < 0 || row >= static_cast<int>(Files.size())) {
    Previewer.Clear();
    lblBefore->clear();
    lblAfter->clear();
    return;
  }
  const TPrepSettings settings = Settings();
  const std::string file = Files[static_cast<std::size_t>(row)];
  const TGeometry geometry = settings.GeometryFor(file);
  const std::string reference =
      settings.MatchExposure && settings.Reference < static_cast<int>(Files.size())
          ? Files[settings.Reference]
          : std::string();
  const QSize box = lblBefore->size();
  const bool grid = chkGrid->isChecked();
  // Read and made on the worker: a camera file takes a second or more.
  Previewer.Post(
      [this, settings, geometry, file, reference, box, grid, asked]() -> std::function<void()> {
        const TBackdropStats* stats = nullptr;
        if (!reference.empty()) {
          auto at = ReferenceStats.find(reference);
          if (at == ReferenceStats.end()) {
            TRgbImage image;
            if (LoadPhoto(reference, kPreview, image, nullptr).Ok())
              at = ReferenceStats.emplace(reference, TBackdropStats::Measure(image)).first;
          }
          if (at != ReferenceStats.end()) stats = &at->second;
        }
        // Read once: the after is made from a copy of the before.
        TRgbImage before, shaped;
        bool made = LoadPhoto(file, kPreview, before, nullptr).Ok();
        if (made) {
          TRgbImage after = before;
          EvenOutPhoto(after, settings, stats);
          int w = after.Width, h = after.Height;
          geometry.Shaped(w, h);
          made = ShapePhoto(after, geometry, FrameFor(w, h, kPreview, true), shaped).Ok();
        }
        QImage shownBefore, shownAfter;
        if (made) {
          shownBefore = ToQImage(before).scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
          shownAfter = ToQImage(shaped).scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
          if (grid) DrawGrid(shownAfter);
        }
        return [this, made, shownBefore, shownAfter, asked] {
          if (asked != PreviewAsked) return;
          if (made) {
            lblBefore->setPixmap(QPixmap::fromImage(shownBefore));
            lblAfter->setPixmap(QPixmap::fromImage(shownAfter));
          } else {
            lblBefore->setText(T(kPreviewFailed));
            lblAfter->clear();
          }
        };
      },
      true);
}

// ---- the run ----------------------------------------------------------------------

void TfrmFotomill::btnRunClick() {
  if (Running()) return;
  if (Files.empty()) return Dialogs->Warn(kNoPhotos);
  const std::string folder = edtOutput->text().trimmed().toStdString();
  if (folder.empty()) return Dialogs->Warn(kNoOutput);
  TPrepSettings settings = Settings();
  std::vector<std::string> outputs;
  if (const TPrepResult planned = PlanOutputs(Files, folder, settings, outputs); !planned.Ok())
    return Dialogs->Warn(kCannotRun + FaultText(planned));
  // Never a mixed set: an earlier run's photos go first, when the user says so.
  if (const std::vector<std::string> earlier = TOutputFolder(folder).Earlier(); !earlier.empty()) {
    const QString question =
        T(kAskEmpty).arg(QString::fromStdString(folder)).arg(static_cast<int>(earlier.size()));
    if (!Dialogs->Ask(question.toStdString())) {
      lblStatus->setText(T(kNotEmptied));
      return;
    }
    settings.ReplaceEarlier = true;
  }
  SaveSettings();
  Notes.clear();
  for (int row = 0; row < lstPhotos->count(); ++row)
    ShowItem(row);
  RunFolder = folder;
  CancelFlag = false;
  prgRun->setRange(0, static_cast<int>(Files.size()));
  prgRun->setValue(0);
  lblStatus->setText(T(kRunning));
  Worker = std::thread([this, files = Files, folder, settings] {
    const TPrepReport report = RunPreparation(
        files, folder, settings,
        [this](int done, const TPrepItem&) { Gui.Post([this, done] { prgRun->setValue(done); }); },
        CancelFlag);
    Gui.Post([this, report] { RunEnded(report); });
  });
  UpdateControls();
}

void TfrmFotomill::btnCancelClick() {
  if (!Running()) return;
  CancelFlag = true;
  lblStatus->setText(T(kCancelling));
}

void TfrmFotomill::RunEnded(const TPrepReport& report) {
  if (Worker.joinable()) Worker.join();
  UpdateControls();
  // Each photo's failure or warning under the photo itself, and in the box
  // by its name.
  std::string failures, lost;
  for (const TPrepItem& item : report.Items) {
    std::string note;
    if (item.Done && !item.Result.Ok()) {
      note = FaultText(item.Result);
      failures += ExtractName(item.Input) + ": " + note + "\n";
    } else if (item.LostColour) {
      note = kLostColourShort;
      lost += ExtractName(item.Input) + "\n";
    }
    if (!note.empty()) Notes[item.Input] = note;
  }
  for (int row = 0; row < lstPhotos->count(); ++row)
    ShowItem(row);
  const QString written = QString::number(report.Written());
  if (report.Result.Code == TErrorCode::Cancelled) {
    lblStatus->setText(T(kStopped).arg(written));
  } else if (!report.Result.Ok()) {
    lblStatus->clear();
    const std::string why =
        IsPhotoFault(report.Result.Fault)
            ? T(kReferenceUnreadable)
                  .arg(QString::fromStdString(ExtractName(report.Result.Subject)),
                       QString::fromStdString(FaultText(report.Result)))
                  .toStdString()
            : FaultText(report.Result);
    Dialogs->Warn(kCannotRun + why);
  } else if (!failures.empty()) {
    lblStatus->setText(T(kSomeFailed).arg(report.Failed()).arg(QString()));
    Dialogs->Warn(
        T(kSomeFailed).arg(report.Failed()).arg(QString::fromStdString(failures)).toStdString());
  } else {
    const QString message = T(kDone).arg(written, QString::fromStdString(RunFolder));
    lblStatus->setText(message);
    Dialogs->Inform(message.toStdString());
  }
  if (!lost.empty()) Dialogs->Warn(kLostColour + lost);
  if (report.Result.Ok() && report.Written() > 0 && chkOpenInKalvane->isChecked())
    OpenInKalvane(report);
}

std::string TfrmFotomill::ProjectPathFor(const std::string& folder) {
  std::error_code ec;
  fs::path path = fs::absolute(folder, ec).lexically_normal();
  if (path.filename().empty()) path = path.parent_path();
  std::string name = path.filename().string();
  if (name.empty() || name == "." || name == "..") name = "fotomill";
  return WithTrailingSlash(folder) + name + ".vpj";
}

// A project of the written photos beside them, opened in the editor.
void TfrmFotomill::OpenInKalvane(const TPrepReport& report) {
  const std::string cli = GetAppFolder() + "kalvane-cli", editor = GetAppFolder() + "kalvane";
  std::error_code ec;
  if (!fs::exists(cli, ec)) return Dialogs->Warn(kNoKalvane);
  std::vector<std::string> argv{cli, "new"};
  for (const TPrepItem& item : report.Items) {
    if (item.Done && item.Result.Ok()) argv.push_back(item.Output);
  }
  // The project is one of the run's files: a later run removes it with them.
  const std::string project = ProjectPathFor(RunFolder);
  const TOutputFolder folder(RunFolder);
  if (!folder.Foreign({ExtractName(project)}).empty()) {
    return Dialogs->Warn(kProjectFailed +
                         T(kProjectNotOurs).arg(QString::fromStdString(project)).toStdString());
  }
  if (const TResult marked = folder.Mark({ExtractName(project)}); !marked.Ok())
    return Dialogs->Warn(kProjectFailed + marked.Error);
  // The project is written by its name, which would go through a link: a
  // link of ours in its place goes first.
  if (fs::is_symlink(fs::symlink_status(project, ec))) fs::remove(project, ec);
  argv.insert(argv.end(), {"-o", project});
  if (const TResult made = Dialogs->RunProgram(argv); !made.Ok())
    return Dialogs->Warn(kProjectFailed + made.Error);
  if (!Dialogs->StartProgram(editor, {project})) Dialogs->Warn(kNoKalvane);
}

// ---- the window ---------------------------------------------------------------------

void TfrmFotomill::dragEnterEvent(QDragEnterEvent* event) {
  if (!Running() && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TfrmFotomill::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  }
  if (paths.empty() || Running()) return;
  event->acceptProposedAction();
  AddPaths(paths);
}

void TfrmFotomill::closeEvent(QCloseEvent* event) {
  CancelFlag = true;
  if (Worker.joinable()) Worker.join();
  SaveSettings();
  event->accept();
}

}  // namespace kalvane::fotomill
