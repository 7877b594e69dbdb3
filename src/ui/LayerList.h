#pragma once

#include <QFrame>
#include <QImage>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QMenu;
class QScrollArea;

namespace kalvane {
class TLayerManagement;
}

namespace kalvane::ui {

// One row of the item list: thumbnail, name and, in monochrome mode, the
// check image of the item's overlay flag.
class TflmLayerItem : public QFrame {
  Q_OBJECT
 public:
  explicit TflmLayerItem(QWidget* parent);
  void SetRowSelected(bool selected);
  bool RowSelected() const { return Selected; }
  void SetRowItemName(const std::string& name);
  const std::string& GetRowItemName() const { return itemName; }
  void SetRowCheck(bool on);
  // A photo kept in the project that could not be decoded says so.
  void SetUnreadable(bool unreadable);
  // A word after the name (an alignment to look at), with its hint.
  void SetNote(const QString& note, const QString& hint);
  void SetCheckVisible(bool visible);
  // Kept until the item's display copy changes.
  void SetThumbnail(const QImage& thumbnail, std::uint64_t generation);
  std::uint64_t ThumbnailGeneration() const { return Generation; }

  std::function<void(TflmLayerItem&, Qt::MouseButton)> OnRowClick;
  std::function<void(TflmLayerItem&)> OnCheckClick;
  // The row pulled past the drag distance with the left button held, and
  // let go (global pointer positions).
  std::function<void(TflmLayerItem&, QPoint)> OnRowDrag, OnRowDrop;
  QMenu* pmenuItem = nullptr;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void callClickEvent(Qt::MouseButton button);
  void ApplySelected(bool selected);
  void ShowCaption();
  QLabel* imgPreview = nullptr;
  QLabel* lblCaption = nullptr;
  QLabel* imgCheck = nullptr;
  std::string itemName;
  bool Selected = false;
  bool Checked = false;
  bool Unreadable = false;
  QString Note;
  QPoint pressedAt;  // global, while the left button is held
  bool pressed = false, dragged = false;
  std::uint64_t Generation = 0;
};

// The item list panel: one row per item, in list order.
class TflmLayerList : public QFrame {
  Q_OBJECT
 public:
  static constexpr int kRowHeight = 109;
  explicit TflmLayerList(QWidget* parent);
  void SetLayerManagement(TLayerManagement* list);
  void SetAutoRefresh(bool on);
  bool AutoRefresh() const { return autoRefresh; }
  void RefreshRows();
  void ScrollToCurrent();
  int RowCount() const { return static_cast<int>(rows.size()); }
  TflmLayerItem* Row(int i) const { return rows[static_cast<std::size_t>(i)]; }
  QScrollArea* scrLayerList = nullptr;
  // The main window's item commands, for the rows' popup menu.
  std::function<void()> AddImages, DeleteItem, MoveUp, MoveDown;
  // A row dragged to another place: the item moves from one index to the
  // other (as the list will stand after it).
  std::function<void(int from, int to)> MoveTo;
  // How sure the last alignment was of an item it doubted (by id), or
  // nothing.
  std::function<std::optional<int>(std::uint64_t)> DoubtOf;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void AddRows(int count);
  // Where a row let go at `global` would go in: 0 to the row count.
  int DropGap(QPoint global) const;
  void RowDrag(TflmLayerItem& row, QPoint global);
  void RowDrop(TflmLayerItem& row, QPoint global);
  QFrame* dropMarker = nullptr;
  void RowClick(TflmLayerItem& row);
  void CheckClick(TflmLayerItem& row);
  TLayerManagement* layerManagement = nullptr;
  bool autoRefresh = false;
  std::vector<TflmLayerItem*> rows;
  int rowCounter = 0;
  QWidget* content = nullptr;
  bool scrollPending = false;  // asked while hidden: done once shown
};

}  // namespace kalvane::ui
