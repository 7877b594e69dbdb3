#include "imaging/ImageTrimToJpeg.h"

#include <cstdio>

namespace kalvane {

bool TImageTrimToJpeg::TrimToJpeg(const TIKImage& image, TIKRect rect, const std::string& fileName,
                                  int width, int height, std::string* error) const {
  const TIKImage cut = IKCutRectImage(image, rect);
  std::remove(fileName.c_str());
  const TIKImage scaled = IKResizeEx(cut, width, height);
  if (scaled.IsEmpty()) {
    if (error) *error = scaled.Error();
    return false;
  }
  return IKJpegFileSave(fileName, scaled, kQuality, error);
}

bool TImageTrimToJpeg::MakeFrame(const TFramePlan& plan, std::string* error) const {
  const TIKImage frame =
      IKTrimFrame(plan.Source, plan.Rotation, plan.Crop, plan.Width, plan.Height);
  if (frame.IsEmpty()) {
    if (error) *error = frame.Error();
    return false;
  }
  std::remove(plan.FileName.c_str());
  return IKJpegFileSave(plan.FileName, frame, kQuality, error);
}

}  // namespace kalvane
