#include "document/BandManagement.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/Round.h"

namespace kalvane {

TBandManagement::TBandManagement() {
  for (int i = 0; i < 4; ++i) {
    auto corner = std::make_unique<TBandCorner>(this, "CornerItem" + std::to_string(i));
    corner->Cursor = i % 2 == 0 ? TCursorKind::SizeNWSE : TCursorKind::SizeNESW;
    corner->OnHandleMoving = [this](TBandCorner& c) { CornerMoved(c); };
    corner->OnHandleUp = [this](TBandCorner& c) { CornerReleased(c); };
    Corners[static_cast<std::size_t>(i)] = std::move(corner);
  }
  Handle = std::make_unique<TBandLabel>(this);
  Handle->OnHandleDown = [this](TBandCorner& h) { HandlePressed(h); };
  Handle->OnHandleMoving = [this](TBandCorner& h) { BoxMoved(h); };
  Handle->OnHandleUp = [this](TBandCorner& h) { HandleReleased(h); };
  for (auto& corner : Corners)
    corner->SetBoundsSize(AreaSize);
  Handle->SetBoundsSize(AreaSize);
}

void TBandManagement::SetParent(IControlParent* parent) {
  if (!parent) return;
  Parent = parent;
  SetShadesVisible(false);
}

void TBandManagement::SetOrigin(int x, int y) {
  SetViewOrigin(x >= 0 ? x : Origin.X, y >= 0 ? y : Origin.Y);
}

void TBandManagement::SetViewOrigin(int x, int y) {
  Origin = {x, y};
  for (auto& corner : Corners)
    corner->SetBoundsOrigin(Origin);
  Handle->SetBoundsOrigin(Origin);
  Update(false);
}

void TBandManagement::SetAreaSize(int width, int height) {
  if (width > 0) AreaSize.Width = width;
  if (height > 0) AreaSize.Height = height;
  for (auto& corner : Corners)
    corner->SetBoundsSize(AreaSize);
  Handle->SetBoundsSize(AreaSize);
  Update(false);
}

void TBandManagement::SetRelBox(const TRelBox& box) {
  auto sane = [](double v, double fallback) {
    return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : fallback;
  };
  const double x1 = sane(box.p1x, kDefaultRelBox.p1x), x2 = sane(box.p2x, kDefaultRelBox.p2x);
  const double y1 = sane(box.p1y, kDefaultRelBox.p1y), y2 = sane(box.p2y, kDefaultRelBox.p2y);
  RelBox = {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
  Update(false);
}

void TBandManagement::SetVisible(bool visible) {
  if (!Parent) return;
  for (auto& corner : Corners)
    corner->Visible = visible;
  Handle->Visible = visible;
  Visible = visible;
}

void TBandManagement::SetShadesVisible(bool visible) {
  ShadesVisible = visible;
}

void TBandManagement::SetLocked(bool locked) {
  Locked = locked;
  for (auto& corner : Corners)
    corner->SetLocked(locked);
  Handle->SetLocked(locked);
}

void TBandManagement::RelativeToScreen() {
  ScreenBox.x1 = RoundInt(AreaSize.Width * RelBox.p1x) + Origin.X;
  ScreenBox.y1 = RoundInt(AreaSize.Height * RelBox.p1y) + Origin.Y;
  ScreenBox.x2 = RoundInt(AreaSize.Width * RelBox.p2x) + Origin.X;
  ScreenBox.y2 = RoundInt(AreaSize.Height * RelBox.p2y) + Origin.Y;
}

void TBandManagement::ScreenToRelative() {
  const double w = AreaSize.Width, h = AreaSize.Height;
  RelBox = {(ScreenBox.x1 - Origin.X) / w, (ScreenBox.y1 - Origin.Y) / h,
            (ScreenBox.x2 - Origin.X) / w, (ScreenBox.y2 - Origin.Y) / h};
}

void TBandManagement::Update(bool normalize) {
  if (normalize) {
    ScreenBox = {std::min(ScreenBox.x1, ScreenBox.x2), std::min(ScreenBox.y1, ScreenBox.y2),
                 std::max(ScreenBox.x1, ScreenBox.x2), std::max(ScreenBox.y1, ScreenBox.y2)};
    ScreenToRelative();
  }
  RelativeToScreen();
  const auto [x1, y1, x2, y2] = ScreenBox;
  Corners[0]->CentreOn(x1, y1);
  Corners[1]->CentreOn(x2, y1);
  Corners[2]->CentreOn(x2, y2);
  Corners[3]->CentreOn(x1, y2);
  auto edge = [](int px, int py, int qx, int qy) {
    return TBoundsRect{px - 1, py - 1, qx - px + 2, qy - py + 2};
  };
  EdgeRects = {edge(x1, y1, x2, y1), edge(x2, y1, x2, y2), edge(x1, y2, x2, y2),
               edge(x1, y1, x1, y2)};
  const TBoundsRect h = Handle->Bounds();
  Handle->CentreOn(x2 - h.Width + 5, RoundInt(h.Height * 0.5) + y2 + 1);
  const TSize client = Parent ? Parent->ClientSize() : TSize{};
  const int W = client.Width, H = client.Height;
  ShadeRects = {TBoundsRect{0, 0, W, y1 + 1}, TBoundsRect{0, 0, x1 + 1, H},
                TBoundsRect{x2, 0, W - x2, H}, TBoundsRect{0, y2, W, H - y2}};
}

void TBandManagement::CornerMoved(TBandCorner& corner) {
  const TPoint c = {corner.GetLeft() + RoundInt(8 * 0.5), corner.GetTop() + RoundInt(8 * 0.5)};
  const std::string& n = corner.Name();
  if (n == "CornerItem0" || n == "CornerItem3") ScreenBox.x1 = c.X;
  if (n == "CornerItem1" || n == "CornerItem2") ScreenBox.x2 = c.X;
  if (n == "CornerItem0" || n == "CornerItem1") ScreenBox.y1 = c.Y;
  if (n == "CornerItem2" || n == "CornerItem3") ScreenBox.y2 = c.Y;
  ScreenToRelative();
  Update(false);
}

void TBandManagement::CornerReleased(TBandCorner&) {
  Update(true);
  Changed();
}

void TBandManagement::HandlePressed(TBandCorner& handle) {
  LastHandlePos = {handle.GetLeft(), handle.GetTop()};
}

void TBandManagement::BoxMoved(TBandCorner& handle) {
  const int dx = handle.GetLeft() - LastHandlePos.X;
  const int dy = handle.GetTop() - LastHandlePos.Y;
  const int w = ScreenBox.x2 - ScreenBox.x1, h = ScreenBox.y2 - ScreenBox.y1;
  const int ox = Origin.X, oy = Origin.Y, aw = AreaSize.Width, ah = AreaSize.Height;
  TScreenBox moved;
  moved.x1 = ScreenBox.x1 + dx;
  if (moved.x1 < ox + 5) {
    moved.x1 = ox + 5;
    moved.x2 = ox + 5 + w;
  } else {
    moved.x2 = ScreenBox.x2 + dx;
  }
  moved.y1 = ScreenBox.y1 + dy;
  if (moved.y1 < oy + 5) {
    moved.y1 = oy + 5;
    moved.y2 = oy + 5 + h;
  } else {
    moved.y2 = ScreenBox.y2 + dy;
  }
  if (moved.x2 > ox + aw - 5) {
    moved.x2 = ox + aw - 5;
    moved.x1 = moved.x2 - w;
  }
  if (moved.y2 > oy + ah - 5) {
    moved.y2 = oy + ah - 5;
    moved.y1 = moved.y2 - h;
  }
  ScreenBox = moved;
  ScreenToRelative();
  Update(false);
  LastHandlePos = {Handle->GetLeft(), Handle->GetTop()};
}

void TBandManagement::HandleReleased(TBandCorner&) {
  Update(false);
  Changed();
}

void TBandManagement::Changed() {
  if (OnChange) OnChange(*this);
}

}  // namespace kalvane
