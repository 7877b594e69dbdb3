#include "imaging/ImageTrimToJpeg.h"

#include <cstdio>

namespace kalvane {

TResult TImageTrimToJpeg::TrimToJpeg(const TIKImage& image, TIKRect rect,
                                     const std::string& fileName, int width, int height) const {
  const TIKImage cut = IKCutRectImage(image, rect);
  std::remove(fileName.c_str());
  const TIKImage scaled = IKResizeEx(cut, width, height);
  if (scaled.IsEmpty()) return TResult::Fail(TErrorCode::Unreadable, scaled.Error());
  return IKJpegFileSave(fileName, scaled, kQuality);
}

TIKImage TImageTrimToJpeg::MakeFrameImage(const TFramePlan& plan) const {
  const TIKRectF cut{plan.Crop.left + plan.ShiftX, plan.Crop.top + plan.ShiftY,
                     plan.Crop.right + plan.ShiftX, plan.Crop.bottom + plan.ShiftY};
  return IKTrimFrameFine(plan.Source, plan.Rotation, cut, plan.Width, plan.Height);
}

TFrameResult TImageTrimToJpeg::MakeFrame(const TFramePlan& plan) const {
  TFrameResult result;
  const TIKImage frame = MakeFrameImage(plan);
  if (frame.IsEmpty()) {
    result.SetFailure(TErrorCode::Unreadable, frame.Error());
    return result;
  }
  std::remove(plan.FileName.c_str());
  static_cast<TResult&>(result) = IKJpegFileSave(plan.FileName, frame, kQuality);
  result.Warning = frame.Warning();
  return result;
}

}  // namespace kalvane
