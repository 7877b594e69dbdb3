#pragma once

#include <memory>
#include <string>

#include "base/Result.h"
#include "imaging/ImageKit.h"

namespace kalvane {

// The videos the program writes, through libavcodec and libavformat.
enum class TVideoCodec {
  H264,  // libx264 in MP4, the index at the front so it plays while loading
  Vp9,   // libvpx-vp9 in WebM
};

struct TVideoSettings {
  TVideoCodec Codec = TVideoCodec::H264;
  int Width = 0, Height = 0;  // even: 4:2:0 pictures have whole chroma samples
  double Fps = 8;
  int Crf = 23;  // the encoder's constant-quality level (lower is better)
};

// A frame in the encoder's pixels (YUV 4:2:0, BT.709, limited range).
// Made from a picture on any thread, so the conversion runs beside the
// cut on every core; encoded as often as the video shows it.
class TVideoPicture {
 public:
  TVideoPicture();
  ~TVideoPicture();
  TVideoPicture(TVideoPicture&&) noexcept;
  TVideoPicture& operator=(TVideoPicture&&) noexcept;

  // Empty, with the reason in `error`, when the picture has no pixels or a
  // side is odd.
  static TVideoPicture FromImage(const TIKImage& image, std::string* error = nullptr);
  bool IsEmpty() const { return !impl_; }
  int Width() const;
  int Height() const;
  // Bytes its pixels take.
  std::size_t Bytes() const;

  struct Impl;
  const Impl* impl() const { return impl_.get(); }

 private:
  std::unique_ptr<Impl> impl_;
};

// Writes one video file: Open, Write each frame in order, Finish. Dropped
// before Finish, it closes what it opened and the file is incomplete (the
// caller writes into a temporary that is then removed).
class TVideoWriter {
 public:
  TVideoWriter();
  ~TVideoWriter();
  TVideoWriter(const TVideoWriter&) = delete;
  TVideoWriter& operator=(const TVideoWriter&) = delete;

  // Creates `path` (replacing its content) and starts the stream; fails
  // for sides that are odd or not positive, a rate that is not above 0,
  // or an FFmpeg built without the encoder.
  TResult Open(const std::string& path, const TVideoSettings& settings);
  // The next frame, of the settings' size; shown 1 / fps seconds.
  TResult Write(const TVideoPicture& picture);
  // Drains the encoder, writes the index (moved to the front in MP4) and
  // closes the file.
  TResult Finish();
  int Frames() const { return Count; }

 private:
  TResult Drain(bool flush);
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int Count = 0;
};

}  // namespace kalvane
