#include "export/ExportAdvice.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "export/FrameOutputs.h"
#include "export/FramePlanner.h"
#include "export/LayerToSwf.h"
#include "project/ProjectDocument.h"

namespace kalvane {

double TEnlargement::Factor() const {
  if (Frame.Width <= 0 || Cut.Width <= 0) return 0;
  return static_cast<double>(Frame.Width) / Cut.Width;
}

TSize ProjectCut(const TProjectDocument& document) {
  const TLayerManagement& items = document.LayerItems();
  const TSize work = document.WorkSize();
  if (items.Count() == 0 || work.Width <= 0 || work.Height <= 0) return {};
  const TRelBox box = document.TrimRelBox();
  // The planner's own box, so this is the cut every export makes.
  const TFramePlanner planner({items.GetItemScale(), work.Width, work.Height, box.p1x, box.p1y,
                               box.p2x, box.p2y, items.GetRotation(), TSwfExportWidth::kDefault});
  if (!planner.Check().Ok()) return {};
  const TIKRect cut = planner.SourceBox();
  return {cut.right - cut.left, cut.bottom - cut.top};
}

TEnlargement EnlargementOf(const TExportPlan& plan) {
  return {{plan.Width, plan.Height}, plan.Cut};
}

TEnlargement PlannedEnlargement(TSize cut, int width, int longSide) {
  if (cut.Width <= 0 || cut.Height <= 0) return {};
  // The cut as a whole photo at scale 1: the planner then sizes its frames
  // as it would the project's.
  TFramePlanner planner(
      {1.0, cut.Width, cut.Height, 0, 0, 1, 1, 0, longSide > 0 ? longSide : width},
      {true, longSide});
  if (!planner.Check().Ok()) return {};
  const TFramePlan frame = planner.PlanFine(0, {}, 0, 0, {});
  return {{frame.Width, frame.Height}, cut};
}

TSetSpacing SetSpacing(int items, int count) {
  TSetSpacing spacing;
  if (items <= 0) return spacing;
  const std::vector<int> picked = PickFrames(items, count);
  // Steps compared in whole photos, so no rounding of degrees makes two
  // of one size look different; the last runs round to the first.
  std::vector<int> steps;
  for (std::size_t k = 0; k < picked.size(); ++k) {
    spacing.Angles.push_back(picked[k] * 360.0 / items);
    const int next = k + 1 < picked.size() ? picked[k + 1] : picked.front() + items;
    steps.push_back(next - picked[k]);
  }
  std::sort(steps.begin(), steps.end());
  steps.erase(std::unique(steps.begin(), steps.end()), steps.end());
  for (const int step : steps)
    spacing.Steps.push_back(step * 360.0 / items);
  spacing.Even = steps.size() <= 1;
  return spacing;
}

std::vector<int> EvenCounts(int items) {
  std::vector<int> counts;
  for (int count = items; count >= 2; --count)
    if (items % count == 0) counts.push_back(count);
  return counts;
}

std::string DegreesText(double degrees) {
  const double tenths = std::round(degrees * 10);
  char text[32];
  if (std::fmod(tenths, 10) == 0)
    std::snprintf(text, sizeof text, "%.0f", tenths / 10);
  else
    std::snprintf(text, sizeof text, "%.1f", tenths / 10);
  return text;
}

}  // namespace kalvane
