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
#include "imaging/TileShift.h"

namespace kalvane {

namespace {

TIKGreyView View(const TIKGrey& grey) {
  return {grey.Pixels.data(), grey.Width, grey.Height, static_cast<std::size_t>(grey.Width)};
}

// The grey of a bitmap inside `rect`, white outside it.
TIKGrey GreyCut(const TBitmap24& bitmap, TIKRect rect) {
  TIKGrey grey;
  grey.Width = std::max(rect.right - rect.left, 0);
  grey.Height = std::max(rect.bottom - rect.top, 0);
  grey.Pixels.assign(static_cast<std::size_t>(grey.Width) * grey.Height, 255);
  for (int y = 0; y < grey.Height; ++y) {
    const int sy = rect.top + y;
    if (sy < 0 || sy >= bitmap.Height()) continue;
    const std::uint8_t* row = bitmap.Row(sy);
    std::uint8_t* out = grey.Pixels.data() + static_cast<std::size_t>(y) * grey.Width;
    for (int x = 0; x < grey.Width; ++x) {
      const int sx = rect.left + x;
      if (sx < 0 || sx >= bitmap.Width()) continue;
      const std::uint8_t* p = row + static_cast<std::size_t>(sx) * 3;
      out[x] = static_cast<std::uint8_t>((29 * p[0] + 150 * p[1] + 77 * p[2] + 128) >> 8);
    }
  }
  return grey;
}

// The median of the pictures `spread` names (those placed with some
// certainty), each moved back by its shift; empty for fewer than 6.
TIKGrey SteadyPicture(const std::vector<TIKGrey>& greys, const std::vector<TIKShift>& shifts,
                      const std::vector<int>& spread) {
  std::vector<std::size_t> used;
  for (const int k : spread) {
    const auto i = static_cast<std::size_t>(k);
    if (!greys[i].Pixels.empty() && (i == 0 || shifts[i].sharpness >= TAutoAlign::kMinConfidence))
      used.push_back(i);
  }
  if (used.size() < 6 || greys[0].Pixels.empty()) return {};
  TIKGrey steady;
  steady.Width = greys[0].Width;
  steady.Height = greys[0].Height;
  steady.Pixels.resize(greys[0].Pixels.size());
  // In bands of rows on every core.
  auto band = [&](int from, int to) {
    std::vector<std::uint8_t> values;
    for (int y = from; y < to; ++y) {
      for (int x = 0; x < steady.Width; ++x) {
        values.clear();
        for (const std::size_t i : used) {
          // The picture moved back onto the first: its pixel at (x, y) - shift.
          const int sx = x - shifts[i].dx, sy = y - shifts[i].dy;
          if (sx < 0 || sy < 0 || sx >= greys[i].Width || sy >= greys[i].Height) continue;
          values.push_back(greys[i].Pixels[static_cast<std::size_t>(sy) * greys[i].Width + sx]);
        }
        std::uint8_t& out = steady.Pixels[static_cast<std::size_t>(y) * steady.Width + x];
        if (values.empty()) {
          out = 255;
          continue;
        }
        const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
        std::nth_element(values.begin(), middle, values.end());
        out = *middle;
      }
    }
    return 0;
  };
  TOrderedWork<int> bands;
  auto none = [](int) {};
  const int rows =
      std::max(1, steady.Height / static_cast<int>(2 * TOrderedWork<int>::DefaultWorkers()));
  for (int y = 0; y < steady.Height; y += rows)
    bands.Add([&band, y, rows, h = steady.Height] { return band(y, std::min(y + rows, h)); }, none);
  bands.Finish(none);
  return steady;
}

}  // namespace

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
    const TIKGrey referenceGrey = reference ? GreyCut(*reference, rect) : TIKGrey();
    const TIKRect whole{0, 0, referenceGrey.Width, referenceGrey.Height};
    const TPhaseCorrelator correlator(View(referenceGrey), whole);
    // The first photo's cut for the refinement is made while the display
    // copies are compared: it needs nothing they find.
    if (cut.Usable()) {
      referenceCut = std::async(
          std::launch::async,
          [&cut, photo = TPhotoRef{first.GetFileName(), first.GetScale(), first.GetReducedGrey()},
           at = first.GetFineOffset()] { return cut.From(photo, at); });
    }
    // The display copies in grey, on every core.
    std::vector<TIKGrey> greys(static_cast<std::size_t>(count));
    std::vector<TIKShift> shifts(static_cast<std::size_t>(count));
    // One byte an item: the jobs set their own items' at once.
    std::vector<char> compared(static_cast<std::size_t>(count), 0);
    TOrderedWork<int> jobs;
    auto none = [](int) {};
    auto onEvery = [&](const std::vector<int>& which, const std::function<void(int)>& job) {
      for (const int i : which)
        jobs.Add([&job, i] { return job(i), i; }, none);
      jobs.Finish(none);
    };
    std::vector<int> all;
    for (int i = 0; i < count; ++i)
      all.push_back(i);
    onEvery(all, [&](int i) {
      const TBitmap24* display = view[i].GetDisplayBitmap();
      if (display && correlator.Usable())
        greys[static_cast<std::size_t>(i)] = GreyCut(*display, rect);
    });
    // Against the first, where that has not been done yet.
    auto compare = [&](const std::vector<int>& which) {
      std::vector<int> left;
      for (const int i : which) {
        if (!compared[static_cast<std::size_t>(i)] &&
            !greys[static_cast<std::size_t>(i)].Pixels.empty())
          left.push_back(i);
      }
      onEvery(left, [&](int i) {
        shifts[static_cast<std::size_t>(i)] =
            i == 0 ? TIKShift{0, 0, 1000}
                   : correlator.Measure(View(greys[static_cast<std::size_t>(i)]));
        compared[static_cast<std::size_t>(i)] = 1;
      });
    };
    // Then against what stands still over the turn: the median of a few
    // copies spread over it, laid over each other. What turns (a product
    // that fills the picture) pulls a comparison with the first photo
    // towards its own move; in the median it is a plain body whose outline
    // stands still.
    std::vector<int> spread;
    for (int k = 0; k < std::min(count, kSteadyPhotos); ++k)
      spread.push_back(k * count / std::min(count, kSteadyPhotos));
    compare(spread);
    const TIKGrey steady = SteadyPicture(greys, shifts, spread);
    std::vector<bool> placed(static_cast<std::size_t>(count), false);
    if (!steady.Pixels.empty()) {
      const TPhaseCorrelator still(View(steady), whole);
      std::vector<TIKShift> again(static_cast<std::size_t>(count));
      onEvery(all, [&](int i) {
        if (!greys[static_cast<std::size_t>(i)].Pixels.empty())
          again[static_cast<std::size_t>(i)] =
              still.Measure(View(greys[static_cast<std::size_t>(i)]));
      });
      const TIKShift origin0 = again[0];
      for (int i = 1; i < count && origin0.sharpness >= kMinConfidence; ++i) {
        const TIKShift& b = again[static_cast<std::size_t>(i)];
        if (b.sharpness < kMinConfidence) continue;
        shifts[static_cast<std::size_t>(i)] = {b.dx - origin0.dx, b.dy - origin0.dy,
                                               std::min(b.sharpness, origin0.sharpness)};
        placed[static_cast<std::size_t>(i)] = true;
      }
    }
    // What the median could not place is compared with the first photo.
    std::vector<int> rest;
    for (int i = 0; i < count; ++i) {
      if (!placed[static_cast<std::size_t>(i)]) rest.push_back(i);
    }
    compare(rest);
    const TPointF fineOrigin = first.GetFineOffset();
    for (int i = 0; i < count; ++i) {
      const TLayerItemObject& item = view[i];
      TAlignment a;
      a.Index = i;
      a.Id = item.GetId();
      a.Name = item.GetItemName();
      a.Before = a.After = item.GetOffset();
      a.FineBefore = a.FineAfter = item.GetFineOffset();
      if (i == 0) {
        a.Trusted = true;
        a.Confidence = 100;
      } else if (!greys[static_cast<std::size_t>(i)].Pixels.empty()) {
        const TIKShift& shift = shifts[static_cast<std::size_t>(i)];
        a.Sharpness = shift.sharpness;
        a.Trusted = shift.sharpness >= kMinConfidence;
        // Without a refinement, the peak's height is all there is; with
        // one, a photo it could not place is worth a look.
        a.Confidence = std::clamp(static_cast<int>(shift.sharpness * 100 / 40), 0, 100);
        a.Doubtful = Refine || a.Confidence < kDoubtful;
        if (a.Trusted) {
          a.After = {TLayerItemObject::ClampOffset(std::int64_t{origin.X} + shift.dx),
                     TLayerItemObject::ClampOffset(std::int64_t{origin.Y} + shift.dy)};
          a.FineAfter = {fineOrigin.X + shift.dx / s, fineOrigin.Y + shift.dy / s};
        }
      } else {
        a.Doubtful = true;
      }
      result.push_back(a);
      if (step && !Refine) step();
    }
    if (Refine) {
      for (int i = 0; i < count; ++i)
        photos.push_back({view[i].GetFileName(), view[i].GetScale(), view[i].GetReducedGrey()});
    }
  }
  if (Refine) {
    const TRefineCut::TPicture firstCut =
        referenceCut.valid() ? referenceCut.get() : TRefineCut::TPicture();
    RefineOnPhotos(photos, s, cut, firstCut, result, step);
  }
  return result;
}

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
  const double left = std::max(Region.Left * work.Width / s, f0.X);
  const double top = std::max(Region.Top * work.Height / s, f0.Y);
  const double right = std::min(Region.Right * work.Width / s, f0.X + shown.Width / s);
  const double bottom = std::min(Region.Bottom * work.Height / s, f0.Y + shown.Height / s);
  const double longer = std::max(right - left, bottom - top);
  if (!(right - left >= 32 && bottom - top >= 32)) return plan;
  const int shrink = RefineShrink(longer);
  const double r = 1.0 / shrink;
  plan.Width = static_cast<int>((right - left) * r);
  plan.Height = static_cast<int>((bottom - top) * r);
  plan.Region = {left, top, left + plan.Width / r, top + plan.Height / r};
  plan.Scale = r;
  plan.Shrink = shrink;
  plan.Angle = items.GetRotation();
  return plan;
}

TAutoAlign::TRefineCut::TPicture TAutoAlign::TRefineCut::From(const TPhotoRef& photo,
                                                              TPointF at) const {
  const std::string& path = photo.Path;
  TPicture picture;
  if (Shrink > 0) {
    const double x = (Region.left - at.X) * Scale, y = (Region.top - at.Y) * Scale;
    const double left = std::floor(x), top = std::floor(y);
    // Far outside any photo the general way gives white just the same.
    if (std::abs(left) < 1 << 28 && std::abs(top) < 1 << 28) {
      const int l = static_cast<int>(left), t = static_cast<int>(top);
      const TIKRect rect{l, t, l + Width, t + Height};
      auto grey = photo.Kept ? IKGreyCut(*photo.Kept, Angle, Shrink, rect) : std::nullopt;
      if (!grey) grey = IKGreyCut(path, Angle, Shrink, rect);
      if (grey) {
        picture.Grey = std::move(*grey);
        IKSmoothGrey(picture.Grey);
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
  IKSmoothGrey(picture.Grey);
  return picture;
}

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
  const TTiledCorrelator tiles(View(reference.Grey), kRefineTile,
                               std::max(cut.Width, cut.Height) > kRefineMaxSide / 2);
  const TEdgeAligner edges(View(reference.Grey));
  // The display copies placed it to a work pixel; a refinement that moves
  // it farther than that is taken for a mistake, and the display copies'
  // answer stands. Tiles look a little farther, so what turns is seen to
  // disagree rather than left out.
  const double reach = 1.5 / s;
  const double tileReach = std::max(2 * reach * r, 4.0);
  // First each photo on its own: where the tiles put it, the edges from
  // there, and how its edge pixels then differ from the reference's.
  struct TFirst {
    int Index = 0;
    TIKGrey Picture;
    TPointF Fraction;
    TTiledShift Tiles;
    std::vector<float> Residuals;
  };
  std::vector<TFirst> first;
  TOrderedWork<TFirst> jobs;
  auto deliver = [&first, &step](TFirst measured) {
    if (measured.Tiles.Found) first.push_back(std::move(measured));
    if (step) step();
  };
  for (int i = 0; i < count; ++i) {
    jobs.Add(
        [&, i] {
          TFirst m;
          m.Index = i;
          const TAlignment& a = found[static_cast<std::size_t>(i)];
          if (i == 0 || !a.Trusted || !tiles.Usable()) return m;
          TRefineCut::TPicture picture = cut.From(photos[static_cast<std::size_t>(i)], a.FineAfter);
          if (picture.Grey.Pixels.empty()) return m;
          m.Tiles = tiles.Measure(View(picture.Grey), tileReach);
          if (m.Tiles.Found && edges.Usable()) {
            const TEdgeAligner::TResult fine =
                edges.Refine(View(picture.Grey), m.Tiles.dx, m.Tiles.dy);
            if (fine.Found) m.Residuals = edges.Residuals(View(picture.Grey), fine.dx, fine.dy);
          }
          m.Picture = std::move(picture.Grey);
          m.Fraction = picture.Fraction;
          return m;
        },
        deliver);
  }
  jobs.Finish(deliver);
  // Then again, each edge pixel counting as much as it stood still over
  // the whole turn.
  std::vector<std::vector<float>> residuals;
  for (TFirst& m : first) {
    if (!m.Residuals.empty()) residuals.push_back(std::move(m.Residuals));
  }
  const std::vector<float> steadiness = edges.Steadiness(residuals);
  residuals.clear();
  TOrderedWork<std::pair<int, std::optional<TPointF>>> again;
  auto place = [&found](std::pair<int, std::optional<TPointF>> at) {
    TAlignment& a = found[static_cast<std::size_t>(at.first)];
    if (!at.second) return;
    a.FineAfter = *at.second;
    a.Refined = true;
    a.Doubtful = a.Confidence < kDoubtful;
  };
  for (TFirst& m : first) {
    again.Add(
        [&] {
          TAlignment& a = found[static_cast<std::size_t>(m.Index)];
          TTiledShift shift = m.Tiles;
          // How sure: enough tiles agree, they are the larger part, and
          // the steady edges, pixel by pixel, end up where the tiles put
          // them.
          double sure = std::min(1.0, shift.Agreeing / 6.0) * std::min(1.0, shift.Share / 0.5);
          if (edges.Usable()) {
            const TEdgeAligner::TResult fine =
                edges.Refine(View(m.Picture), shift.dx, shift.dy, steadiness);
            const double moved = std::hypot(fine.dx - shift.dx, fine.dy - shift.dy);
            if (fine.Found && moved < 1.5) {
              shift.dx = fine.dx;
              shift.dy = fine.dy;
              sure *= std::min(1.0, fine.Agreeing / 0.5) * std::max(0.0, 1 - moved / 1.5);
            } else {
              sure /= 2;
            }
          }
          std::vector<std::uint8_t>().swap(m.Picture.Pixels);
          // Both cuts show their regions moved by their own fractions.
          const double dx = (shift.dx + m.Fraction.X - reference.Fraction.X) / r;
          const double dy = (shift.dy + m.Fraction.Y - reference.Fraction.Y) / r;
          if (std::abs(dx) > reach || std::abs(dy) > reach) {
            return std::pair<int, std::optional<TPointF>>{m.Index, std::nullopt};
          }
          a.Confidence = static_cast<int>(std::lround(100 * sure));
          return std::pair<int, std::optional<TPointF>>{
              m.Index, TPointF{a.FineAfter.X + dx, a.FineAfter.Y + dy}};
        },
        place);
  }
  again.Finish(place);
  // The work-pixel offsets the items will have (as SetFineOffset rounds).
  for (TAlignment& a : found) {
    if (!a.Refined) continue;
    const double scale = photos[static_cast<std::size_t>(a.Index)].Scale;
    a.After = {TLayerItemObject::ClampOffset(RoundInt(a.FineAfter.X * scale)),
               TLayerItemObject::ClampOffset(RoundInt(a.FineAfter.Y * scale))};
  }
}

TAlignSummary TAutoAlign::Summarize(const std::vector<TAlignment>& alignments) {
  TAlignSummary summary;
  for (const TAlignment& a : alignments) {
    if (!a.Trusted) {
      ++summary.Kept;
      summary.Doubtful.push_back(a.Index);
      continue;
    }
    ++summary.Aligned;
    summary.LargestShift =
        std::max(summary.LargestShift,
                 std::hypot(a.FineAfter.X - a.FineBefore.X, a.FineAfter.Y - a.FineBefore.Y));
    if (a.Doubtful) summary.Doubtful.push_back(a.Index);
  }
  return summary;
}

}  // namespace kalvane
