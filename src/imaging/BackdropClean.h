#pragma once

#include "imaging/PhotoImage.h"

namespace kalvane {

// How the backdrop is found and pushed to white. Distances are fractions of
// full scale in the channel that differs most, measured from the level the
// backdrop has around the pixel (a sweep is lighter at one end than the other).
struct TCleanSettings {
  double Threshold = 0.12;  // up to this from the backdrop's level: white
  double SoftEdge = 0.08;   // the feather: over this much more, blended back to the photo
  bool KeepShadows = true;  // false: a darker shade of the backdrop is backdrop too
};

// What the cleaning did to a photo.
struct TCleanReport {
  double Whitened = 0;  // fraction of the photo made white
  // Fraction of the photo made white although its colour is none the
  // backdrop shows along the border: the product's.
  double LostColour = 0;
  // Fraction of the photo in colours the border does not show.
  double OwnColour = 0;
  // Enough of the product's colour went white to tell the user.
  bool ProductLostColour() const;
};

// Pushes the backdrop to white: only what is reached from the border over
// backdrop, following its level and stopped by any edge, so a product as
// light as the backdrop keeps its colours. Inside the backdrop everything
// turns white (grain and specks too); along its edge the feather blends.
TCleanReport CleanBackdrop(TRgbImage& image, const TCleanSettings& settings);

}  // namespace kalvane
