#include "document/AutoAlign.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <future>
#include <optional>
#include <utility>

#include "base/OrderedWork.h"
#include "base/Round.h"
#include "document/LayerManagement.h"
#include "imaging/ImageKit.h"
#include "imaging/PhaseCorrelation.h"

namespace kalvane {

std::vector<TAlignment> TAutoAlign::Measure(const TLayerManagement& items,
                                            const std::function<void()>& step) const {
  std::vector<TAlignment> result;
  // The display copies are compared with the list held; the photos are
  // decoded after it is let go, so the window can paint meanwhile.
  std::vector<TPhotoRef> photos;
  const double s = items.GetItemScale();
  const TRefineCut cut = Refine ? PlanRefineCut(items) : TRefineCut();
  std::future<TRefineCut::TPicture> referenceCut;
  {
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
    // The first photo's cut for the refinement is made while the display
    // copies are compared: it needs nothing they find.
    if (cut.Usable()) {
      referenceCut = std::async(std::launch::async,
                                [&cut, path = first.GetFileName(), at = first.GetFineOffset()] {
                                  return cut.From(path, at);
                                });
    }
    TOrderedWork<TAlignment> jobs;
    auto deliver = [&](TAlignment a) {
      result.push_back(std::move(a));
      if (step && !Refine) step();
    };
    const TPointF fineOrigin = first.GetFineOffset();
    for (int i = 0; i < count; ++i) {
      const TLayerItemObject& item = view[i];
      jobs.Add(
          [&item, i, &correlator, origin, fineOrigin, s] {
            TAlignment a;
            a.Index = i;
            a.Name = item.GetItemName();
            a.Before = a.After = item.GetOffset();
            a.FineBefore = a.FineAfter = item.GetFineOffset();
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
              a.FineAfter = {fineOrigin.X + shift.dx / s, fineOrigin.Y + shift.dy / s};
            }
            return a;
          },
          deliver);
    }
    jobs.Finish(deliver);
    if (Refine) {
      for (int i = 0; i < count; ++i)
        photos.push_back({view[i].GetFileName(), view[i].GetScale()});
    }
  }
  if (Refine) {
    const TRefineCut::TPicture firstCut =
        referenceCut.valid() ? referenceCut.get() : TRefineCut::TPicture();
    RefineOnPhotos(photos, s, cut, firstCut, result, step);
  }
  return result;
}

namespace {

// The largest size up to n whose only prime factors are 2, 3 and 5 (only
// 2 and 3 with `quickest`), with at least three 2s: the transforms are
// quick for those, quickest without the 5 (per pixel, a factor 5 costs a
// half more, an odd side more still).
int SmoothSize(int n, bool quickest) {
  for (int k = n; k >= 8; --k) {
    int m = k;
    for (const int p : {2, 3, 5}) {
      while (m % p == 0 && (p != 5 || !quickest))
        m /= p;
    }
    if (m == 1 && k % 8 == 0) return k;
  }
  return n;
}

}  // namespace

TAutoAlign::TRefineCut TAutoAlign::PlanRefineCut(const TLayerManagement& items) const {
  TRefineCut plan;
  const TLayerManagement::TLockedView view = items.LockedView();
  if (view.Count() == 0) return plan;
  const double s = items.GetItemScale();
  const TSize work = items.WorkSize();
  const TLayerItemObject& first = view[0];
  const TPointF f0 = first.GetFineOffset();
  const TSize shown = first.DisplaySize();
  // The region on the canvas in photo pixels, held to the first photo.
  double left = std::max(Region.Left * work.Width / s, f0.X);
  double top = std::max(Region.Top * work.Height / s, f0.Y);
  const double right = std::min(Region.Right * work.Width / s, f0.X + shown.Width / s);
  const double bottom = std::min(Region.Bottom * work.Height / s, f0.Y + shown.Height / s);
  const double longer = std::max(right - left, bottom - top);
  if (!(right - left >= 32 && bottom - top >= 32)) return plan;
  double r = 0.5;
  while (longer * r / 2 >= kRefineMinSide && r > 0.125)
    r /= 2;
  // Only a part that is already a middle one is cut down to the quickest
  // sides; a whole region keeps what it can.
  const double keep = std::min(1.0, kRefineMaxSide / (longer * r));
  plan.Width = SmoothSize(static_cast<int>((right - left) * r * keep), keep < 1);
  plan.Height = SmoothSize(static_cast<int>((bottom - top) * r * keep), keep < 1);
  // Centred on the region, so the cut's whole pixels lose nothing one-sided.
  left += ((right - left) - plan.Width / r) / 2;
  top += ((bottom - top) - plan.Height / r) / 2;
  plan.Region = {left, top, left + plan.Width / r, top + plan.Height / r};
  plan.Scale = r;
  plan.Shrink = r == 0.5 ? 2 : r == 0.25 ? 4 : r == 0.125 ? 8 : 0;
  plan.Angle = items.GetRotation();
  return plan;
}

TAutoAlign::TRefineCut::TPicture TAutoAlign::TRefineCut::From(const std::string& path,
                                                              TPointF at) const {
  TPicture picture;
  if (Shrink > 0) {
    const double x = (Region.left - at.X) * Scale, y = (Region.top - at.Y) * Scale;
    const double left = std::floor(x), top = std::floor(y);
    // Far outside any photo the general way gives white just the same.
    if (std::abs(left) < 1 << 28 && std::abs(top) < 1 << 28) {
      const int l = static_cast<int>(left), t = static_cast<int>(top);
      if (auto grey = IKGreyCut(path, Angle, Shrink, {l, t, l + Width, t + Height})) {
        picture.Grey = std::move(*grey);
        picture.Fraction = {x - left, y - top};
        return picture;
      }
    }
  }
  const TIKImage frame = IKTrimFrameFine(
      path, Angle,
      {Region.left - at.X, Region.top - at.Y, Region.right - at.X, Region.bottom - at.Y}, Width,
      Height);
  if (frame.IsEmpty()) return picture;
  const TBitmap24 bitmap = IKBitmapFromDib(frame);
  picture.Grey.Width = bitmap.Width();
  picture.Grey.Height = bitmap.Height();
  picture.Grey.Pixels.resize(static_cast<std::size_t>(bitmap.Width()) * bitmap.Height());
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* p = bitmap.Row(y);
    std::uint8_t* out = picture.Grey.Pixels.data() + static_cast<std::size_t>(y) * bitmap.Width();
    for (int x = 0; x < bitmap.Width(); ++x, p += 3)
      out[x] = static_cast<std::uint8_t>(RoundInt(0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2]));
  }
  return picture;
}

namespace {

TIKGreyView View(const TIKGrey& grey) {
  return {grey.Pixels.data(), grey.Width, grey.Height, static_cast<std::size_t>(grey.Width)};
}

}  // namespace

void TAutoAlign::RefineOnPhotos(const std::vector<TPhotoRef>& photos, double itemScale,
                                const TRefineCut& cut, const TRefineCut::TPicture& reference,
                                std::vector<TAlignment>& found,
                                const std::function<void()>& step) const {
  auto stepAll = [&] {
    for (std::size_t i = 0; step && i < found.size(); ++i)
      step();
  };
  const int count = static_cast<int>(photos.size());
  if (count == 0 || static_cast<int>(found.size()) != count || !cut.Usable() ||
      reference.Grey.Pixels.empty()) {
    return stepAll();
  }
  const double s = itemScale;
  const double r = cut.Scale;
  const TPhaseCorrelator correlator(View(reference.Grey), {0, 0, cut.Width, cut.Height});
  // The display copies placed it to a work pixel; a match farther off than
  // that is taken for a mistake, and the display copies' answer stands.
  const double reach = 1.5 / s;
  using TRefined = std::pair<int, std::optional<TPointF>>;
  TOrderedWork<TRefined> jobs;
  auto deliver = [&found, &step](TRefined refined) {
    TAlignment& a = found[static_cast<std::size_t>(refined.first)];
    if (refined.second) {
      a.FineAfter = *refined.second;
      a.Refined = true;
    }
    if (step) step();
  };
  for (int i = 0; i < count; ++i) {
    const TAlignment& a = found[static_cast<std::size_t>(i)];
    const std::string& path = photos[static_cast<std::size_t>(i)].Path;
    jobs.Add(
        [&, i]() -> TRefined {
          if (i == 0 || !a.Trusted) return {i, std::nullopt};
          const TRefineCut::TPicture picture = cut.From(path, a.FineAfter);
          if (picture.Grey.Pixels.empty()) return {i, std::nullopt};
          const TIKShiftF shift = correlator.MeasureFine(View(picture.Grey));
          // Both cuts show their regions moved by their own fractions.
          const double dx = (shift.dx + picture.Fraction.X - reference.Fraction.X) / r;
          const double dy = (shift.dy + picture.Fraction.Y - reference.Fraction.Y) / r;
          if (shift.sharpness < kMinConfidence / 2 || std::abs(dx) > reach ||
              std::abs(dy) > reach) {
            return {i, std::nullopt};
          }
          return {i, TPointF{a.FineAfter.X + dx, a.FineAfter.Y + dy}};
        },
        deliver);
  }
  jobs.Finish(deliver);
  // The work-pixel offsets the items will have (as SetFineOffset rounds).
  for (TAlignment& a : found) {
    if (!a.Refined) continue;
    const double scale = photos[static_cast<std::size_t>(a.Index)].Scale;
    a.After = {TLayerItemObject::ClampOffset(RoundInt(a.FineAfter.X * scale)),
               TLayerItemObject::ClampOffset(RoundInt(a.FineAfter.Y * scale))};
  }
}

void TAutoAlign::Apply(TLayerManagement& items, const std::vector<TAlignment>& alignments) {
  for (const TAlignment& a : alignments) {
    if (!a.Trusted) continue;
    if (TLayerItemObject* item = items.GetItem(a.Index)) item->SetFineOffset(a.FineAfter);
  }
}

}  // namespace kalvane
