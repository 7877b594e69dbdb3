#pragma once

#include <cstdint>
#include <vector>

#include "imaging/PhotoImage.h"

namespace kalvane {

// Where the product is on a photo's reduced copy, one byte a pixel.
struct TCutoutMask {
  static constexpr std::uint8_t kProduct = 1;  // the product covers the pixel
  static constexpr std::uint8_t kUnsure = 2;   // the photo's own evidence did not settle it
  int Width = 0, Height = 0;
  std::vector<std::uint8_t> Labels;

  bool Empty() const { return Width <= 0 || Height <= 0; }
  bool Product(int x, int y) const {
    return (Labels[static_cast<std::size_t>(y) * Width + x] & kProduct) != 0;
  }
  // Fraction of the copy the product covers.
  double Coverage() const;
};

// The longest side of the copy a mask is found on: the outline is settled
// there and only refined at the photo's own size.
inline constexpr int kCutoutWorkSide = 800;

// The photo reduced (by area) to at most kCutoutWorkSide, or as it is when
// it is that small. Alpha is not carried.
TRgbImage CutoutWorkCopy(const TRgbImage& photo);
// The photo reduced to exactly `width` x `height` (a mask's size).
TRgbImage CutoutWorkCopy(const TRgbImage& photo, int width, int height);

// The product on a work copy. The backdrop is modelled from the border
// (a sweep's light changes slowly and mostly from top to bottom) or, when
// `plate` is given, is the photo of the empty set (any size; it is scaled
// to the copy). What is reached from the border over lit backdrop is
// backdrop; places inside the product where the backdrop shows through
// exactly are holes. A darker shade of the backdrop (a cast shadow, or a
// white product's own shade) is left to GrabCut, which settles the
// outline where all that leaves doubt.
TCutoutMask FindProduct(const TRgbImage& work, const TRgbImage* plate);

// A frame's mask with its neighbours' in the spin as a prior: a pixel the
// frame's own evidence left unsure takes the label both neighbours agree
// on, so the edge does not flicker from frame to frame. Neighbours of
// another size, or missing (the ends of a set), change nothing.
TCutoutMask WithNeighbours(const TCutoutMask& own, const TCutoutMask* before,
                           const TCutoutMask* after);

}  // namespace kalvane
