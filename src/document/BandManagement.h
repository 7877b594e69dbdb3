#pragma once

#include <array>
#include <functional>
#include <memory>

#include "document/BandCorner.h"
#include "document/Geometry.h"

namespace kalvane {

// The box as fractions of the image area: left, top, right, bottom.
struct TRelBox {
  double p1x = 0, p1y = 0, p2x = 0, p2y = 0;
  bool operator==(const TRelBox&) const = default;
};
inline constexpr TRelBox kDefaultRelBox{0.05, 0.05, 0.95, 0.95};

// The box in the parent's client pixels.
struct TScreenBox {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool operator==(const TScreenBox&) const = default;
};

// The trimming box: one rectangle for the project, kept as fractions of the
// displayed image area, with the places of its on-screen controls (edges,
// corners, move handle, shades) worked out as rectangles for the widgets.
class TBandManagement {
 public:
  TBandManagement();
  TBandManagement(const TBandManagement&) = delete;
  TBandManagement& operator=(const TBandManagement&) = delete;

  void SetParent(IControlParent* parent);
  bool HasParent() const { return Parent != nullptr; }
  void SetOrigin(int x, int y);
  // The same for a zoomed canvas, which scrolls the image area past the
  // panel's edge: there the origin may lie left of or above it.
  void SetViewOrigin(int x, int y);
  TPoint GetOrigin() const { return Origin; }
  void SetAreaSize(int width, int height);
  TSize GetAreaSize() const { return AreaSize; }
  // Whatever a project file holds arrives here: each pair is put in order
  // and clamped to 0..1, and a value that is not a number takes the
  // default box's.
  void SetRelBox(const TRelBox& box);
  TRelBox GetRelBox() const { return RelBox; }
  TScreenBox GetScreenBox() const { return ScreenBox; }
  void SetVisible(bool visible);
  bool GetVisible() const { return Visible; }
  void SetShadesVisible(bool visible);
  bool GetShadesVisible() const { return ShadesVisible; }
  void SetLocked(bool locked);
  bool GetLocked() const { return Locked; }
  void Update(bool normalize);

  std::function<void(TBandManagement& sender)> OnChange;

  // Top, right, bottom, left edge.
  const std::array<TBoundsRect, 4>& Edges() const { return EdgeRects; }
  // CornerItem0 (top-left) .. CornerItem3 (bottom-left).
  TBandCorner& Corner(int i) { return *Corners[static_cast<std::size_t>(i)]; }
  TBandLabel& MoveHandle() { return *Handle; }
  // Top, left, right, bottom shade.
  const std::array<TBoundsRect, 4>& Shades() const { return ShadeRects; }

 private:
  void RelativeToScreen();
  void ScreenToRelative();
  void CornerMoved(TBandCorner& corner);
  void CornerReleased(TBandCorner& corner);
  void HandlePressed(TBandCorner& handle);
  void BoxMoved(TBandCorner& handle);
  void HandleReleased(TBandCorner& handle);
  void Changed();

  IControlParent* Parent = nullptr;
  TRelBox RelBox;
  TScreenBox ScreenBox;
  std::array<TBoundsRect, 4> EdgeRects{};
  std::array<std::unique_ptr<TBandCorner>, 4> Corners;
  std::array<TBoundsRect, 4> ShadeRects{};
  std::unique_ptr<TBandLabel> Handle;
  TPoint LastHandlePos;
  bool Visible = true;
  bool ShadesVisible = false;
  bool Locked = false;
  TPoint Origin;
  TSize AreaSize{100, 100};
};

}  // namespace kalvane
