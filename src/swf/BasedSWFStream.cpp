#include "swf/BasedSWFStream.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/AtomicFile.h"
#include "base/Round.h"
#include "swf/BitsEngine.h"

namespace kalvane {

TBasedSWFStream::TBasedSWFStream() = default;

TBasedSWFStream::TBasedSWFStream(std::int32_t xmin, std::int32_t ymin, std::int32_t xmax,
                                 std::int32_t ymax, double fps, bool pixelUnits) {
  SetPixelUnits(pixelUnits);
  FrameRect = {xmin * Multiplier, ymin * Multiplier, xmax * Multiplier, ymax * Multiplier};
  SetFrameRate(fps);
}

void TBasedSWFStream::SetSwfVersion(std::uint8_t version) {
  Version = Compressed && version < 6 ? 6 : version;
}

void TBasedSWFStream::SetPixelUnits(bool on) {
  PixelUnits = on;
  Multiplier = on ? 20 : 1;
}

void TBasedSWFStream::SetFrameRate(double fps) {
  fps = std::clamp(std::isnan(fps) ? 0.0 : fps, 0.0, 255.0 + 255.0 / 256.0);
  int whole = static_cast<int>(std::trunc(fps));
  int fraction = RoundInt((fps - whole) * 256.0);
  if (fraction == 256) {  // 12.999 rounds up to the next whole rate
    ++whole;
    fraction = 0;
  }
  FrameRate = static_cast<std::uint16_t>((whole << 8) | fraction);
}

double TBasedSWFStream::GetFrameRate() const {
  return (FrameRate >> 8) + (FrameRate & 0xFF) / 256.0;
}

std::uint32_t TBasedSWFStream::HeaderSize() const {
  const std::uint32_t n =
      BitsForSignedValues({FrameRect.left, FrameRect.top, FrameRect.right, FrameRect.bottom});
  return 12 + (5 + 4 * n + 7) / 8;
}

void TBasedSWFStream::ReportProgress(int percent, int stage) {
  if (OnProgress) OnProgress(*this, percent, stage);
}

void TBasedSWFStream::SaveToStream(TByteStream& target) {
  const std::uint64_t length = BodyStream.Length() + HeaderSize();
  if (length > std::numeric_limits<std::uint32_t>::max()) {
    throw TSwfError("movie of " + std::to_string(length) + " bytes is larger than SWF allows");
  }
  FileLength = static_cast<std::uint32_t>(length);
  if (Compressed && Version < 6) Version = 6;

  TBitsEngine head(target);
  for (char c : std::string(Compressed ? "CWS" : "FWS"))
    head.PutUI8(static_cast<std::uint8_t>(c));
  head.PutUI8(Version);
  head.PutUI32(FileLength);

  auto writeRest = [this](TByteStream& out,
                          const std::function<void(std::uint64_t, std::uint64_t)>* progress) {
    TBitsEngine be(out);
    be.PutRect(FrameRect.left, FrameRect.top, FrameRect.right, FrameRect.bottom);
    be.PutUI16(FrameRate);
    be.PutUI16(FrameCount);
    BodyStream.CopyTo(out, progress);
  };
  if (!Compressed) {
    writeRest(target, nullptr);
    return;
  }
  TDeflateStream deflate(target);
  const std::function<void(std::uint64_t, std::uint64_t)> progress = [this](std::uint64_t done,
                                                                            std::uint64_t total) {
    ReportProgress(total ? RoundInt(100.0 * static_cast<double>(done) / total) : 100, 2);
  };
  writeRest(deflate, &progress);
  deflate.Finish();
}

void TBasedSWFStream::SaveToFile(const std::string& name) {
  TAtomicFile file(name);
  if (!file.Ok()) throw TSwfError(file.Error());
  TFileStream stream(file.Handle(), name);
  SaveToStream(stream);
  stream.Flush();
  if (!file.Commit()) throw TSwfError(file.Error());
}

}  // namespace kalvane
