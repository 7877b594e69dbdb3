#include "imaging/VideoEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "imaging/VipsImage.h"

namespace kalvane {

namespace {

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

TResult Failure(const std::string& what, int code) {
  return TResult::Fail(TErrorCode::WriteFailed, what + " (" + AvError(code) + ")");
}

// One conversion context for each worker thread, kept while the size stays.
class TConverter {
 public:
  TConverter() = default;
  TConverter(const TConverter&) = delete;
  TConverter& operator=(const TConverter&) = delete;
  ~TConverter() { sws_freeContext(Context); }
  SwsContext* For(int width, int height) {
    Context = sws_getCachedContext(Context, width, height, AV_PIX_FMT_RGB24, width, height,
                                   AV_PIX_FMT_YUV420P, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr,
                                   nullptr, nullptr);
    if (!Context) return nullptr;
    // sRGB pictures into the HD matrix, at the limited range players expect
    // (and the stream says so).
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(Context, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    return Context;
  }

 private:
  SwsContext* Context = nullptr;
};

void QuietLibraries() {
  // The encoders' statistics and the muxer's notes are not for our users;
  // failures come back as results.
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

}  // namespace

struct TVideoPicture::Impl {
  AVFrame* Frame = nullptr;
  ~Impl() { av_frame_free(&Frame); }
};

TVideoPicture::TVideoPicture() = default;
TVideoPicture::~TVideoPicture() = default;
TVideoPicture::TVideoPicture(TVideoPicture&&) noexcept = default;
TVideoPicture& TVideoPicture::operator=(TVideoPicture&&) noexcept = default;

int TVideoPicture::Width() const {
  return impl_ ? impl_->Frame->width : 0;
}

int TVideoPicture::Height() const {
  return impl_ ? impl_->Frame->height : 0;
}

std::size_t TVideoPicture::Bytes() const {
  return static_cast<std::size_t>(Width()) * static_cast<std::size_t>(Height()) * 3 / 2;
}

TVideoPicture TVideoPicture::FromImage(const TIKImage& image, std::string* error) {
  const auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return TVideoPicture();
  };
  if (image.IsEmpty()) return fail("no picture to put into the video");
  const int w = image.Width(), h = image.Height();
  if (w % 2 != 0 || h % 2 != 0)
    return fail("a video picture needs even sides, not " + std::to_string(w) + " x " +
                std::to_string(h));
  vips::VImage pixels;
  try {
    pixels = image.impl()->image.copy_memory();
  } catch (const vips::VError& e) {
    vips_error_clear();
    return fail(std::string("cannot read the picture: ") + e.what());
  }
  if (pixels.bands() != 3 || pixels.format() != VIPS_FORMAT_UCHAR)
    return fail("the picture is not 8-bit RGB");

  auto impl = std::make_unique<Impl>();
  impl->Frame = av_frame_alloc();
  if (!impl->Frame) return fail("out of memory");
  AVFrame* f = impl->Frame;
  f->format = AV_PIX_FMT_YUV420P;
  f->width = w;
  f->height = h;
  f->color_range = AVCOL_RANGE_MPEG;
  f->colorspace = AVCOL_SPC_BT709;
  f->color_primaries = AVCOL_PRI_BT709;
  f->color_trc = AVCOL_TRC_BT709;
  if (const int r = av_frame_get_buffer(f, 0); r < 0)
    return fail("cannot hold the picture (" + AvError(r) + ")");
  // swscale's vector code reads whole blocks past a row's end: the rows go
  // into a padded buffer first.
  thread_local std::vector<std::uint8_t> padded;
  const std::size_t row = static_cast<std::size_t>(w) * 3;
  const std::size_t stride = (row + 63) / 64 * 64;
  padded.resize(stride * static_cast<std::size_t>(h + 1));
  const auto* from = static_cast<const std::uint8_t*>(pixels.data());
  for (int y = 0; y < h; ++y)
    std::memcpy(padded.data() + stride * static_cast<std::size_t>(y),
                from + row * static_cast<std::size_t>(y), row);
  thread_local TConverter converter;
  SwsContext* sws = converter.For(w, h);
  if (!sws) return fail("cannot convert the picture's colours");
  const std::uint8_t* const rows[1] = {padded.data()};
  const int strides[1] = {static_cast<int>(stride)};
  sws_scale(sws, rows, strides, 0, h, f->data, f->linesize);
  TVideoPicture picture;
  picture.impl_ = std::move(impl);
  return picture;
}

struct TVideoWriter::Impl {
  AVFormatContext* Format = nullptr;
  AVCodecContext* Codec = nullptr;
  AVStream* Stream = nullptr;
  AVPacket* Packet = nullptr;
  AVFrame* Sent = nullptr;  // a reference to the picture being handed over
  TVideoSettings Settings;
  bool Finished = false;
  ~Impl() {
    av_frame_free(&Sent);
    av_packet_free(&Packet);
    avcodec_free_context(&Codec);
    if (Format) {
      if (Format->pb) avio_closep(&Format->pb);
      avformat_free_context(Format);
    }
  }
};

TVideoWriter::TVideoWriter() = default;
TVideoWriter::~TVideoWriter() = default;

TResult TVideoWriter::Open(const std::string& path, const TVideoSettings& settings) {
  const auto bad = [](const std::string& why) {
    return TResult::Fail(TErrorCode::BadSetting, why);
  };
  if (impl_) return bad("the video is open already");
  if (settings.Width <= 0 || settings.Height <= 0 || settings.Width % 2 != 0 ||
      settings.Height % 2 != 0) {
    return bad("a video needs even sides, not " + std::to_string(settings.Width) + " x " +
               std::to_string(settings.Height));
  }
  if (!(settings.Fps > 0) || !std::isfinite(settings.Fps))
    return bad("the rate must be above 0 frames a second");
  QuietLibraries();
  const bool h264 = settings.Codec == TVideoCodec::H264;
  const char* encoderName = h264 ? "libx264" : "libvpx-vp9";
  const AVCodec* encoder = avcodec_find_encoder_by_name(encoderName);
  if (!encoder) {
    return TResult::Fail(TErrorCode::WriteFailed,
                         std::string("this FFmpeg has no ") + encoderName + " encoder");
  }

  auto impl = std::make_unique<Impl>();
  impl->Settings = settings;
  // "file:" keeps a name with a colon from being taken for a protocol.
  const std::string url = "file:" + path;
  if (const int r = avformat_alloc_output_context2(&impl->Format, nullptr, h264 ? "mp4" : "webm",
                                                   url.c_str());
      r < 0)
    return Failure("cannot start the video file", r);
  impl->Stream = avformat_new_stream(impl->Format, nullptr);
  impl->Codec = avcodec_alloc_context3(encoder);
  impl->Packet = av_packet_alloc();
  impl->Sent = av_frame_alloc();
  if (!impl->Stream || !impl->Codec || !impl->Packet || !impl->Sent)
    return Failure("cannot start the video", AVERROR(ENOMEM));

  AVCodecContext* c = impl->Codec;
  const AVRational rate = av_d2q(settings.Fps, 100000);
  c->width = settings.Width;
  c->height = settings.Height;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = av_inv_q(rate);
  c->framerate = rate;
  c->sample_aspect_ratio = {1, 1};
  c->color_range = AVCOL_RANGE_MPEG;
  c->colorspace = AVCOL_SPC_BT709;
  c->color_primaries = AVCOL_PRI_BT709;
  c->color_trc = AVCOL_TRC_BT709;
  c->thread_count = 0;  // every core
  if (impl->Format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "crf", std::to_string(settings.Crf).c_str(), 0);
  if (h264) {
    av_dict_set(&options, "preset", "medium", 0);
  } else {
    // Constant quality needs the bit rate left open; "good" at speed 4
    // with rows in parallel is the usual trade for files made once.
    c->bit_rate = 0;
    av_dict_set(&options, "deadline", "good", 0);
    av_dict_set(&options, "cpu-used", "4", 0);
    av_dict_set(&options, "row-mt", "1", 0);
  }
  const int opened = avcodec_open2(c, encoder, &options);
  av_dict_free(&options);
  if (opened < 0)
    return Failure(std::string("cannot start the ") + encoderName + " encoder", opened);
  if (const int r = avcodec_parameters_from_context(impl->Stream->codecpar, c); r < 0)
    return Failure("cannot describe the video stream", r);
  impl->Stream->time_base = c->time_base;
  impl->Stream->avg_frame_rate = rate;

  if (const int r = avio_open(&impl->Format->pb, url.c_str(), AVIO_FLAG_WRITE); r < 0)
    return Failure(path + ": cannot create the video file", r);
  AVDictionary* muxing = nullptr;
  // The index at the front: a browser plays the video while it loads.
  if (h264) av_dict_set(&muxing, "movflags", "+faststart", 0);
  const int header = avformat_write_header(impl->Format, &muxing);
  av_dict_free(&muxing);
  if (header < 0) return Failure("cannot write the video's header", header);
  impl_ = std::move(impl);
  Count = 0;
  return {};
}

TResult TVideoWriter::Drain(bool flush) {
  for (;;) {
    const int r = avcodec_receive_packet(impl_->Codec, impl_->Packet);
    if (r == AVERROR(EAGAIN) && !flush) return {};
    if (r == AVERROR_EOF) return {};
    if (r < 0) return Failure("the encoder failed", r);
    // Every picture is shown for one tick of the rate.
    impl_->Packet->duration = 1;
    av_packet_rescale_ts(impl_->Packet, impl_->Codec->time_base, impl_->Stream->time_base);
    impl_->Packet->stream_index = impl_->Stream->index;
    if (const int w = av_interleaved_write_frame(impl_->Format, impl_->Packet); w < 0)
      return Failure("cannot write the video", w);
  }
}

TResult TVideoWriter::Write(const TVideoPicture& picture) {
  if (!impl_ || impl_->Finished)
    return TResult::Fail(TErrorCode::BadSetting, "the video is not open");
  if (picture.IsEmpty() || picture.Width() != impl_->Settings.Width ||
      picture.Height() != impl_->Settings.Height) {
    return TResult::Fail(TErrorCode::BadSetting, "a picture of " + std::to_string(picture.Width()) +
                                                     " x " + std::to_string(picture.Height()) +
                                                     " in a video of " +
                                                     std::to_string(impl_->Settings.Width) + " x " +
                                                     std::to_string(impl_->Settings.Height));
  }
  // The same picture may be sent again (the next turn): the encoder gets a
  // reference of its own with this frame's time.
  AVFrame* sent = impl_->Sent;
  if (const int r = av_frame_ref(sent, picture.impl()->Frame); r < 0)
    return Failure("cannot hand the picture over", r);
  sent->pts = Count;
  sent->pict_type = AV_PICTURE_TYPE_NONE;
  const int r = avcodec_send_frame(impl_->Codec, sent);
  av_frame_unref(sent);
  if (r < 0) return Failure("the encoder refused a picture", r);
  ++Count;
  return Drain(false);
}

TResult TVideoWriter::Finish() {
  if (!impl_ || impl_->Finished)
    return TResult::Fail(TErrorCode::BadSetting, "the video is not open");
  if (Count == 0) return TResult::Fail(TErrorCode::BadSetting, "a video needs a frame");
  impl_->Finished = true;
  if (const int r = avcodec_send_frame(impl_->Codec, nullptr); r < 0)
    return Failure("the encoder failed", r);
  if (TResult drained = Drain(true); !drained.Ok()) return drained;
  if (const int r = av_write_trailer(impl_->Format); r < 0)
    return Failure("cannot write the video's index", r);
  const int pending = impl_->Format->pb->error;
  if (const int r = avio_closep(&impl_->Format->pb); r < 0 || pending < 0)
    return Failure("cannot write the video", r < 0 ? r : pending);
  return {};
}

}  // namespace kalvane
