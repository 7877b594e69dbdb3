#pragma once

#include "imaging/CutoutMask.h"
#include "imaging/PhotoImage.h"

namespace kalvane {

// Cuts the product out of `photo` at its own size along `mask`, found on
// `work` (the photo's reduced copy). Along the outline the alpha is worked
// out from where each pixel's colour lies between the product's colour and
// the backdrop's there, so the edge is smooth over a pixel or two and
// follows the photo's own detail; the backdrop's part of those pixels is
// taken out of their colour, so no grey or tinted fringe stays. Where the
// two colours are too alike to tell (a white product on white), the
// outline found on the copy is drawn smoothly instead. Leaves Pixels
// premultiplied by the new Alpha.
void CutOut(TRgbImage& photo, const TRgbImage& work, const TCutoutMask& mask);

// One soft shadow on the floor under the product, the same in every frame
// of a spin: an ellipse in fractions of the photo's width and height.
struct TContactShadow {
  double X = 0, Y = 0;              // its centre
  double RadiusX = 0, RadiusY = 0;  // where it has faded out
  double Opacity = 0.4;             // at its centre
  bool Empty() const { return RadiusX <= 0 || RadiusY <= 0; }
};

// The shadow a spin's masks stand on: under the middle of the product's
// foot, as wide as the foot is at the most, where the product meets the
// floor in most frames. Empty when no mask shows a product.
TContactShadow PlanContactShadow(const std::vector<const TCutoutMask*>& masks);

// Lays the shadow under a cut-out photo (premultiplied, with Alpha): it
// shows where the product does not cover it, as black at its opacity.
void AddContactShadow(TRgbImage& photo, const TContactShadow& shadow);

}  // namespace kalvane
