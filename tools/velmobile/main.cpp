// Writes the mobile master movie: a 160-pixel stage at 3 frames a second
// holding one sprite, placed under the instance name loadRect_mc, that the
// mobile export fills with the project's frames. Until then the sprite
// shows a plain white card.
#include <iostream>
#include <memory>

#include "swf/ByteStream.h"
#include "swf/FlashMovie.h"
#include "swf/SWFControlTags.h"
#include "swf/SWFFillStyle.h"
#include "swf/SWFPlaceObject2.h"

int main(int argc, char** argv) {
  using namespace kalvane;
  if (argc != 2) {
    std::cerr << "usage: make-velmobile OUT.swf\n";
    return 2;
  }
  constexpr int kSide = 160;
  try {
    TFlashMovie movie(0, 0, 20 * kSide, 20 * kSide, 3, false);
    movie.SetSwfVersion(6);
    movie.SetPixelUnits(true);
    TFlashShape* card = movie.AddRectShape(0, 0, kSide, kSide);
    auto white = std::make_shared<TSWFColorFill>();
    white->Color = {255, 255, 255, 255};
    card->AddFillStyle(white);

    auto sprite = std::make_unique<TSWFDefineSprite>();
    sprite->SpriteId = movie.NextCharId();
    auto inner = std::make_unique<TSWFPlaceObject2>();
    inner->Depth = 1;
    inner->SetCharacterId(card->GetCharId());
    sprite->ControlTags.push_back(std::move(inner));
    sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
    const std::uint16_t spriteId = sprite->SpriteId;
    movie.AddObject(std::move(sprite));

    auto place = std::make_unique<TSWFPlaceObject2>();
    place->Depth = 1;
    place->SetCharacterId(spriteId);
    place->SetName("loadRect_mc");
    movie.AddObject(std::move(place));
    movie.ShowFrame(1);
    movie.BuildBody();
    movie.SaveToFile(argv[1]);
  } catch (const TSwfError& e) {
    std::cerr << "make-velmobile: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
