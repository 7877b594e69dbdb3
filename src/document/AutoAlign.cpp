#include "document/AutoAlign.h"

#include <algorithm>
#include <cstdint>

#include "base/OrderedWork.h"
#include "base/Round.h"
#include "document/LayerManagement.h"
#include "imaging/PhaseCorrelation.h"

namespace kalvane {

std::vector<TAlignment> TAutoAlign::Measure(const TLayerManagement& items,
                                            const std::function<void()>& step) const {
  std::vector<TAlignment> result;
  const TLayerManagement::TLockedView view = items.LockedView();
  const int count = view.Count();
  if (count == 0) return result;
  const TLayerItemObject& first = view[0];
  const TBitmap24* reference = first.GetDisplayBitmap();
  // The region lies on the work canvas; in the photos' own pixels it is
  // where the first photo has it, held to that photo (in 64 bits: the
  // offset can be anything a file said, up to kMaxOffset).
  const TSize work = items.WorkSize();
  const TPoint origin = first.GetOffset();
  const int refWidth = reference ? reference->Width() : 0;
  const int refHeight = reference ? reference->Height() : 0;
  auto edge = [](double fraction, int size, int shift, int limit) {
    const std::int64_t at = std::int64_t{RoundInt(fraction * size)} - shift;
    return static_cast<int>(std::clamp<std::int64_t>(at, 0, limit));
  };
  const TIKRect rect{edge(Region.Left, work.Width, origin.X, refWidth),
                     edge(Region.Top, work.Height, origin.Y, refHeight),
                     edge(Region.Right, work.Width, origin.X, refWidth),
                     edge(Region.Bottom, work.Height, origin.Y, refHeight)};
  const TPhaseCorrelator correlator(reference ? *reference : TBitmap24(), rect);
  TOrderedWork<TAlignment> jobs;
  auto deliver = [&](TAlignment a) {
    result.push_back(std::move(a));
    if (step) step();
  };
  for (int i = 0; i < count; ++i) {
    const TLayerItemObject& item = view[i];
    jobs.Add(
        [&item, i, &correlator, origin] {
          TAlignment a;
          a.Index = i;
          a.Name = item.GetItemName();
          a.Before = a.After = item.GetOffset();
          if (i == 0) {
            a.Trusted = true;
            a.Confidence = 0;
            return a;
          }
          const TBitmap24* display = item.GetDisplayBitmap();
          if (!display || !correlator.Usable()) return a;
          const TIKShift shift = correlator.Measure(*display);
          a.Confidence = shift.sharpness;
          a.Trusted = shift.sharpness >= kMinConfidence;
          if (a.Trusted) {
            a.After = {TLayerItemObject::ClampOffset(std::int64_t{origin.X} + shift.dx),
                       TLayerItemObject::ClampOffset(std::int64_t{origin.Y} + shift.dy)};
          }
          return a;
        },
        deliver);
  }
  jobs.Finish(deliver);
  return result;
}

void TAutoAlign::Apply(TLayerManagement& items, const std::vector<TAlignment>& alignments) {
  for (const TAlignment& a : alignments) {
    if (!a.Trusted) continue;
    if (TLayerItemObject* item = items.GetItem(a.Index)) item->SetOffset(a.After);
  }
}

}  // namespace kalvane
