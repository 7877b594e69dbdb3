#include "imaging/VideoProbe.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

namespace kalvane {

std::optional<TVideoFacts> ProbeVideo(const std::string& path, std::string* error) {
  auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return std::nullopt;
  };
  AVFormatContext* context = nullptr;
  if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0)
    return fail("not a video that can be read");
  struct TClose {
    AVFormatContext*& Context;
    ~TClose() { avformat_close_input(&Context); }
  } close{context};
  if (avformat_find_stream_info(context, nullptr) < 0) return fail("its streams cannot be read");
  const int index = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) return fail("it has no video stream");
  const AVStream* stream = context->streams[index];
  const AVCodecParameters* p = stream->codecpar;
  TVideoFacts facts;
  facts.Container = context->iformat && context->iformat->name ? context->iformat->name : "";
  facts.Codec = avcodec_get_name(p->codec_id);
  const char* pixels = av_get_pix_fmt_name(static_cast<AVPixelFormat>(p->format));
  facts.PixelFormat = pixels ? pixels : "unknown";
  facts.Width = p->width;
  facts.Height = p->height;
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
    facts.Seconds = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
  else if (context->duration != AV_NOPTS_VALUE && context->duration > 0)
    facts.Seconds = static_cast<double>(context->duration) / AV_TIME_BASE;
  return facts;
}

}  // namespace kalvane
