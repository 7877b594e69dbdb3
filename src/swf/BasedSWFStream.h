#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "swf/ByteStream.h"
#include "swf/SWFRecords.h"

namespace kalvane {

class TBasedSWFStream;
// stage 1 while the body is built, 2 while it is compressed.
using TSwfProgressEvent = std::function<void(TBasedSWFStream& sender, int percent, int stage)>;

// A movie: the header values and the body (every tag after the header, End
// included), saved plainly ("FWS") or zlib-compressed ("CWS").
class TBasedSWFStream {
 public:
  TBasedSWFStream();
  TBasedSWFStream(std::int32_t xmin, std::int32_t ymin, std::int32_t xmax, std::int32_t ymax,
                  double fps, bool pixelUnits);
  virtual ~TBasedSWFStream() = default;
  TBasedSWFStream(const TBasedSWFStream&) = delete;
  TBasedSWFStream& operator=(const TBasedSWFStream&) = delete;

  // Compressed movies need version 6 at least.
  void SetSwfVersion(std::uint8_t version);
  std::uint8_t GetSwfVersion() const { return Version; }
  void SetCompressed(bool compressed) { Compressed = compressed; }
  bool GetCompressed() const { return Compressed; }
  // Scales coordinates given to objects made afterwards; the stored frame
  // rectangle is not rescaled.
  void SetPixelUnits(bool on);
  bool GetPixelUnits() const { return PixelUnits; }
  std::uint8_t UnitMultiplier() const { return Multiplier; }
  // 8.8 fixed point: integer part truncated, fraction rounded to 1/256.
  void SetFrameRate(double fps);
  double GetFrameRate() const;
  std::uint16_t FrameRateValue() const { return FrameRate; }
  std::uint16_t GetFrameCount() const { return FrameCount; }
  const TRect32& GetFrameRect() const { return FrameRect; }
  // Bytes before the first tag.
  std::uint32_t HeaderSize() const;

  // BuildBody must have run.
  void SaveToStream(TByteStream& target);
  // Writes a temporary file beside `name` and renames it over `name` only
  // when complete; on failure the temporary file is removed, `name` is left
  // as it was, and TSwfError says what went wrong.
  void SaveToFile(const std::string& name);

  virtual void BuildBody() = 0;

  TSwfProgressEvent OnProgress;
  TSegmentedStream& Body() { return BodyStream; }
  const TSegmentedStream& Body() const { return BodyStream; }

 protected:
  void ReportProgress(int percent, int stage);

  TSegmentedStream BodyStream;
  bool Compressed = false;
  std::uint8_t Multiplier = 1;
  bool PixelUnits = false;
  std::uint8_t Version = 5;
  std::uint32_t FileLength = 0;
  TRect32 FrameRect;
  std::uint16_t FrameRate = 0;
  std::uint16_t FrameCount = 0;
};

}  // namespace kalvane
