#include "swf/FlashImage.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "swf/JpegProbe.h"
#include "swf/SWFDefineBits.h"

namespace kalvane {

namespace {

std::string UpperExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return ext;
}

// Whether the file begins FF D8 and ends FF D9.
bool FileIsCompleteJpeg(const std::string& path, std::uint64_t size) {
  if (size < 4) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!f) return false;
  unsigned char head[2], tail[2];
  if (std::fread(head, 1, 2, f.get()) != 2) return false;
  if (std::fseek(f.get(), -2, SEEK_END) != 0 || std::fread(tail, 1, 2, f.get()) != 2) return false;
  return head[0] == 0xFF && head[1] == 0xD8 && tail[0] == 0xFF && tail[1] == 0xD9;
}

}  // namespace

TFlashImage::TFlashImage(TFlashMovie* owner, const std::string& fileName) : Path(fileName) {
  SetOwner(owner);
  const std::string ext = UpperExtension(fileName);
  if (ext != "JPG" && ext != "JPEG") {
    throw TSwfError(fileName + ": Image format \"" + ext + "\" not supported!");
  }
  JPEG = true;
  std::error_code ec;
  Size = std::filesystem::file_size(fileName, ec);
  if (ec) throw TSwfError(fileName + ": cannot read (" + ec.message() + ")");
  const auto size = ProbeJpegSize(fileName);
  if (!size) {
    throw TSwfError(fileName +
                    ": the JPEG's pixel size cannot be read (not a baseline JPEG, or damaged)");
  }
  PixelWidth = size->width;
  PixelHeight = size->height;
  CompleteJpeg = FileIsCompleteJpeg(fileName, Size);
}

void TFlashImage::WriteTag(TBitsEngine& be) {
  TSWFDefineBitsJPEG2 tag;
  tag.CharacterId = GetCharId();
  tag.Provider = std::make_shared<TFileDataProvider>(Path, Size, CompleteJpeg);
  tag.WriteTag(be);
}

}  // namespace kalvane
