// The built jpeg2swf and swfcombine given more than a movie can hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "TestImages.h"
#include "base/RunProgram.h"
#include "swf/SwfTestUtil.h"

namespace kalvane {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempDir;

const std::string kBuilt = KALVANE_PROGRAM_DIR;

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// A small JPEG whose frame header claims width x height.
void WriteClaimedJpeg(const std::string& path, int width, int height) {
  test::WriteJpeg(path, 16, 16);
  Bytes jpeg = test::ReadFile(path);
  for (std::size_t i = 0; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<std::uint8_t>(height & 0xFF);
      jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<std::uint8_t>(width & 0xFF);
      break;
    }
  }
  WriteBytes(path, jpeg);
}

TEST(Jpeg2Swf, MorePicturesThanAMovieHoldsAreRefusedBeforeAnyIsRead) {
  TempDir dir;
  // names of pictures that do not exist: only the count can refuse them
  std::vector<std::string> argv = {kBuilt + "jpeg2swf", "-o", dir.File("j.swf")};
  argv.resize(argv.size() + 32768, dir.File("none.jpg"));
  TResult r = RunProgram(argv, dir.File("log"), 60);
  EXPECT_NE(r.Error.find("32768 pictures: a movie holds at most 32767"), std::string::npos)
      << r.Error;
  argv.pop_back();  // 32767 are taken, so the first missing one is named
  r = RunProgram(argv, dir.File("log"), 60);
  EXPECT_NE(r.Error.find("none.jpg"), std::string::npos) << r.Error;
  EXPECT_FALSE(fs::exists(dir.File("j.swf")));
}

TEST(Jpeg2Swf, PicturesTooLargeAreRefusedFromTheirHeader) {
  TempDir dir;
  test::WriteJpeg(dir.File("a.jpg"), 160, 120);
  WriteClaimedJpeg(dir.File("huge.jpg"), 16384, 16384);
  // the good picture first: nothing is worked before the huge one is seen
  TResult r = RunProgram(
      {kBuilt + "jpeg2swf", "-o", dir.File("j.swf"), dir.File("a.jpg"), dir.File("huge.jpg")},
      dir.File("log"), 60);
  EXPECT_NE(r.Error.find("huge.jpg: picture too large (16384x16384 pixels"), std::string::npos)
      << r.Error;
  EXPECT_FALSE(fs::exists(dir.File("j.swf")));
  const TResult made = RunProgram({kBuilt + "jpeg2swf", "-o", dir.File("j.swf"), dir.File("a.jpg")},
                                  dir.File("log"), 60);
  ASSERT_TRUE(made.Ok()) << made.Error;
  EXPECT_TRUE(fs::exists(dir.File("j.swf")));
}

TEST(SwfCombineTool, SpritesNestedDeepAreRefusedWithoutHarm) {
  TempDir dir;
  // sprite 1 in sprite 1 in ... 100,000 deep
  const std::size_t depth = 100000;
  Bytes movie = {'F', 'W', 'S', 6, 0, 0, 0, 0, 0x00, 0, 3, 1, 0};
  for (std::size_t k = 0; k < depth; ++k) {
    const auto length = static_cast<std::uint32_t>(6 + 12 * (depth - 1 - k));
    for (const std::uint8_t b :
         {std::uint8_t{0xFF}, std::uint8_t{0x09}, static_cast<std::uint8_t>(length),
          static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length >> 16),
          static_cast<std::uint8_t>(length >> 24), std::uint8_t{1}, std::uint8_t{0},
          std::uint8_t{0}, std::uint8_t{0}})
      movie.push_back(b);
  }
  movie.resize(movie.size() + 2 * depth + 2, 0);  // the sprites' End tags and the movie's
  const auto size = static_cast<std::uint32_t>(movie.size());
  for (int i = 0; i < 4; ++i)
    movie[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
  WriteBytes(dir.File("deep.swf"), movie);
  const TResult r =
      RunProgram({kBuilt + "swfcombine", "-o", dir.File("out.swf"),
                  kBuilt + "template_m/velmobile.swf", "loadRect_mc=" + dir.File("deep.swf")},
                 dir.File("log"), 60);
  EXPECT_NE(r.Error.find("exit status 1"), std::string::npos) << r.Error;
  EXPECT_NE(r.Error.find("nested more than 64 deep"), std::string::npos) << r.Error;
  EXPECT_FALSE(fs::exists(dir.File("out.swf")));
}

}  // namespace
}  // namespace kalvane
