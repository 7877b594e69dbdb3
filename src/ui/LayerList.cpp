#include "ui/LayerList.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "document/LayerManagement.h"
#include "ui/Texts.h"

namespace kalvane::ui {

namespace {

constexpr int kThumbWidth = 102, kThumbHeight = 83;

QPixmap DrawCheckImage(bool on) {
  QPixmap pixmap(14, 14);
  pixmap.fill(QColor(0xE0, 0xDF, 0xE3));
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(on ? QColor(200, 30, 30) : QColor(140, 140, 140), 2));
  if (on) {
    p.drawLine(3, 7, 6, 10);
    p.drawLine(6, 10, 11, 3);
  } else {
    p.drawRect(3, 3, 8, 8);
  }
  return pixmap;
}

const QPixmap& CheckImage(bool on) {
  static const QPixmap images[2] = {DrawCheckImage(false), DrawCheckImage(true)};
  return images[on ? 1 : 0];
}

// The display copy fitted into the thumbnail with a 3-pixel white margin.
QImage Thumbnail(const TLayerItemObject& item) {
  QImage thumb(kThumbWidth, kThumbHeight, QImage::Format_RGB888);
  thumb.fill(Qt::white);
  const TBitmap24* display = item.GetDisplayBitmap();
  if (!display || display->IsEmpty()) return thumb;
  const QImage source(display->Bits(), display->Width(), display->Height(),
                      static_cast<qsizetype>(display->Stride()), QImage::Format_BGR888);
  const QImage fitted = source.scaled(kThumbWidth - 6, kThumbHeight - 6, Qt::KeepAspectRatio,
                                      Qt::SmoothTransformation);
  QPainter p(&thumb);
  p.drawImage((kThumbWidth - fitted.width()) / 2, (kThumbHeight - fitted.height()) / 2, fitted);
  return thumb;
}

}  // namespace

TflmLayerItem::TflmLayerItem(QWidget* parent) : QFrame(parent) {
  setFixedSize(180, TflmLayerList::kRowHeight);
  setAutoFillBackground(true);
  setFrameShape(QFrame::NoFrame);
  imgPreview = new QLabel(this);
  imgPreview->setObjectName("imgPreview");
  imgPreview->setGeometry(18, 6, kThumbWidth + 2, kThumbHeight + 2);
  imgPreview->setStyleSheet("background: white; border: 1px solid black;");
  lblCaption = new QLabel(this);
  lblCaption->setObjectName("lblCaption");
  lblCaption->setGeometry(8, 92, 170, 14);
  imgCheck = new QLabel(this);
  imgCheck->setObjectName("imgCheck");
  imgCheck->setGeometry(126, 7, 17, 17);
  imgCheck->setAlignment(Qt::AlignCenter);
  imgCheck->setFrameShape(QFrame::Panel);
  imgCheck->setFrameShadow(QFrame::Sunken);
  imgCheck->setToolTip(QString::fromUtf8("クリックしてアイテムのモノクロ表示、非表示を切り替え"));
  imgCheck->installEventFilter(this);
  imgPreview->installEventFilter(this);
  lblCaption->installEventFilter(this);
  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(0, TflmLayerList::kRowHeight - 2, 200, 2);
  pmenuItem = new QMenu(this);
  pmenuItem->setObjectName("pmenuItem");
  ApplySelected(false);
  imgCheck->setPixmap(CheckImage(false));
}

// Rows show what their item holds; a property that did not change is not
// set again, so a selection change among hundreds of rows touches two.
void TflmLayerItem::SetRowSelected(bool selected) {
  if (selected != Selected) ApplySelected(selected);
}

void TflmLayerItem::ApplySelected(bool selected) {
  Selected = selected;
  QPalette p = palette();
  const QPalette system = QApplication::palette();
  p.setColor(QPalette::Window, selected ? system.color(QPalette::Highlight) : QColor(Qt::white));
  setPalette(p);
  QPalette caption = lblCaption->palette();
  caption.setColor(QPalette::WindowText,
                   selected ? system.color(QPalette::HighlightedText) : QColor(Qt::black));
  lblCaption->setPalette(caption);
}

void TflmLayerItem::SetRowItemName(const std::string& name) {
  if (name == itemName) return;
  itemName = name;
  ShowCaption();
}

void TflmLayerItem::SetUnreadable(bool unreadable) {
  if (unreadable == Unreadable) return;
  Unreadable = unreadable;
  ShowCaption();
}

void TflmLayerItem::SetNote(const QString& note, const QString& hint) {
  setToolTip(hint);
  if (note == Note) return;
  Note = note;
  ShowCaption();
}

void TflmLayerItem::ShowCaption() {
  lblCaption->setText(QString::fromStdString(itemName) +
                      (Unreadable ? QString::fromUtf8(kUnreadablePhoto) : QString()) + Note);
}

void TflmLayerItem::SetRowCheck(bool on) {
  if (on == Checked) return;
  Checked = on;
  imgCheck->setPixmap(CheckImage(on));
}

void TflmLayerItem::SetCheckVisible(bool visible) {
  if (visible != imgCheck->isVisibleTo(this)) imgCheck->setVisible(visible);
}

void TflmLayerItem::SetThumbnail(const QImage& thumbnail, std::uint64_t generation) {
  imgPreview->setPixmap(QPixmap::fromImage(thumbnail));
  Generation = generation;
}

void TflmLayerItem::callClickEvent(Qt::MouseButton button) {
  if (OnRowClick) OnRowClick(*this, button);
}

void TflmLayerItem::mousePressEvent(QMouseEvent* event) {
  pressed = event->button() == Qt::LeftButton;
  dragged = false;
  pressedAt = event->globalPosition().toPoint();
  callClickEvent(event->button());
  setFocus();
  // The popup comes after the row's item became current, so its commands
  // act on the item under the pointer.
  if (event->button() == Qt::RightButton) pmenuItem->popup(event->globalPosition().toPoint());
}

void TflmLayerItem::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed || !(event->buttons() & Qt::LeftButton)) return;
  const QPoint at = event->globalPosition().toPoint();
  if (!dragged && (at - pressedAt).manhattanLength() < QApplication::startDragDistance()) return;
  dragged = true;
  if (OnRowDrag) OnRowDrag(*this, at);
}

void TflmLayerItem::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed) return;
  pressed = false;
  if (dragged && OnRowDrop) OnRowDrop(*this, event->globalPosition().toPoint());
  dragged = false;
}

bool TflmLayerItem::eventFilter(QObject* watched, QEvent* event) {
  // The labels take the pointer when pressed on; the row handles it.
  if (event->type() == QEvent::MouseMove) {
    mouseMoveEvent(static_cast<QMouseEvent*>(event));
    return true;
  }
  if (event->type() == QEvent::MouseButtonRelease) {
    mouseReleaseEvent(static_cast<QMouseEvent*>(event));
    return true;
  }
  if (event->type() != QEvent::MouseButtonPress) return QFrame::eventFilter(watched, event);
  auto* mouse = static_cast<QMouseEvent*>(event);
  if (watched == imgCheck) {
    if (imgCheck->isVisible() && OnCheckClick) OnCheckClick(*this);
    return true;
  }
  mousePressEvent(mouse);
  return true;
}

TflmLayerList::TflmLayerList(QWidget* parent) : QFrame(parent) {
  setObjectName("flmLayer");
  scrLayerList = new QScrollArea(this);
  scrLayerList->setObjectName("scrLayerList");
  scrLayerList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scrLayerList->setFrameShadow(QFrame::Sunken);
  content = new QWidget;
  content->setObjectName("scrLayerListContent");
  scrLayerList->setWidget(content);
  scrLayerList->setWidgetResizable(false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 3, 1, 1);
  layout->addWidget(scrLayerList);
}

void TflmLayerList::SetLayerManagement(TLayerManagement* list) {
  layerManagement = list;
  if (!list) return;
  list->SetChangeHandler(1, [this](TLayerManagement&) {
    if (autoRefresh) RefreshRows();
  });
}

int TflmLayerList::DropGap(QPoint global) const {
  const int y = content->mapFromGlobal(global).y();
  return std::clamp((y + kRowHeight / 2) / kRowHeight, 0, RowCount());
}

void TflmLayerList::RowDrag(TflmLayerItem& row, QPoint global) {
  if (!dropMarker) {
    dropMarker = new QFrame(content);
    dropMarker->setObjectName("shpDropMarker");
    dropMarker->setStyleSheet("background: rgb(44, 108, 176);");
  }
  // A line between the rows where the item would go; the list scrolls when
  // the pointer nears its ends.
  const int gap = DropGap(global);
  dropMarker->setGeometry(0, std::max(gap * kRowHeight - 2, 0), content->width(), 4);
  dropMarker->show();
  dropMarker->raise();
  scrLayerList->ensureVisible(0, content->mapFromGlobal(global).y(), 0, kRowHeight / 3);
  row.setCursor(Qt::ClosedHandCursor);
}

void TflmLayerList::RowDrop(TflmLayerItem& row, QPoint global) {
  row.unsetCursor();
  if (dropMarker) dropMarker->hide();
  const auto found = std::find(rows.begin(), rows.end(), &row);
  if (found == rows.end()) return;
  const int from = static_cast<int>(found - rows.begin());
  int to = DropGap(global);
  if (to > from) --to;  // the gap counted the row itself above it
  if (to != from && MoveTo) MoveTo(from, to);
}

void TflmLayerList::SetAutoRefresh(bool on) {
  autoRefresh = on;
  if (on) RefreshRows();
}

void TflmLayerList::AddRows(int count) {
  while (static_cast<int>(rows.size()) < count) {
    auto* row = new TflmLayerItem(content);
    row->setObjectName(QString("layerAbsolute%1").arg(rowCounter++));
    row->move(0, static_cast<int>(rows.size()) * kRowHeight);
    row->OnRowClick = [this](TflmLayerItem& r, Qt::MouseButton) { RowClick(r); };
    row->OnCheckClick = [this](TflmLayerItem& r) { CheckClick(r); };
    row->OnRowDrag = [this](TflmLayerItem& r, QPoint at) { RowDrag(r, at); };
    row->OnRowDrop = [this](TflmLayerItem& r, QPoint at) { RowDrop(r, at); };
    row->pmenuItem
        ->addAction(QString::fromUtf8("新規アイテムの追加(&N)"), this,
                    [this] {
                      if (AddImages) AddImages();
                    })
        ->setObjectName("N1");
    row->pmenuItem
        ->addAction(QString::fromUtf8("削除(&D)"), this,
                    [this] {
                      if (DeleteItem) DeleteItem();
                    })
        ->setObjectName("N2");
    row->pmenuItem->addSeparator()->setObjectName("S1");
    row->pmenuItem
        ->addAction(QString::fromUtf8("上へ(&U)"), this,
                    [this] {
                      if (MoveUp) MoveUp();
                    })
        ->setObjectName("N3");
    row->pmenuItem
        ->addAction(QString::fromUtf8("下へ(&D)"), this,
                    [this] {
                      if (MoveDown) MoveDown();
                    })
        ->setObjectName("N4");
    row->show();
    rows.push_back(row);
  }
}

void TflmLayerList::RefreshRows() {
  if (!layerManagement) return;
  const int n = layerManagement->Count();
  AddRows(n);
  while (static_cast<int>(rows.size()) > n) {
    delete rows.back();
    rows.pop_back();
  }
  if (content->height() != n * kRowHeight) content->resize(180, n * kRowHeight);
  const bool mono = layerManagement->GetMonoMode() == 1;
  {
    const TLayerManagement::TLockedView view = layerManagement->LockedView();
    for (int i = 0; i < n && i < view.Count(); ++i) {
      const TLayerItemObject& item = view[i];
      TflmLayerItem* row = rows[static_cast<std::size_t>(i)];
      row->SetRowItemName(item.GetItemName());
      row->SetUnreadable(!item.HasImage() && !item.LoadError().empty());
      const std::optional<int> doubt = DoubtOf ? DoubtOf(item.GetId()) : std::nullopt;
      row->SetNote(doubt ? QString::fromUtf8(kAlignDoubtfulMark) : QString(),
                   doubt ? QString::fromUtf8(kAlignDoubtfulHint).arg(*doubt) : QString());
      row->SetRowSelected(item.GetSelected());
      row->SetRowCheck(item.GetMonoVisible());
      // The thumbnail is drawn again only when the display copy changed.
      if (row->ThumbnailGeneration() != item.ImageGeneration() || row->ThumbnailGeneration() == 0)
        row->SetThumbnail(Thumbnail(item), item.ImageGeneration());
      row->SetCheckVisible(mono);
    }
  }
  ScrollToCurrent();
}

void TflmLayerList::ScrollToCurrent() {
  if (!layerManagement || layerManagement->Count() == 0) return;
  const TLayerItemObject* current = layerManagement->GetSelected();
  if (!current || current->GetIndex() >= RowCount()) return;
  QScrollBar* bar = scrLayerList->verticalScrollBar();
  scrollPending = !bar->isVisible();
  if (scrollPending) return;
  const int index = current->GetIndex();
  const int h = kRowHeight, H = scrLayerList->viewport()->height();
  const int top = index * h - bar->value();
  if (top < 0) {
    bar->setValue(index * h);
  } else if (top + h > H) {
    bar->setValue((index - H / h + 1) * h);
  }
}

void TflmLayerList::RowClick(TflmLayerItem& row) {
  if (!layerManagement) return;
  layerManagement->ClearSelection();
  layerManagement->SelectName(row.GetRowItemName());
}

void TflmLayerList::CheckClick(TflmLayerItem& row) {
  if (!layerManagement) return;
  const bool on = layerManagement->GetMonoVisibleByName(row.GetRowItemName());
  layerManagement->SetMonoVisibleByName(row.GetRowItemName(), !on);
}

void TflmLayerList::showEvent(QShowEvent* event) {
  QFrame::showEvent(event);
  // The rows are laid out and the scroll bar set once the panel is shown.
  if (scrollPending) QTimer::singleShot(0, this, [this] { ScrollToCurrent(); });
}

}  // namespace kalvane::ui
