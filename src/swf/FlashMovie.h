#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "swf/BasedSWFStream.h"
#include "swf/FlashImage.h"
#include "swf/FlashObjects.h"
#include "swf/FlashPlaceObject.h"
#include "swf/FlashShape.h"

namespace kalvane {

// Assembles a movie: hands out character ids, keeps every object in one
// ordered list, and turns the list into the tag sequence.
class TFlashMovie : public TBasedSWFStream {
 public:
  TFlashMovie(std::int32_t xmin, std::int32_t ymin, std::int32_t xmax, std::int32_t ymax,
              double fps, bool pixelUnits);

  // The movie owns every object added.
  TBasedSWFObject* AddObject(std::unique_ptr<TBasedSWFObject> object);
  TFlashImage* AddImageFromFile(const std::string& fileName);
  TFlashShape* NewShape();
  TFlashShape* AddRectShape(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);
  TFlashPlaceObject* PlaceObject(TFlashIDObject* object, std::uint16_t depth);
  // A sprite whose one frame shows `content`, placed at `depth` under the
  // instance name `name`; the placement is returned for its matrix.
  TSWFPlaceObject2* AddNamedSprite(const TFlashIDObject& content, std::uint16_t depth,
                                   const std::string& name);
  // Ends the current frame count times (0 counts as 1).
  void ShowFrame(int count = 1);
  // Puts `object` just before `anchor` when it stands after it.
  void MoveObjectBefore(const TBasedSWFObject* object, const TBasedSWFObject* anchor);

  const TFlashObjectList<TFlashImage>& ImageList() const { return Images; }
  const TFlashObjectList<TFlashShape>& ShapeList() const { return Shapes; }
  int ObjectCount() const { return static_cast<int>(Objects.size()); }
  const TBasedSWFObject* ObjectAt(int i) const {
    return Objects[static_cast<std::size_t>(i)].get();
  }
  std::uint16_t NextCharId() const { return NextId; }
  int CurrentFrame() const { return Frame; }

  void BuildBody() override;

 private:
  std::uint16_t TakeCharId();

  std::uint16_t NextId = 1;
  int Frame = 0;
  std::vector<std::unique_ptr<TBasedSWFObject>> Objects;
  TFlashObjectList<TFlashImage> Images;
  TFlashObjectList<TFlashShape> Shapes;
};

}  // namespace kalvane
