#include "export/SwfList.h"

#include "base/Round.h"
#include "swf/FlashMovie.h"

namespace kalvane {

void TSwfList::SetSwfWidth(std::int32_t w) {
  if (w > 0) FrameWidth = w;
}

void TSwfList::SetSwfHeight(std::int32_t h) {
  if (h > 0) FrameHeight = h;
}

int TSwfList::FrameCount(double t) {
  const int frames = RoundInt(t * 1.0);
  return frames == 0 ? 1 : frames;
}

TResult TSwfList::MakePcSwf(const std::string& fileName) const {
  if (Files.empty()) return TResult::Fail(TErrorCode::NoItems, "there are no frames to write");
  if (Count() > kMaxFrames) {
    return TResult::Fail(
        TErrorCode::TooManyItems,
        std::to_string(Count()) + " frames: a movie holds at most " + std::to_string(kMaxFrames));
  }
  try {
    TFlashMovie movie(0, 0, 20 * FrameWidth, 20 * FrameHeight, 1.0, false);
    movie.SetSwfVersion(6);
    movie.SetPixelUnits(true);
    std::vector<TFlashShape*> shapes;
    shapes.reserve(Files.size());
    for (const std::string& file : Files) {
      TFlashImage* image = movie.AddImageFromFile(file);
      TFlashShape* shape = movie.AddRectShape(0, 0, FrameWidth, FrameHeight);
      shape->SetBitmapFill(*image, 1, 1.0, 1.0);
      shapes.push_back(shape);
    }
    for (std::size_t i = 0; i < shapes.size(); ++i) {
      TFlashPlaceObject* place = movie.PlaceObject(shapes[i], 1);
      if (i > 0) place->SetMove(true);
      movie.ShowFrame(FrameCount(1.0));
    }
    movie.BuildBody();
    movie.SaveToFile(fileName);
  } catch (const TSwfError& e) {
    return TResult::Fail(TErrorCode::WriteFailed, e.what());
  }
  return {};
}

}  // namespace kalvane
