#include "document/GuideManagement.h"

namespace kalvane {

void TGuideManagement::SetParent(IControlParent* parent) {
  if (parent) Parent = parent;
}

void TGuideManagement::SetAreaSize(int w, int h) {
  if (w > 0) AreaSize.Width = w;
  if (h > 0) AreaSize.Height = h;
  for (auto& g : Guides)
    g->SetAreaSize(AreaSize.Width, AreaSize.Height);
}

void TGuideManagement::SetOrigin(int x, int y) {
  Origin = {x, y};
  for (auto& g : Guides)
    g->SetOrigin(x, y);
}

void TGuideManagement::SetMarginStart(int m) {
  MarginStart = m;
  for (auto& g : Guides)
    g->SetMarginStart(m);
}

void TGuideManagement::SetMarginEnd(int m) {
  MarginEnd = m;
  for (auto& g : Guides)
    g->SetMarginEnd(m);
}

void TGuideManagement::SetVisible(bool visible) {
  for (auto& g : Guides)
    g->Visible = visible;
  Visible = visible;
}

void TGuideManagement::SetLocked(bool locked) {
  Locked = locked;
  for (auto& g : Guides)
    g->SetLocked(locked);
}

void TGuideManagement::Relayout() {
  for (auto& g : Guides)
    g->Layout();
}

TGuideShape* TGuideManagement::GetGuide(int i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return Guides[static_cast<std::size_t>(i)].get();
}

TGuideShape* TGuideManagement::LastGuide() const {
  return Guides.empty() ? nullptr : Guides.back().get();
}

TGuideShape* TGuideManagement::Add(int orientation,
                                   const std::function<void(TGuideShape&)>& place) {
  if (!Parent) return nullptr;
  auto guide = std::make_unique<TGuideShape>(Parent);
  guide->SetManager(this);
  guide->SetOrientation(orientation);
  guide->Visible = Visible;
  guide->SetLocked(Locked);
  guide->SetMarginStart(MarginStart);
  guide->SetMarginEnd(MarginEnd);
  guide->SetAreaSize(AreaSize.Width, AreaSize.Height);
  guide->SetOrigin(Origin.X, Origin.Y);
  guide->OnEndDrag = [this](TGuideShape&) {
    if (OnGuideEndDrag) OnGuideEndDrag(*this);
  };
  guide->OnBeginDrag = [this](TGuideShape&) {
    if (OnGuideBeginDrag) OnGuideBeginDrag(*this);
  };
  place(*guide);
  Guides.push_back(std::move(guide));
  Renumber();
  GuidesChanged();
  return Guides.back().get();
}

TGuideShape* TGuideManagement::AddAtRelPos(int orientation, double r) {
  return Add(orientation, [r](TGuideShape& g) { g.SetRelPos(r); });
}

TGuideShape* TGuideManagement::AddAtPosition(int orientation, int p) {
  return Add(orientation, [p](TGuideShape& g) { g.SetPosition(p); });
}

void TGuideManagement::Renumber() {
  for (std::size_t i = 0; i < Guides.size(); ++i)
    Guides[i]->SetGuideIndex(static_cast<int>(i));
}

void TGuideManagement::Delete(int i) {
  if (i < 0 || i >= Count()) return;
  const auto at = static_cast<std::size_t>(i);
  if (Guides[at].get() == RulerGuide) RulerGuide = nullptr;
  Guides[at] = std::move(Guides.back());
  Guides.pop_back();
  Renumber();
  GuidesChanged();
}

void TGuideManagement::Clear() {
  while (!Guides.empty())
    Guides.pop_back();
  RulerGuide = nullptr;
  GuidesChanged();
}

void TGuideManagement::GuidesChanged() {
  if (OnGuidesChanged) OnGuidesChanged(*this);
}

void TGuideManagement::RulerPress(int orientation, TMouseButton button, int coordinate) {
  if (button != TMouseButton::Left || !Visible || Locked) return;
  // The top ruler lies 3 pixels, the left one 2, inside the panel.
  const bool horizontal = orientation == TGuideShape::kHorizontal;
  TGuideShape* guide = AddAtPosition(horizontal ? 1 : 0, coordinate + (horizontal ? 3 : 2));
  if (!guide) return;
  guide->MouseDown(0, 0);
  RulerGuide = guide;
  RulerOrientation = horizontal ? 1 : 0;
  RulerLast = coordinate;
}

void TGuideManagement::RulerMove(int coordinate) {
  if (!RulerGuide) return;
  const int change = coordinate - RulerLast;
  if (RulerOrientation == TGuideShape::kHorizontal) {
    RulerGuide->MouseMove(0, change);
  } else {
    RulerGuide->MouseMove(change, 0);
  }
  RulerLast = coordinate;
}

void TGuideManagement::RulerRelease() {
  TGuideShape* guide = RulerGuide;
  RulerGuide = nullptr;
  if (guide) guide->MouseUp(0, 0);
}

}  // namespace kalvane
