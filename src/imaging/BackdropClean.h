#pragma once

#include <array>

#include "imaging/PhotoImage.h"

namespace kalvane {

// How close to the backdrop a pixel must be to become pure white. The
// distances are fractions of full scale in the channel that differs most.
struct TCleanSettings {
  double Threshold = 0.12;  // up to this: white
  double SoftEdge = 0.08;   // over this much more: blended back to the photo
  bool KeepShadows = true;  // false: a darker shade of the backdrop is backdrop too
};

// Pushes the backdrop to white. Pixels farther than Threshold + SoftEdge
// from the backdrop (the object) are left exactly as they were.
void CleanBackdrop(TRgbImage& image, const std::array<double, 3>& backdrop,
                   const TCleanSettings& settings);

}  // namespace kalvane
