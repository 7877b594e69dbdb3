#include "swf/FlashMovie.h"

#include <algorithm>

#include "base/Round.h"
#include "swf/SWFControlTags.h"

namespace kalvane {

TFlashMovie::TFlashMovie(std::int32_t xmin, std::int32_t ymin, std::int32_t xmax, std::int32_t ymax,
                         double fps, bool pixelUnits)
    : TBasedSWFStream(xmin, ymin, xmax, ymax, fps, pixelUnits) {}

std::uint16_t TFlashMovie::TakeCharId() {
  if (NextId == 0) throw TSwfError("a movie holds at most 65535 characters");
  return NextId++;  // wraps to 0 after 65535, which the check above refuses
}

TBasedSWFObject* TFlashMovie::AddObject(std::unique_ptr<TBasedSWFObject> object) {
  Objects.push_back(std::move(object));
  return Objects.back().get();
}

TFlashImage* TFlashMovie::AddImageFromFile(const std::string& fileName) {
  auto image = std::make_unique<TFlashImage>(this, fileName);
  image->SetCharId(TakeCharId());
  auto* raw = image.get();
  AddObject(std::move(image));
  Images.Add(raw);
  return raw;
}

TFlashShape* TFlashMovie::NewShape() {
  auto shape = std::make_unique<TFlashShape>(this);
  shape->SetCharId(TakeCharId());
  auto* raw = shape.get();
  AddObject(std::move(shape));
  Shapes.Add(raw);
  return raw;
}

TFlashShape* TFlashMovie::AddRectShape(std::int32_t x0, std::int32_t y0, std::int32_t x1,
                                       std::int32_t y1) {
  TFlashShape* shape = NewShape();
  shape->SetBounds(x0, y0, x1, y1);
  shape->Edges().MoveTo(x0, y0);
  shape->Edges().Rectangle(x1 - x0, y1 - y0);
  shape->Edges().EndPath();
  return shape;
}

TFlashPlaceObject* TFlashMovie::PlaceObject(TFlashIDObject* object, std::uint16_t depth) {
  auto place = std::make_unique<TFlashPlaceObject>(this, object, depth);
  auto* raw = place.get();
  AddObject(std::move(place));
  return raw;
}

TSWFPlaceObject2* TFlashMovie::AddNamedSprite(const TFlashIDObject& content, std::uint16_t depth,
                                              const std::string& name) {
  auto sprite = std::make_unique<TSWFDefineSprite>();
  sprite->SpriteId = TakeCharId();
  auto inner = std::make_unique<TSWFPlaceObject2>();
  inner->Depth = 1;
  inner->SetCharacterId(content.GetCharId());
  sprite->ControlTags.push_back(std::move(inner));
  sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
  auto place = std::make_unique<TSWFPlaceObject2>();
  place->Depth = depth;
  place->SetCharacterId(sprite->SpriteId);
  place->SetName(name);
  auto* raw = place.get();
  AddObject(std::move(sprite));
  AddObject(std::move(place));
  return raw;
}

void TFlashMovie::ShowFrame(int count) {
  if (count <= 0) count = 1;
  for (int i = 0; i < count; ++i) {
    ++FrameCount;
    AddObject(std::make_unique<TSWFShowFrame>());
  }
  Frame = FrameCount - 1;
}

void TFlashMovie::MoveObjectBefore(const TBasedSWFObject* object, const TBasedSWFObject* anchor) {
  const auto find = [this](const TBasedSWFObject* o) {
    return std::find_if(Objects.begin(), Objects.end(),
                        [o](const auto& p) { return p.get() == o; });
  };
  auto from = find(object);
  auto to = find(anchor);
  if (from == Objects.end() || to == Objects.end() || from < to) return;
  // rotate keeps the order of everything between the two
  std::rotate(to, from, from + 1);
}

void TFlashMovie::BuildBody() {
  BodyStream.Clear();
  TBitsEngine be(BodyStream);
  int version = Version;
  std::uint16_t frames = 0;
  const std::size_t count = Objects.size();
  for (std::size_t i = 0; i < count; ++i) {
    TBasedSWFObject& object = *Objects[i];
    if (OnProgress) ReportProgress(RoundInt(100.0 * static_cast<double>(i) / count), 1);
    version = std::max(version, object.RequiredVersion());
    if (object.ObjectLevel() == 1) {
      if (auto* place = dynamic_cast<TFlashPlaceObject*>(&object)) {
        place->PlaceTag().EventVersion = static_cast<std::uint8_t>(version);
      }
    } else if (const auto* tag = dynamic_cast<const TSWFObject*>(&object);
               tag && tag->TagCode == 1) {
      ++frames;
    }
    object.WriteTag(be);
  }
  be.PutUI16(0);  // End
  FrameCount = frames;
  if (version > Version) SetSwfVersion(static_cast<std::uint8_t>(version));
}

}  // namespace kalvane
