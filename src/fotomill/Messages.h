#pragma once

#include <string>

#include "imaging/PrepResult.h"

namespace kalvane::fotomill {

// A failure of a run or of one photo in the window's words, in Japanese.
// A photo's own failure leaves out its name: it is shown under the photo.
std::string FaultText(const TPrepResult& result);
// A fault of one photo (as opposed to the run's settings or folder).
bool IsPhotoFault(TPrepFault fault);

}  // namespace kalvane::fotomill
