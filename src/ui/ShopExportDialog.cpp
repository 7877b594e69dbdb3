#include "ui/ShopExportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "export/ExportAdvice.h"
#include "export/FrameOutputs.h"
#include "export/LayerToSwf.h"
#include "export/VideoOutput.h"
#include "ui/Texts.h"
#include "ui/Wording.h"

namespace kalvane::ui {

namespace {

QString U(const char* text) {
  return QString::fromUtf8(text);
}

template <typename W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

// The formats as the settings name them, in the lists' order.
const char* const kStillFormats[] = {"jpg", "png", "webp"};
const char* const kStillFormatNames[] = {"JPEG", "PNG", "WebP"};
const char* const kMovingFormats[] = {"webp", "gif"};
const char* const kMovingFormatNames[] = {"WebP", "GIF"};
const char* const kVideoFormats[] = {"mp4", "webm"};

template <std::size_t N>
int IndexOf(const char* const (&list)[N], const std::string& value) {
  for (std::size_t i = 0; i < N; ++i)
    if (value == list[i]) return static_cast<int>(i);
  return 0;
}

}  // namespace

TfrmShopExportDialog::TfrmShopExportDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("frmShopExport");
  setWindowTitle(U(kShopCaption));
  setModal(true);

  cmbPreset = Named(new QComboBox(this), "cmbPreset");
  for (const char* preset : kShopPresets)
    cmbPreset->addItem(U(preset));

  auto* setPage = Named(new QWidget(this), "pgFrameSet");
  spnCount = Named(new QSpinBox(setPage), "spnCount");
  spnCount->setRange(0, 100000);
  spnCount->setSpecialValueText(U(kShopAllPhotos));
  spnSize = Named(new QSpinBox(setPage), "spnSize");
  spnSize->setRange(0, TSwfExportWidth::kMaximum);
  spnSize->setSingleStep(100);
  spnSize->setSpecialValueText(U(kShopDefaultSize));
  chkSquare = Named(new QCheckBox(U(kShopSquare), setPage), "chkSquare");
  cmbBackground = Named(new QComboBox(setPage), "cmbBackground");
  for (const char* background : kShopBackgrounds)
    cmbBackground->addItem(U(background));
  edtColor = Named(new QLineEdit(setPage), "edtColor");
  edtColor->setPlaceholderText("#RRGGBB");
  edtColor->setMaxLength(7);
  cmbFormat = Named(new QComboBox(setPage), "cmbFormat");
  for (const char* format : kStillFormatNames)
    cmbFormat->addItem(format);
  spnQuality = Named(new QSpinBox(setPage), "spnQuality");
  spnQuality->setRange(1, 100);
  edtName = Named(new QLineEdit(setPage), "edtName");
  edtName->setToolTip(U(kShopNameHint));
  chkZip = Named(new QCheckBox(U(kShopZip), setPage), "chkZip");
  auto* background = new QHBoxLayout;
  background->addWidget(cmbBackground);
  background->addWidget(edtColor);
  auto* setForm = new QFormLayout(setPage);
  lblCountNote = Named(new QLabel(setPage), "lblCountNote");
  lblCountNote->setWordWrap(true);
  setForm->addRow(U(kShopCount), spnCount);
  setForm->addRow(QString(), lblCountNote);
  setForm->addRow(U(kShopSize), spnSize);
  setForm->addRow(QString(), chkSquare);
  setForm->addRow(U(kShopBackground), background);
  setForm->addRow(U(kShopFormat), cmbFormat);
  setForm->addRow(U(kShopQuality), spnQuality);
  setForm->addRow(U(kShopName), edtName);
  setForm->addRow(QString(), chkZip);

  auto* animationPage = Named(new QWidget(this), "pgAnimation");
  spnWidth = Named(new QSpinBox(animationPage), "spnWidth");
  spnWidth->setRange(TSwfExportWidth::kMinimum, TSwfExportWidth::kMaximum);
  spnWidth->setSingleStep(100);
  spnFps = Named(new QDoubleSpinBox(animationPage), "spnFps");
  spnFps->setRange(0.5, 100);
  spnFps->setDecimals(1);
  spnLoop = Named(new QSpinBox(animationPage), "spnLoop");
  spnLoop->setRange(0, 65535);
  spnLoop->setSpecialValueText(U(kShopLoopForever));
  cmbAnimFormat = Named(new QComboBox(animationPage), "cmbAnimFormat");
  for (const char* format : kMovingFormatNames)
    cmbAnimFormat->addItem(format);
  auto* animationForm = new QFormLayout(animationPage);
  animationForm->addRow(U(kShopWidth), spnWidth);
  animationForm->addRow(U(kShopFps), spnFps);
  animationForm->addRow(U(kShopLoop), spnLoop);
  animationForm->addRow(U(kShopFormat), cmbAnimFormat);

  auto* videoPage = Named(new QWidget(this), "pgVideo");
  spnVideoWidth = Named(new QSpinBox(videoPage), "spnVideoWidth");
  spnVideoWidth->setRange(TSwfExportWidth::kMinimum, TSwfExportWidth::kMaximum);
  spnVideoWidth->setSingleStep(100);
  spnVideoFps = Named(new QDoubleSpinBox(videoPage), "spnVideoFps");
  spnVideoFps->setRange(0.5, kVideoMaxFps);
  spnVideoFps->setDecimals(1);
  spnMinSeconds = Named(new QDoubleSpinBox(videoPage), "spnMinSeconds");
  spnMinSeconds->setRange(0, kVideoMaxSeconds);
  spnMinSeconds->setDecimals(1);
  spnMinSeconds->setSpecialValueText(U(kShopOneTurn));
  spnVideoQuality = Named(new QSpinBox(videoPage), "spnVideoQuality");
  spnVideoQuality->setRange(0, 100);
  cmbVideoFormat = Named(new QComboBox(videoPage), "cmbVideoFormat");
  for (const char* format : kShopVideoFormats)
    cmbVideoFormat->addItem(U(format));
  VideoForm = new QFormLayout(videoPage);
  VideoForm->addRow(U(kShopWidth), spnVideoWidth);
  VideoForm->addRow(U(kShopFps), spnVideoFps);
  VideoForm->addRow(U(kShopMinSeconds), spnMinSeconds);
  VideoForm->addRow(U(kShopQuality), spnVideoQuality);
  VideoForm->addRow(U(kShopFormat), cmbVideoFormat);

  pgSettings = Named(new QStackedWidget(this), "pgSettings");
  pgSettings->addWidget(setPage);
  pgSettings->addWidget(animationPage);
  pgSettings->addWidget(videoPage);

  lblAdvice = Named(new QLabel(this), "lblAdvice");
  lblAdvice->setWordWrap(true);
  lblAdvice->setStyleSheet("color: #8a5300;");
  lblAdvice->hide();

  lblProblem = Named(new QLabel(this), "lblProblem");
  lblProblem->setWordWrap(true);
  lblProblem->setStyleSheet("color: #b00020;");
  lblProblem->hide();

  btnOK = Named(new QPushButton(U(kShopExport), this), "btnOK");
  btnOK->setDefault(true);
  btnCancel = Named(new QPushButton(U(kCancel), this), "btnCancel");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);

  auto* presetRow = new QFormLayout;
  presetRow->addRow(U(kShopPreset), cmbPreset);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(presetRow);
  layout->addWidget(pgSettings);
  layout->addWidget(lblAdvice);
  layout->addWidget(lblProblem);
  layout->addLayout(buttons);
  setMinimumWidth(420);

  connect(cmbPreset, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (Filling) return;
    Keep();
    Show(index);
  });
  for (QSpinBox* box : {spnCount, spnSize, spnWidth, spnVideoWidth}) {
    connect(box, &QSpinBox::valueChanged, this, [this] {
      if (!Filling) UpdateAdvice();
    });
  }
  connect(cmbBackground, &QComboBox::currentIndexChanged, this, [this] { UpdateEnabled(); });
  connect(cmbFormat, &QComboBox::currentIndexChanged, this, [this] { UpdateEnabled(); });
  connect(btnOK, &QPushButton::clicked, this, &TfrmShopExportDialog::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, [this] {
    Keep();
    IsConfirmed = false;
    reject();
  });
  SetPresets(DefaultShopPresets());
}

void TfrmShopExportDialog::SetPresets(std::vector<TShopPreset> presets, int selected) {
  All = std::move(presets);
  Current = -1;
  Show(selected);
}

void TfrmShopExportDialog::SetItemCount(int items) {
  Items = items;
  Show(Current);
}

void TfrmShopExportDialog::SetCut(TSize cut) {
  Cut = cut;
  UpdateAdvice();
}

int TfrmShopExportDialog::FrameCount() const {
  return spnCount->value();
}

int TfrmShopExportDialog::Selected() const {
  return Current;
}

void TfrmShopExportDialog::showEvent(QShowEvent* event) {
  IsConfirmed = false;
  lblProblem->hide();
  QDialog::showEvent(event);
}

void TfrmShopExportDialog::Show(int index) {
  if (index < 0 || index >= static_cast<int>(All.size())) return;
  Filling = true;
  Current = index;
  cmbPreset->setCurrentIndex(index);
  const TShopPreset& p = All[static_cast<std::size_t>(index)];
  pgSettings->setCurrentIndex(p.Kind == TShopPreset::TKind::FrameSet    ? 0
                              : p.Kind == TShopPreset::TKind::Animation ? 1
                                                                        : 2);
  Lowered = p.Count > Items && Items > 0 ? ShopFrameCount(p, Items) : -1;
  spnCount->setValue(Lowered >= 0 ? Lowered : p.Count);
  lblCountNote->setText(CountNote(p));
  lblCountNote->setVisible(Lowered >= 0);
  spnSize->setValue(p.Size);
  chkSquare->setChecked(p.Square);
  const bool colour = p.Background != "white" && p.Background != "transparent";
  cmbBackground->setCurrentIndex(p.Background == "transparent" ? 1 : colour ? 2 : 0);
  edtColor->setText(colour ? QString::fromStdString(p.Background) : QString());
  cmbFormat->setCurrentIndex(IndexOf(kStillFormats, p.Format));
  spnQuality->setValue(p.Quality);
  edtName->setText(QString::fromStdString(p.Name));
  chkZip->setChecked(p.Zip);
  spnWidth->setValue(p.Width);
  spnFps->setValue(p.Fps);
  spnLoop->setValue(p.Loops);
  cmbAnimFormat->setCurrentIndex(IndexOf(kMovingFormats, p.AnimationFormat));
  spnVideoWidth->setValue(p.Width);
  spnVideoFps->setValue(p.Fps);
  spnMinSeconds->setValue(p.MinSeconds);
  spnVideoQuality->setValue(p.VideoQuality);
  cmbVideoFormat->setCurrentIndex(IndexOf(kVideoFormats, p.VideoFormat));
  VideoForm->setRowVisible(cmbVideoFormat, !p.WithWebp);
  lblProblem->hide();
  Filling = false;
  UpdateEnabled();
  UpdateAdvice();
}

QString TfrmShopExportDialog::CountNote(const TShopPreset& p) const {
  const std::vector<int> counts = MarketplaceCounts(p);
  if (counts.empty()) return U(kShopCountLowered).arg(Items).arg(Lowered);
  const auto list = [](const std::vector<int>& numbers) {
    QStringList words;
    for (const int n : numbers)
      words << QString::number(n) + U("枚");
    return words.join(U("・"));
  };
  const std::vector<int> possible = PossibleCounts(p, Items);
  if (possible.empty()) return U(kShopNoCountPossible).arg(Items).arg(list(counts));
  return U(kShopCountsPossible).arg(Items).arg(p.Count).arg(list(possible));
}

void TfrmShopExportDialog::UpdateAdvice() {
  if (Current < 0 || Current >= static_cast<int>(All.size())) return;
  const TShopPreset& p = All[static_cast<std::size_t>(Current)];
  QStringList advice;
  QString enlarged;
  if (p.Kind == TShopPreset::TKind::FrameSet) {
    const int count = spnCount->value();
    // More frames than photos is refused on OK; spacing does not apply.
    const TSetSpacing spacing = SetSpacing(Items, count <= Items ? count : 0);
    if (!spacing.Even) {
      QStringList steps, angles, even;
      for (const double step : spacing.Steps)
        steps << QString::fromStdString(DegreesText(step)) + U("°");
      constexpr std::size_t kShown = 6;
      for (std::size_t k = 0; k < spacing.Angles.size() && k < kShown; ++k)
        angles << QString::fromStdString(DegreesText(spacing.Angles[k])) + U("°");
      for (const int n : EvenCounts(Items))
        even << QString::number(n);
      advice << U(kShopUneven)
                    .arg(Items)
                    .arg(count)
                    .arg(steps.join(U("と")))
                    .arg(angles.join(U("・")) + (spacing.Angles.size() > kShown ? U("…") : ""))
                    .arg(even.join(U("・")) + U("枚"));
    }
    // What keeps the photos sharp is said as the setting is: the longer side.
    enlarged = EnlargedText(PlannedEnlargement(Cut, TSwfExportWidth::kDefault, spnSize->value()),
                            std::max(Cut.Width, Cut.Height));
  } else {
    const int width =
        p.Kind == TShopPreset::TKind::Video ? spnVideoWidth->value() : spnWidth->value();
    enlarged = EnlargedText(PlannedEnlargement(Cut, width, 0), Cut.Width);
  }
  if (!enlarged.isEmpty()) advice << enlarged;
  lblAdvice->setText(advice.join('\n'));
  lblAdvice->setVisible(!advice.isEmpty());
}

void TfrmShopExportDialog::Keep() {
  if (Current < 0 || Current >= static_cast<int>(All.size())) return;
  TShopPreset& p = All[static_cast<std::size_t>(Current)];
  if (p.Kind == TShopPreset::TKind::FrameSet) {
    // The lowered count is this project's: the preset keeps its own.
    if (spnCount->value() != Lowered) p.Count = spnCount->value();
    p.Size = spnSize->value();
    p.Square = chkSquare->isChecked();
    const int background = cmbBackground->currentIndex();
    p.Background = background == 1   ? "transparent"
                   : background == 2 ? edtColor->text().trimmed().toStdString()
                                     : "white";
    p.Format = kStillFormats[std::clamp(cmbFormat->currentIndex(), 0, 2)];
    p.Quality = spnQuality->value();
    p.Name = edtName->text().toStdString();
    p.Zip = chkZip->isChecked();
  } else if (p.Kind == TShopPreset::TKind::Video) {
    p.Width = spnVideoWidth->value();
    p.Fps = spnVideoFps->value();
    p.MinSeconds = spnMinSeconds->value();
    p.VideoQuality = spnVideoQuality->value();
    if (!p.WithWebp)
      p.VideoFormat = kVideoFormats[std::clamp(cmbVideoFormat->currentIndex(), 0, 1)];
  } else {
    p.Width = spnWidth->value();
    p.Fps = spnFps->value();
    p.Loops = spnLoop->value();
    p.AnimationFormat = kMovingFormats[std::clamp(cmbAnimFormat->currentIndex(), 0, 1)];
  }
}

void TfrmShopExportDialog::UpdateEnabled() {
  edtColor->setEnabled(cmbBackground->currentIndex() == 2);
  // PNG keeps every pixel: it has no quality.
  spnQuality->setEnabled(cmbFormat->currentIndex() != 1);
}

void TfrmShopExportDialog::btnOKClick() {
  Keep();
  const TShopPreset& p = All[static_cast<std::size_t>(Current)];
  QString problem;
  if (p.Kind == TShopPreset::TKind::FrameSet) {
    std::string error;
    if (FrameCount() > Items) {
      problem = U(kShopTooMany).arg(FrameCount()).arg(Items);
    } else if (!ParseBackground(p.Background)) {
      problem = U(kShopBadColor);
    } else if (p.Background == "transparent" && p.Format == "jpg") {
      problem = U(kShopTransparentJpeg);
    } else if (FrameFileName(p.Name, "name", 1, 0, &error).empty()) {
      problem = U(kShopBadName);
    }
  }
  if (p.Kind == TShopPreset::TKind::Video && p.Width % 2 != 0) problem = U(kShopOddVideoWidth);
  if (!problem.isEmpty()) {
    lblProblem->setText(problem);
    lblProblem->show();
    return;
  }
  IsConfirmed = true;
  accept();
}

}  // namespace kalvane::ui
