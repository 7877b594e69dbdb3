// Writes one movie of every kind the program makes into a folder, with a
// manifest of what each must contain, for the independent parser to read.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "export/SwfList.h"
#include "imaging/AppUtil.h"
#include "imaging/ImageKit.h"
#include "swf/FlashMovie.h"
#include "swf/SWFControlTags.h"

namespace {

using namespace kalvane;
namespace fs = std::filesystem;

struct Expectation {
  std::string file;
  int frames;
  int width, height;              // stage, pixels
  bool pcLayout;                  // the data movie's tag pattern
  std::vector<std::string> tags;  // tag kinds in order (empty: not checked)
};

// Frames of w x h cut from the sample photos, as the export makes them.
std::vector<std::string> Frames(const std::string& samples, const std::string& out, int count,
                                int w, int h) {
  std::vector<std::string> names = ListFiles(samples);
  std::erase_if(names, [](const std::string& n) { return !IsImageFile(n); });
  std::sort(names.begin(), names.end());
  std::vector<std::string> frames;
  for (int i = 0; i < count; ++i) {
    const std::string source = samples + "/" + names[static_cast<std::size_t>(i) % names.size()];
    const std::string frame =
        out + "/frame-" + std::to_string(w) + "-" + std::to_string(i) + ".jpg";
    std::string error;
    if (!IKJpegFileSave(frame, IKFileLoadScaled(source, w, h), 85, &error)) {
      throw std::runtime_error(error);
    }
    frames.push_back(frame);
  }
  return frames;
}

void PcMovie(const std::vector<std::string>& frames, int w, int h, const std::string& path) {
  TSwfList list;
  for (const std::string& f : frames)
    list.Add(f);
  list.SetSwfWidth(w);
  list.SetSwfHeight(h);
  const TSwfResult r = list.MakePcSwf(path);
  if (!r.Written) throw std::runtime_error(r.Error);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: write-movies SAMPLES_FOLDER OUT_FOLDER\n";
    return 2;
  }
  const std::string samples = argv[1], out = argv[2];
  try {
    fs::create_directories(out);
    std::vector<Expectation> expected;

    PcMovie(Frames(samples, out, 24, 500, 375), 500, 375, out + "/pc-samples.swf");
    expected.push_back({"pc-samples.swf", 24, 500, 375, true, {}});
    PcMovie(Frames(samples, out, 1, 160, 120), 160, 120, out + "/pc-one-frame.swf");
    expected.push_back({"pc-one-frame.swf", 1, 160, 120, true, {}});

    {  // compressed, with a bitmap wider than one edge record can span
      TFlashMovie movie(0, 0, 20 * 4000, 20 * 300, 12.5, false);
      movie.SetPixelUnits(true);
      movie.SetCompressed(true);
      const auto frames = Frames(samples, out, 1, 400, 30);
      TFlashImage* image = movie.AddImageFromFile(frames[0]);
      TFlashShape* shape = movie.AddRectShape(0, 0, 4000, 300);
      shape->SetBitmapFill(*image, 1, 1, 1);
      movie.PlaceObject(shape, 1);
      movie.ShowFrame(1);
      movie.BuildBody();
      movie.SaveToFile(out + "/compressed-wide.swf");
      expected.push_back({"compressed-wide.swf",
                          1,
                          4000,
                          300,
                          false,
                          {"DefineBitmap", "DefineShape", "PlaceObject", "ShowFrame"}});
    }
    {  // a sprite placed under an instance name, as the mobile template has it
      TFlashMovie movie(0, 0, 20 * 176, 20 * 208, 12, false);
      movie.SetPixelUnits(true);
      movie.SetSwfVersion(6);
      TFlashShape* box = movie.AddRectShape(0, 0, 160, 120);
      auto fill = std::make_shared<TSWFColorFill>();
      fill->Color = {255, 255, 255, 255};
      box->AddFillStyle(fill);
      auto sprite = std::make_unique<TSWFDefineSprite>();
      sprite->SpriteId = movie.NextCharId();
      auto inner = std::make_unique<TSWFPlaceObject2>();
      inner->Depth = 1;
      inner->SetCharacterId(box->GetCharId());
      sprite->ControlTags.push_back(std::move(inner));
      sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
      const std::uint16_t spriteId = sprite->SpriteId;
      movie.AddObject(std::move(sprite));
      auto place = std::make_unique<TSWFPlaceObject2>();
      place->Depth = 1;
      place->SetCharacterId(spriteId);
      place->SetName("loadRect_mc");
      place->Matrix().SetTranslate(8 * 20, 44 * 20);
      movie.AddObject(std::move(place));
      movie.ShowFrame(1);
      movie.BuildBody();
      movie.SaveToFile(out + "/sprite-named.swf");
      expected.push_back({"sprite-named.swf",
                          1,
                          176,
                          208,
                          false,
                          {"DefineShape", "DefineSprite", "PlaceObject", "ShowFrame"}});
    }

    std::ofstream manifest(out + "/manifest.json");
    manifest << "[\n";
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const Expectation& e = expected[i];
      manifest << "  {\"file\": \"" << e.file << "\", \"frames\": " << e.frames
               << ", \"width\": " << e.width << ", \"height\": " << e.height
               << ", \"pcLayout\": " << (e.pcLayout ? "true" : "false") << ", \"tags\": [";
      for (std::size_t t = 0; t < e.tags.size(); ++t) {
        manifest << (t ? ", " : "") << "\"" << e.tags[t] << "\"";
      }
      manifest << "]}" << (i + 1 < expected.size() ? "," : "") << "\n";
    }
    manifest << "]\n";
  } catch (const std::exception& e) {
    std::cerr << "write-movies: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
