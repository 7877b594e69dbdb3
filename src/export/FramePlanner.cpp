#include "export/FramePlanner.h"

#include <algorithm>
#include <cmath>

#include "base/Round.h"

namespace kalvane {

TFramePlanner::TFramePlanner(const TFrameInputs& in, const TFrameShape& shape)
    : In(in), Shape(shape), FrameWidth(in.Width) {
  const double s = In.ItemScale;
  Box = {RoundInt(In.Left / s * In.WorkWidth), RoundInt(In.Top / s * In.WorkHeight),
         RoundInt(In.Right / s * In.WorkWidth), RoundInt(In.Bottom / s * In.WorkHeight)};
  const double bw = Box.right - Box.left, bh = Box.bottom - Box.top;
  if (!Shape.OneSize || bw <= 0 || bh <= 0) return;
  const int side = Shape.LongSide;
  double w = FrameWidth, h = bh * FrameWidth / bw;
  if (side > 0) {
    w = bw >= bh ? side : bw * side / bh;
    h = bw >= bh ? bh * side / bw : side;
  }
  // Held from here on as the limit holds the movies' size (Plan).
  const double k = std::min({1.0, kMaxSide / w, kMaxSide / h});
  FrameWidth = std::max(RoundInt(w * k), 1);
  LimitedHeight = std::max(RoundInt(h * k), 1);
}

TResult TFramePlanner::Check() const {
  auto fail = [](const std::string& why) { return TResult::Fail(TErrorCode::BadSetting, why); };
  if (!(In.ItemScale > 0)) return fail("the item scale is not set");
  if (In.Width <= 0 && Shape.LongSide <= 0) return fail("the frame width must be above 0");
  if (Box.right <= Box.left || Box.bottom <= Box.top) {
    return fail("the trimming box has no width or no height (" +
                std::to_string(Box.right - Box.left) + " x " +
                std::to_string(Box.bottom - Box.top) + " source pixels)");
  }
  return {};
}

TFramePlan TFramePlanner::Plan(int index, const std::string& source, int offsetX, int offsetY,
                               const std::string& folder) {
  const double s = In.ItemScale;
  return PlanFine(index, source, offsetX / s, offsetY / s, folder);
}

TFramePlan TFramePlanner::PlanFine(int index, const std::string& source, double fineX, double fineY,
                                   const std::string& folder) {
  TFramePlan plan;
  plan.Index = index;
  plan.Source = source;
  plan.Rotation = In.Rotation;
  // The box keeps its whole-pixel size; only where it is cut moves, by the
  // offset's fraction too.
  // (Held to a billion pixels, far off any photo, so the sums stay ints.)
  constexpr int kFar = 1 << 30;
  const int dx = std::clamp(RoundInt(-fineX), -kFar, kFar);
  const int dy = std::clamp(RoundInt(-fineY), -kFar, kFar);
  plan.Crop = {Box.left + dx, Box.top + dy, Box.right + dx, Box.bottom + dy};
  plan.ShiftX = std::isfinite(fineX) ? std::clamp(-fineX - dx, -0.5, 0.5) : 0.0;
  plan.ShiftY = std::isfinite(fineY) ? std::clamp(-fineY - dy, -0.5, 0.5) : 0.0;
  const double ratio = static_cast<double>(plan.Crop.right - plan.Crop.left) / FrameWidth;
  int h = ratio > 0 ? RoundInt((plan.Crop.bottom - plan.Crop.top) / ratio) : 0;
  if (LimitedHeight > 0) {
    // Once the limit has set the size, every later frame keeps it: worked
    // out again from the lowered width, rounding would make it a pixel or
    // two lower than the frames before and the movie's stage.
    h = LimitedHeight;
  } else if (FrameWidth > kMaxSide || h > kMaxSide) {
    const double k =
        std::min(static_cast<double>(kMaxSide) / FrameWidth, static_cast<double>(kMaxSide) / h);
    FrameWidth = RoundInt(FrameWidth * k);
    h = RoundInt(h * k);
    LimitedHeight = std::max(h, 1);
  }
  plan.Width = FrameWidth;
  plan.Height = std::max(h, 1);
  plan.FileName = folder + std::to_string(index) + ".jpg";
  return plan;
}

}  // namespace kalvane
