// jpeg2swf: JPEG pictures to a movie that shows one picture per frame, each
// re-encoded at the quality asked for. Takes the command line of the
// classic tool of that name: jpeg2swf [-r RATE] [-q QUALITY] [-X W] [-Y H]
// [-z] [-o OUT] FILE...
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "imaging/ImageKit.h"
#include "swf/ByteStream.h"
#include "swf/FlashMovie.h"

namespace {

using namespace kalvane;
namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: jpeg2swf [-r RATE] [-q QUALITY] [-X WIDTH] [-Y HEIGHT] [-z] [-o OUT.swf] FILE.jpg...\n"
    "  -r RATE     frames per second (default 1, above 0, at most 255)\n"
    "  -q QUALITY  JPEG quality of the frames, 1 to 100 (default 85)\n"
    "  -X, -Y      stage width and height in pixels (default: the first picture's);\n"
    "              every picture is scaled to the stage\n"
    "  -z          compress the movie\n"
    "  -o OUT.swf  the movie to write (default output.swf)\n";

// Every picture takes two characters (its bitmap and the shape it fills),
// and a movie numbers its characters 1 to 65535.
constexpr std::size_t kMaxPictures = 65535 / 2;
// Each picture is decoded whole before it is scaled to the stage; a
// quarter of the image kit's limit (64 megapixels, 8192 x 8192) keeps
// that within a few hundred megabytes.
constexpr long long kMaxPicturePixels = kIKMaxPixels / 4;

struct TOptions {
  double Rate = 1;
  int Quality = 85;
  int Width = 0, Height = 0;
  bool Compress = false;
  std::string Output = "output.swf";
  std::vector<std::string> Files;
};

int Usage(const std::string& why) {
  std::cerr << "jpeg2swf: " << why << "\n" << kUsage;
  return 2;
}

// A whole number or decimal within [low, high], or nothing.
bool Number(const std::string& text, double low, double high, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end && *end == '\0' && value >= low && value <= high;
}

// A temporary folder that goes with everything in it.
struct TScratch {
  std::string Path;
  TScratch() {
    std::string pattern = (fs::temp_directory_path() / "jpeg2swf-XXXXXX").string();
    if (mkdtemp(pattern.data())) Path = pattern;
  }
  ~TScratch() {
    std::error_code ec;
    if (!Path.empty()) fs::remove_all(Path, ec);
  }
};

// Every picture's header, before any is decoded: a file that cannot be
// read or is too large fails the run at once, not after the pictures
// before it were worked.
bool CheckPictures(const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    std::string error;
    const auto header = IKFileType(file, &error);
    if (!header) {
      std::cerr << "jpeg2swf: " << error << "\n";
      return false;
    }
    if (static_cast<long long>(header->width) * header->height > kMaxPicturePixels) {
      std::cerr << "jpeg2swf: " << file << ": picture too large (" << header->width << "x"
                << header->height << " pixels; at most " << kMaxPicturePixels
                << " pixels are taken)\n";
      return false;
    }
  }
  return true;
}

int Run(const TOptions& o) {
  if (!CheckPictures(o.Files)) return 1;
  TScratch scratch;
  if (scratch.Path.empty()) {
    std::cerr << "jpeg2swf: cannot make a temporary folder\n";
    return 1;
  }
  int width = o.Width, height = o.Height;
  std::unique_ptr<TFlashMovie> movie;
  for (std::size_t i = 0; i < o.Files.size(); ++i) {
    const TIKImage picture = IKFileLoad(o.Files[i]);
    if (picture.IsEmpty()) {
      std::cerr << "jpeg2swf: " << picture.Error() << "\n";
      return 1;
    }
    if (!movie) {
      if (width == 0) width = picture.Width();
      if (height == 0) height = picture.Height();
      movie = std::make_unique<TFlashMovie>(0, 0, 20 * width, 20 * height, o.Rate, false);
      movie->SetSwfVersion(6);
      movie->SetPixelUnits(true);
      movie->SetCompressed(o.Compress);
    }
    // Re-encoded even at the stage's size: the quality asked for is the
    // point, and a progressive or CMYK original would not play.
    const std::string frame = scratch.Path + "/" + std::to_string(i) + ".jpg";
    const TResult saved = IKJpegFileSave(frame, IKResizeEx(picture, width, height), o.Quality);
    if (!saved.Ok()) {
      std::cerr << "jpeg2swf: " << saved.Error << "\n";
      return 1;
    }
    TFlashImage* image = movie->AddImageFromFile(frame);
    TFlashShape* shape = movie->AddRectShape(0, 0, width, height);
    shape->SetBitmapFill(*image, 1, 1.0, 1.0);
    movie->PlaceObject(shape, 1)->SetMove(i > 0);
    movie->ShowFrame(1);
  }
  movie->BuildBody();
  movie->SaveToFile(o.Output);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    double n = 0;
    if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (a == "-z") {
      o.Compress = true;
    } else if (a == "-r" || a == "-q" || a == "-X" || a == "-Y" || a == "-o") {
      const char* v = value();
      if (!v) return Usage(a + " needs a value");
      if (a == "-o") {
        o.Output = v;
      } else if (a == "-r") {
        if (!Number(v, 0.01, 255, n)) return Usage("the rate must be above 0 and at most 255");
        o.Rate = n;
      } else if (a == "-q") {
        if (!Number(v, 1, 100, n) || n != static_cast<int>(n))
          return Usage("the quality must be a whole number from 1 to 100");
        o.Quality = static_cast<int>(n);
      } else {
        if (!Number(v, 1, 8191, n) || n != static_cast<int>(n))
          return Usage(a + " must be a whole number of pixels from 1 to 8191");
        (a == "-X" ? o.Width : o.Height) = static_cast<int>(n);
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option " + a);
    } else {
      o.Files.push_back(a);
    }
  }
  if (o.Files.empty()) return Usage("no pictures given");
  if (o.Files.size() > kMaxPictures) {
    std::cerr << "jpeg2swf: " << o.Files.size() << " pictures: a movie holds at most "
              << kMaxPictures << " (two characters each)\n";
    return 1;
  }
  try {
    return Run(o);
  } catch (const TSwfError& e) {
    std::cerr << "jpeg2swf: " << e.what() << "\n";
    return 1;
  }
}
