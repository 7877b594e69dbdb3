#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "document/GuideShape.h"

namespace kalvane {

// The guide lines of the project and the settings they share.
class TGuideManagement {
 public:
  using TEvent = std::function<void(TGuideManagement& sender)>;

  void SetParent(IControlParent* parent);
  void SetAreaSize(int w, int h);
  void SetOrigin(int x, int y);
  void SetMarginStart(int m);
  void SetMarginEnd(int m);
  void SetVisible(bool visible);
  bool GetVisible() const { return Visible; }
  void SetLocked(bool locked);
  bool GetLocked() const { return Locked; }
  void Relayout();
  int Count() const { return static_cast<int>(Guides.size()); }
  TGuideShape* GetGuide(int i) const;
  TGuideShape* LastGuide() const;
  TGuideShape* AddAtRelPos(int orientation, double r);
  TGuideShape* AddAtPosition(int orientation, int p);
  // The last guide takes the deleted one's place.
  void Delete(int i);
  void Clear();

  TEvent OnGuideBeginDrag;
  TEvent OnGuideEndDrag;
  // Not part of the drag events: a guide was added or removed, so the
  // widgets that show them must follow.
  TEvent OnGuidesChanged;

  // Pulling a new guide out of a ruler (orientation 1: the horizontal ruler
  // along the top, 0: the vertical one), in ruler coordinates along it.
  void RulerPress(int orientation, TMouseButton button, int coordinate);
  void RulerMove(int coordinate);
  void RulerRelease();

 private:
  TGuideShape* Add(int orientation, const std::function<void(TGuideShape&)>& place);
  void Renumber();
  void GuidesChanged();

  IControlParent* Parent = nullptr;
  std::vector<std::unique_ptr<TGuideShape>> Guides;
  int MarginStart = 0, MarginEnd = 0;
  bool Visible = true;
  TSize AreaSize{1, 1};
  TPoint Origin;
  bool Locked = false;
  TGuideShape* RulerGuide = nullptr;
  int RulerOrientation = 0;
  int RulerLast = 0;
};

}  // namespace kalvane
