// Writes the mobile master movie: a 160-pixel stage at 3 frames a second
// holding one sprite, placed under the instance name loadRect_mc, that the
// mobile export fills with the project's frames, giving the stage their
// size. Until then the sprite shows a plain white card.
#include <iostream>
#include <memory>

#include "swf/ByteStream.h"
#include "swf/FlashMovie.h"
#include "swf/SWFFillStyle.h"

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
    movie.AddNamedSprite(*card, 1, "loadRect_mc");
    movie.ShowFrame(1);
    movie.BuildBody();
    movie.SaveToFile(argv[1]);
  } catch (const TSwfError& e) {
    std::cerr << "make-velmobile: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
