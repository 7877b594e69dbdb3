// Writes one movie of every kind the program makes into a folder, with a
// manifest of what each must contain, for the independent parser to read.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "base/AppUtil.h"
#include "export/SwfList.h"
#include "imaging/ImageKit.h"
#include "swf/FlashMovie.h"

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
    if (const TResult saved = IKJpegFileSave(frame, IKFileLoadScaled(source, w, h), 85);
        !saved.Ok()) {
      throw std::runtime_error(saved.Error);
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
  const TResult r = list.MakePcSwf(path);
  if (!r.Ok()) throw std::runtime_error(r.Error);
}

// A JPEG tag whose image data is given byte for byte, the way other
// writers stored it.
class TRawJpegTag : public TSWFObject {
 public:
  TRawJpegTag(std::uint16_t id, std::vector<std::uint8_t> data) : Id(id), Data(std::move(data)) {
    TagCode = 21;
  }
  void WriteBody(TBitsEngine& be) override {
    be.PutUI16(Id);
    be.Stream().Write(Data.data(), Data.size());
  }

 private:
  std::uint16_t Id;
  std::vector<std::uint8_t> Data;
};

// Solid frames in red, green and blue, 160 x 120.
std::vector<std::string> ColourFrames(const std::string& out) {
  std::vector<std::string> frames;
  const TBitmap24::Pixel colours[] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}};
  for (int i = 0; i < 3; ++i) {
    TBitmap24 b(160, 120);
    b.Fill(colours[i].b, colours[i].g, colours[i].r);
    const std::string path = out + "/colour-" + std::to_string(i) + ".jpg";
    if (!IKJpegFileSave(path, IKDibFromBitmap(b), 90).Ok()) throw std::runtime_error(path);
    frames.push_back(path);
  }
  return frames;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Movies for the viewer: from elsewhere (JPEG data as older writers stored
// it, a compressed movie, placements in another order than the bitmaps) and
// one of large frames.
void ViewerCases(const std::string& out) {
  fs::create_directories(out);
  const std::vector<std::string> colours = ColourFrames(out);
  auto save = [&](TFlashMovie& movie, const std::string& name) {
    fs::create_directories(out + "/" + name);
    movie.BuildBody();
    movie.SaveToFile(out + "/" + name + "/veldata.swf");
  };
  {  // red with doubled markers, green led by FF D9 FF D8, blue plain; no placements
    TFlashMovie movie(0, 0, 20 * 160, 20 * 120, 12, false);
    movie.SetSwfVersion(6);
    std::vector<std::uint8_t> red = ReadBytes(colours[0]), green = ReadBytes(colours[1]);
    red.insert(red.begin(), {0xFF, 0xD8});
    red.insert(red.end(), {0xFF, 0xD9});
    green.insert(green.begin(), {0xFF, 0xD9, 0xFF, 0xD8});
    movie.AddObject(std::make_unique<TRawJpegTag>(1, red));
    movie.AddObject(std::make_unique<TRawJpegTag>(2, green));
    movie.AddObject(std::make_unique<TRawJpegTag>(3, ReadBytes(colours[2])));
    movie.ShowFrame(3);
    save(movie, "legacy");
  }
  for (const bool reversed : {false, true}) {
    TFlashMovie movie(0, 0, 20 * 160, 20 * 120, 1, false);
    movie.SetSwfVersion(6);
    movie.SetPixelUnits(true);
    movie.SetCompressed(!reversed);
    std::vector<TFlashShape*> shapes;
    for (const std::string& frame : colours) {
      TFlashImage* image = movie.AddImageFromFile(frame);
      shapes.push_back(movie.AddRectShape(0, 0, 160, 120));
      shapes.back()->SetBitmapFill(*image, 1, 1, 1);
    }
    if (reversed) std::reverse(shapes.begin(), shapes.end());
    for (std::size_t i = 0; i < shapes.size(); ++i) {
      movie.PlaceObject(shapes[i], 1)->SetMove(i > 0);
      movie.ShowFrame(1);
    }
    save(movie, reversed ? "reordered" : "compressed");
  }
  {  // large frames, far more than a phone's memory should hold decoded
    std::vector<std::string> large;
    for (int i = 0; i < 24; ++i) {
      TBitmap24 b(2000, 1500);
      b.Fill(static_cast<std::uint8_t>(i * 10), 128, static_cast<std::uint8_t>(240 - i * 10));
      large.push_back(out + "/large-" + std::to_string(i) + ".jpg");
      if (!IKJpegFileSave(large.back(), IKDibFromBitmap(b), 80).Ok())
        throw std::runtime_error(large.back());
    }
    fs::create_directories(out + "/large");
    PcMovie(large, 2000, 1500, out + "/large/veldata.swf");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--viewer-cases") {
    try {
      ViewerCases(argv[2]);
      return 0;
    } catch (const std::exception& e) {
      std::cerr << "write-movies: " << e.what() << "\n";
      return 1;
    }
  }
  if (argc != 3) {
    std::cerr << "usage: write-movies SAMPLES_FOLDER OUT_FOLDER | --viewer-cases OUT_FOLDER\n";
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
      movie.AddNamedSprite(*box, 1, "loadRect_mc")->Matrix().SetTranslate(8 * 20, 44 * 20);
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
