#include "ui/TemplateWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/AppUtil.h"
#include "base/Round.h"
#include "base/Texts.h"
#include "export/DesignExport.h"
#include "export/ExportTexts.h"
#include "export/PageSetFolder.h"
#include "ui/Texts.h"
#include "ui/WindowDialogs.h"
#include "ui/WindowPlace.h"

namespace kalvane::ui {

namespace {

constexpr int kEntryHeight = 108;

QString U(const char* text) {
  return QString::fromUtf8(text);
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

bool IsFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

QPixmap Thumbnail(const std::string& picture) {
  QPixmap canvas(105, 75);
  canvas.fill(Qt::white);
  const QImage image(QString::fromStdString(picture));
  if (image.isNull()) return canvas;  // listed all the same, without a picture
  const QImage scaled = image.scaled(DesignThumbnailSize(image.width(), image.height()),
                                     Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  const QImage fitted = scaled.width() > 105 || scaled.height() > 75
                            ? scaled.scaled(105, 75, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                            : scaled;
  QPainter painter(&canvas);
  painter.drawImage((105 - fitted.width()) / 2, (75 - fitted.height()) / 2, fitted);
  return canvas;
}

}  // namespace

QSize DesignThumbnailSize(int w, int h) {
  if (w <= 0 || h <= 0) return {0, 0};
  const double k = std::min(100.0 / w, 70.0 / h);
  return {RoundInt(w * k), RoundInt(h * k)};
}

TflmDesignIem::TflmDesignIem(QWidget* parent) : QFrame(parent) {
  setFixedSize(227, kEntryHeight);
  setAutoFillBackground(true);
  auto* Shape1 = new QFrame(this);
  Shape1->setObjectName("Shape1");
  Shape1->setGeometry(8, 8, 113, 83);
  Shape1->setStyleSheet("QFrame#Shape1 { border: 1px solid black; background: white; }");
  imgItem = new QLabel(this);
  imgItem->setObjectName("imgItem");
  imgItem->setGeometry(12, 12, 105, 75);
  imgItem->setToolTip(U("このデザインを選択"));
  lblCaption = new QLabel(this);
  lblCaption->setObjectName("lblCaption");
  lblCaption->setGeometry(130, 40, 95, 20);
  auto* bvlLine = new QFrame(this);
  bvlLine->setObjectName("bvlLine");
  bvlLine->setFrameShape(QFrame::HLine);
  bvlLine->setFrameShadow(QFrame::Sunken);
  bvlLine->setGeometry(0, kEntryHeight - 2, 227, 2);
  for (QWidget* part : std::initializer_list<QWidget*>{Shape1, imgItem, lblCaption})
    part->installEventFilter(this);
  SetSelected(false);
}

void TflmDesignIem::SetCaption(const QString& caption) {
  lblCaption->setText(caption);
}

void TflmDesignIem::SetThumbnail(const QPixmap& thumbnail) {
  imgItem->setPixmap(thumbnail);
}

void TflmDesignIem::SetSelected(bool on) {
  selected = on;
  QPalette p = palette();
  p.setColor(QPalette::Window, on ? palette().color(QPalette::Highlight) : QColor(Qt::white));
  setPalette(p);
  QPalette caption = lblCaption->palette();
  caption.setColor(QPalette::WindowText,
                   on ? palette().color(QPalette::HighlightedText) : QColor(Qt::black));
  lblCaption->setPalette(caption);
}

void TflmDesignIem::mousePressEvent(QMouseEvent*) {
  if (OnSelect) OnSelect(*this);
}

bool TflmDesignIem::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    mousePressEvent(static_cast<QMouseEvent*>(event));
    return true;
  }
  return QFrame::eventFilter(watched, event);
}

TfrmTemplate::TfrmTemplate(IWindowDialogs& dialogs, const std::string& templateFolder,
                           QWidget* parent)
    : QDialog(parent), Dialogs(dialogs), TemplateFolder(WithTrailingSlash(templateFolder)) {
  setObjectName("frmTemplate");
  setWindowTitle(U(kTemplateCaption));
  // Taller than the first window for the product's name and text, the
  // output folder and the viewer's settings.
  setMinimumSize(550, 580);
  resize(642, 640);
  auto* gboxTheme = new QGroupBox(U("テーマを選択"), this);
  gboxTheme->setObjectName("gboxTheme");
  lboxTheme = new QListWidget(gboxTheme);
  lboxTheme->setObjectName("lboxTheme");
  lboxTheme->setToolTip(U("デザインテーマを選択"));
  QFont big = lboxTheme->font();
  big.setPixelSize(16);
  lboxTheme->setFont(big);
  connect(lboxTheme, &QListWidget::itemClicked, this, [this] { lboxThemeClick(); });
  (new QVBoxLayout(gboxTheme))->addWidget(lboxTheme);

  auto* gboxDesign = new QGroupBox(U("デザインを選択"), this);
  gboxDesign->setObjectName("gboxDesign");
  sboxDesignList = new QScrollArea(gboxDesign);
  sboxDesignList->setObjectName("sboxDesignList");
  sboxDesignList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  designContent = new QWidget;
  sboxDesignList->setWidget(designContent);
  sboxDesignList->setFixedWidth(227 + 22);
  (new QVBoxLayout(gboxDesign))->addWidget(sboxDesignList);

  auto* gboxPreview = new QGroupBox(U("デザイン プレビュー"), this);
  gboxPreview->setObjectName("gboxPreview");
  // The browser starts with the window's first showing: until then it
  // only keeps what it is to show.
  pnlPreview = new QVBoxLayout(gboxPreview);

  chkAfterOpen = new QCheckBox(U("データ作成後ブラウザで開く"), this);
  chkAfterOpen->setObjectName("chkAfterOpen");
  chkAfterOpen->setChecked(true);
  chkAfterOpen->setToolTip(
      U("チェックを入れると\"このデザインで作成\"ボタンクリック後、自動的にブラウザが起動します"));
  chkUseHelp = new QCheckBox(U("ビューワーで操作ヘルプ機能を使う"), this);
  chkUseHelp->setObjectName("chkUseHelp");
  chkUseHelp->setChecked(true);
  chkUseHelp->setToolTip(U("作成するコンテンツに操作ヘルプ機能を付加します"));
  btnCreate = new QPushButton(U("このデザインで作成"), this);
  btnCreate->setObjectName("btnCreate");
  btnCreate->setDefault(true);
  btnCreate->setToolTip(U("現在選択しているデザインでホームページ用のデータ一式を作成します"));
  connect(btnCreate, &QPushButton::clicked, this, &TfrmTemplate::btnCreateClick);
  btnCencel = new QPushButton(U(kCancel), this);
  btnCencel->setObjectName("btnCencel");
  btnCencel->setToolTip(U("データの作成をキャンセルします"));
  connect(btnCencel, &QPushButton::clicked, this, &QDialog::reject);

  edtTitle = new QLineEdit(this);
  edtTitle->setObjectName("edtTitle");
  edtTitle->setPlaceholderText(U(kTitlePlaceholder));
  edtTitle->setToolTip(
      U("ページのタイトル、見出し、ビューワーの名前になります。"
        "空欄のときはデザインの仮の名前（商品名）のままです"));
  auto* lblTitle = new QLabel(U("商品名(&N)"), this);
  lblTitle->setObjectName("lblTitle");
  lblTitle->setBuddy(edtTitle);
  edtDescription = new QPlainTextEdit(this);
  edtDescription->setObjectName("edtDescription");
  edtDescription->setTabChangesFocus(true);
  edtDescription->setPlaceholderText(U("商品の説明（素材、サイズ、色など）"));
  edtDescription->setToolTip(
      U("ページの商品名の近くに表示されます。空欄のときは説明文を入れません"));
  edtDescription->setFixedHeight(edtDescription->fontMetrics().lineSpacing() * 3 + 12);
  auto* lblDescription = new QLabel(U("説明(&D)"), this);
  lblDescription->setObjectName("lblDescription");
  lblDescription->setBuddy(edtDescription);
  edtOutputFolder = new QLineEdit(this);
  edtOutputFolder->setObjectName("edtOutputFolder");
  edtOutputFolder->setPlaceholderText(U("空欄のときは作成時に選びます"));
  edtOutputFolder->setToolTip(U("ページ一式を書き出すフォルダです。ないときは作成します"));
  auto* lblOutputFolder = new QLabel(U("出力先(&O)"), this);
  lblOutputFolder->setObjectName("lblOutputFolder");
  lblOutputFolder->setBuddy(edtOutputFolder);
  auto* btnOutputFolder = new QPushButton(U("参照..."), this);
  btnOutputFolder->setObjectName("btnOutputFolder");
  btnOutputFolder->setToolTip(U(kPickOutputFolder));
  connect(btnOutputFolder, &QPushButton::clicked, this, &TfrmTemplate::btnOutputFolderClick);

  auto* gboxViewer = new QGroupBox(U("ビューワーの動き"), this);
  gboxViewer->setObjectName("gboxViewer");
  const auto check = [gboxViewer](const char* name, const char* text, const char* hint) {
    auto* box = new QCheckBox(U(text), gboxViewer);
    box->setObjectName(name);
    box->setToolTip(U(hint));
    return box;
  };
  chkAutoplay = check("chkAutoplay", "自動で回転する",
                      "ページを開くと回転を始めます。動きを減らす設定の閲覧者には回転しません");
  chkSpinOnce = check("chkSpinOnce", "1回転で止める", "1回転したら止まります");
  chkStopOnTouch = check("chkStopOnTouch", "触れたら止める",
                         "閲覧者が触れたりドラッグしたりすると回転をやめます。"
                         "チェックしないときは、離すと回転を続けます");
  chkResume = check("chkResume", "操作がないとき再開する",
                    "閲覧者の操作が止まってから、指定の秒数で回転を再開します");
  spnResumeAfter = new QSpinBox(gboxViewer);
  spnResumeAfter->setObjectName("spnResumeAfter");
  spnResumeAfter->setRange(1, TViewerSettings::kMaxResume);
  spnResumeAfter->setValue(10);
  spnResumeAfter->setSuffix(U(" 秒後"));
  chkLoadOnClick = check("chkLoadOnClick", "クリックで読み込む",
                         "最初の画像だけを表示し、クリックされてからデータを読み込みます。"
                         "チェックしないときは、ビューワーが画面に近づいたときに読み込みます");
  auto* viewerGrid = new QGridLayout(gboxViewer);
  viewerGrid->addWidget(chkAutoplay, 0, 0);
  viewerGrid->addWidget(chkSpinOnce, 0, 1);
  viewerGrid->addWidget(chkStopOnTouch, 0, 2);
  viewerGrid->addWidget(chkLoadOnClick, 1, 0);
  viewerGrid->addWidget(chkResume, 1, 1);
  viewerGrid->addWidget(spnResumeAfter, 1, 2);
  for (QCheckBox* box : {chkAutoplay, chkResume})
    connect(box, &QCheckBox::toggled, this, [this] { UpdateViewerChecks(); });
  SetViewerSettings({});

  auto* columns = new QHBoxLayout;
  columns->addWidget(gboxTheme, 1);
  columns->addWidget(gboxDesign);
  columns->addWidget(gboxPreview, 2);
  auto* bottom = new QHBoxLayout;
  auto* checks = new QVBoxLayout;
  checks->addWidget(chkAfterOpen);
  checks->addWidget(chkUseHelp);
  bottom->addLayout(checks);
  bottom->addStretch();
  bottom->addWidget(btnCreate);
  bottom->addWidget(btnCencel);
  auto* pageGrid = new QGridLayout;
  pageGrid->addWidget(lblTitle, 0, 0);
  pageGrid->addWidget(edtTitle, 0, 1, 1, 2);
  pageGrid->addWidget(lblDescription, 1, 0, Qt::AlignTop);
  pageGrid->addWidget(edtDescription, 1, 1, 1, 2);
  pageGrid->addWidget(lblOutputFolder, 2, 0);
  pageGrid->addWidget(edtOutputFolder, 2, 1);
  pageGrid->addWidget(btnOutputFolder, 2, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns, 1);
  layout->addLayout(pageGrid);
  layout->addWidget(gboxViewer);
  layout->addLayout(bottom);
  auto* sbarMain = new QStatusBar(this);
  sbarMain->setObjectName("sbarMain");
  layout->addWidget(sbarMain);

  // FormCreate
  lastFolder = WithTrailingSlash(QDir::homePath().toStdString());
  ShowDefaultPreview();
  for (const std::string& name : TDesignExport::Themes(TemplateFolder))
    lboxTheme->addItem(QString::fromStdString(name));
  ClearDesigns();
  if (lboxTheme->count() > 0) {
    lboxTheme->setCurrentRow(0);
    lboxThemeClick();
  }
}

void TfrmTemplate::showEvent(QShowEvent* event) {
  Placed = true;
  Result = {};
  // Each page set names its folder anew, so one cannot replace another's
  // by a folder left from before.
  edtOutputFolder->clear();
  if (!wBrows) {
    wBrows = new QWebEngineView(this);
    wBrows->setObjectName("wBrows");
    pnlPreview->addWidget(wBrows);
    if (!Shown.isEmpty()) wBrows->setUrl(Shown);
  }
  QDialog::showEvent(event);
}

void TfrmTemplate::Navigate(const QUrl& url) {
  Shown = url;
  if (wBrows) wBrows->setUrl(url);
}

void TfrmTemplate::ShowDefaultPreview() {
  const std::string page = TemplateFolder + "preview/default.html";
  if (IsFile(page)) Navigate(QUrl::fromLocalFile(QString::fromStdString(page)));
}

void TfrmTemplate::ClearDesigns() {
  for (TflmDesignIem* entry : designItems)
    delete entry;
  designItems.clear();
  selectedIndex = -1;
  btnCreate->setEnabled(false);
}

void TfrmTemplate::lboxThemeClick() {
  const QListWidgetItem* row = lboxTheme->currentItem();
  if (!row) return;
  const std::string theme = TemplateFolder + row->text().toStdString() + "/";
  if (!IsFolder(theme)) return;
  const std::vector<std::string> names = TDesignExport::Designs(theme);
  FillDesigns(theme, names);
  ShowDefaultPreview();
  if (names.empty() && isVisible()) Dialogs.Inform(kQuestionCaption, kNoDesigns);
}

void TfrmTemplate::FillDesigns(const std::string& themeFolder,
                               const std::vector<std::string>& names) {
  sboxDesignList->hide();
  ClearDesigns();
  bool broken = false;
  for (std::size_t n = 0; n < names.size(); ++n) {
    const std::string folder = themeFolder + names[n] + "/";
    if (!IsFolder(folder) || !IsFile(folder + "prev.jpg")) {
      broken = true;
      break;
    }
    auto* entry = new TflmDesignIem(designContent);
    entry->setObjectName(QString("item%1").arg(n));
    entry->SetCaption(QString::fromStdString(names[n]));
    entry->SetDesignIndex(static_cast<int>(n));
    entry->designPath = folder;
    entry->OnSelect = [this](TflmDesignIem& e) { SelectDesign(e); };
    entry->move(0, static_cast<int>(n) * kEntryHeight);
    entry->SetThumbnail(Thumbnail(folder + "prev.jpg"));
    entry->show();
    designItems.push_back(entry);
  }
  designContent->resize(227, static_cast<int>(designItems.size()) * kEntryHeight);
  sboxDesignList->show();
  if (broken && isVisible()) Dialogs.Inform(kQuestionCaption, kBrokenTheme);
}

void TfrmTemplate::SelectDesign(TflmDesignIem& entry) {
  for (TflmDesignIem* e : designItems)
    e->SetSelected(false);
  entry.SetSelected(true);
  selectedIndex = entry.DesignIndex();
  designFolder = entry.designPath;
  // The check boxes start from the design's own choices.
  std::ifstream script(designFolder + "velzoom.js", std::ios::binary);
  SetViewerSettings(ReadViewerSettings(
      {std::istreambuf_iterator<char>(script), std::istreambuf_iterator<char>()}));
  Navigate(QUrl::fromLocalFile(QString::fromStdString(designFolder + "prev.html")));
  btnCreate->setEnabled(true);
  if (sboxDesignList->isVisible()) sboxDesignList->setFocus();
}

void TfrmTemplate::SelectDesignIndex(int index) {
  if (index >= 0 && index < DesignCount()) SelectDesign(*Design(index));
}

void TfrmTemplate::btnOutputFolderClick() {
  const QString typed = edtOutputFolder->text().trimmed();
  const std::optional<std::string> folder =
      Dialogs.PickFolder(kPickOutputFolder, typed.isEmpty() ? lastFolder : typed.toStdString());
  if (folder) edtOutputFolder->setText(QString::fromStdString(*folder));
}

std::string TfrmTemplate::OutputFolder() {
  QString typed = edtOutputFolder->text().trimmed();
  std::string folder;
  if (typed.isEmpty()) {
    const std::optional<std::string> picked = Dialogs.PickFolder(kPickOutputFolder, lastFolder);
    if (!picked) return {};
    folder = *picked;
  } else {
    // A name of its own is taken from the home folder, as "~/" says.
    if (typed == "~" || typed.startsWith("~/")) typed = QDir::homePath() + typed.mid(1);
    folder = QDir::home().absoluteFilePath(typed).toStdString();
  }
  // A refused folder (the root, a system folder) leaves the window open
  // for another choice.
  const TPageSetFolder target(folder);
  if (const kalvane::TResult place = target.CheckPlace(TemplateFolder, designFolder); !place.Ok()) {
    Dialogs.ShowError(kErrorCaption, std::string(ExportFailureText(place.Code)) + "\r" +
                                         (target.Path().empty() ? folder : target.Path()));
    return {};
  }
  std::error_code ec;
  std::filesystem::create_directories(target.Path(), ec);
  if (ec) {
    Dialogs.ShowError(kErrorCaption,
                      std::string(kCannotMakeFolder) + "\r" + target.Path() + "\r" + ec.message());
    return {};
  }
  lastFolder = folder;
  return target.Path();
}

void TfrmTemplate::btnCreateClick() {
  Result = {};
  const std::string folder = OutputFolder();
  if (folder.empty()) return;
  Result.Folder = folder;
  Result.DesignFolder = designFolder;
  Result.OpenAfter = chkAfterOpen->isChecked();
  Result.UseHelp = chkUseHelp->isChecked();
  Result.Title = CleanTitle(edtTitle->text().toStdString());
  Result.Description = edtDescription->toPlainText().trimmed().toStdString();
  Result.Viewer = ViewerSettings();
  // Kept for the project's next page set; a settings file that cannot be
  // written costs only that, not this export.
  (void)Titles.SetTitle(Project, Result.Title);
  (void)Titles.SetDescription(Project, Result.Description);
  accept();
}

void TfrmTemplate::SetProject(const std::string& projectPath) {
  if (ProjectSet && projectPath == Project) return;  // what was typed stays
  ProjectSet = true;
  Project = projectPath;
  edtTitle->setText(QString::fromStdString(Titles.Title(projectPath)));
  edtDescription->setPlainText(QString::fromStdString(Titles.Description(projectPath)));
}

TViewerSettings TfrmTemplate::ViewerSettings() const {
  TViewerSettings s;
  s.Autoplay = chkAutoplay->isChecked();
  s.SpinOnce = chkSpinOnce->isChecked();
  s.StopOnTouch = chkStopOnTouch->isChecked();
  s.ResumeAfter = chkResume->isChecked() ? spnResumeAfter->value() : 0;
  s.LoadOnClick = chkLoadOnClick->isChecked();
  return s;
}

void TfrmTemplate::SetViewerSettings(const TViewerSettings& s) {
  chkAutoplay->setChecked(s.Autoplay);
  chkSpinOnce->setChecked(s.SpinOnce);
  chkStopOnTouch->setChecked(s.StopOnTouch);
  chkResume->setChecked(s.ResumeAfter > 0);
  if (s.ResumeAfter > 0) spnResumeAfter->setValue(s.ResumeAfter);
  chkLoadOnClick->setChecked(s.LoadOnClick);
  UpdateViewerChecks();
}

// What only matters while the viewer turns by itself is offered only then.
void TfrmTemplate::UpdateViewerChecks() {
  const bool on = chkAutoplay->isChecked();
  chkSpinOnce->setEnabled(on);
  chkStopOnTouch->setEnabled(on);
  chkResume->setEnabled(on);
  spnResumeAfter->setEnabled(on && chkResume->isChecked());
}

TWindowBounds TfrmTemplate::Bounds() const {
  return ClientBounds(*this);
}
void TfrmTemplate::SetLeft(int left) {
  Placed = true;
  PlaceClient(*this, left, geometry().y());
}
void TfrmTemplate::SetTop(int top) {
  Placed = true;
  PlaceClient(*this, geometry().x(), top);
}
void TfrmTemplate::SetWidth(int w) {
  resize(std::max(w, minimumWidth()), height());
}
void TfrmTemplate::SetHeight(int h) {
  resize(width(), std::max(h, minimumHeight()));
}
bool TfrmTemplate::AfterOpen() const {
  return chkAfterOpen->isChecked();
}
void TfrmTemplate::SetAfterOpen(bool on) {
  chkAfterOpen->setChecked(on);
}
bool TfrmTemplate::UseHelp() const {
  return chkUseHelp->isChecked();
}
void TfrmTemplate::SetUseHelp(bool on) {
  chkUseHelp->setChecked(on);
}
int TfrmTemplate::SelectedTheme() const {
  return lboxTheme->currentRow();
}
void TfrmTemplate::SelectTheme(int index) {
  if (index < 0 || index >= lboxTheme->count()) return;
  lboxTheme->setCurrentRow(index);
  lboxThemeClick();
}

}  // namespace kalvane::ui
