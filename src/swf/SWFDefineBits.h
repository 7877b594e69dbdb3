#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "swf/SWFObject.h"

namespace kalvane {

// Supplies a tag's payload at write time instead of a stored block.
class TSWFDataProvider {
 public:
  virtual ~TSWFDataProvider() = default;
  virtual std::uint64_t Size() const = 0;
  // Whether the payload is a whole JPEG stream (FF D8 ... FF D9).
  virtual bool IsCompleteJpeg() const = 0;
  virtual void Write(TBitsEngine& be) const = 0;
};

// A file's bytes, passed by reference so the movie body never holds them.
class TFileDataProvider : public TSWFDataProvider {
 public:
  TFileDataProvider(std::string path, std::uint64_t size, bool completeJpeg)
      : Path(std::move(path)), FileSize(size), CompleteJpeg(completeJpeg) {}
  std::uint64_t Size() const override { return FileSize; }
  bool IsCompleteJpeg() const override { return CompleteJpeg; }
  void Write(TBitsEngine& be) const override { be.Stream().WriteFile(Path, FileSize); }

 private:
  std::string Path;
  std::uint64_t FileSize;
  bool CompleteJpeg;
};

class TSWFDataObject : public TSWFObject {
 public:
  std::vector<std::uint8_t> Data;
  std::shared_ptr<const TSWFDataProvider> Provider;
};

class TSWFImageTag : public TSWFDataObject {
 public:
  std::uint16_t CharacterId = 0;
};

// DefineBits (6) and DefineBitsJPEG2 (21). The image data must be one valid
// JPEG stream: a payload that is a whole JPEG file is written as it is; only
// a payload without its own start and end markers is wrapped in FF D8 ...
// FF D9.
class TSWFDefineBits : public TSWFImageTag {
 public:
  TSWFDefineBits() { TagCode = 6; }
  void WriteBody(TBitsEngine& be) override;
};

class TSWFDefineBitsJPEG2 : public TSWFDefineBits {
 public:
  TSWFDefineBitsJPEG2() { TagCode = 21; }
  int RequiredVersion() const override { return 2; }
};

bool IsCompleteJpeg(const std::uint8_t* data, std::size_t size);

}  // namespace kalvane
