#include "VideoRead.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cstdint>

namespace kalvane::test {

TReadVideo ReadVideo(const std::string& path) {
  TReadVideo v;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
    v.Error = "cannot open";
    return v;
  }
  AVCodecContext* codec = nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  const AVCodec* decoder = nullptr;
  int index = -1;
  if (avformat_find_stream_info(format, nullptr) < 0 ||
      (index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0)) < 0) {
    v.Error = "no video stream";
  } else {
    const AVStream* stream = format->streams[index];
    const AVCodecParameters* par = stream->codecpar;
    v.Container = format->iformat->name;
    v.Codec = avcodec_get_name(par->codec_id);
    const char* pixels = av_get_pix_fmt_name(static_cast<AVPixelFormat>(par->format));
    v.PixelFormat = pixels ? pixels : "";
    v.Width = par->width;
    v.Height = par->height;
    v.Seconds = static_cast<double>(format->duration) / AV_TIME_BASE;
    v.Fps = av_q2d(stream->avg_frame_rate);
    codec = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec, par);
    if (avcodec_open2(codec, decoder, nullptr) < 0) v.Error = "cannot decode";
  }
  const auto take = [&v, frame] {
    ++v.Frames;
    // Back to RGB by what the stream says its colours are.
    SwsContext* sws = sws_getContext(
        frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
        frame->height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
    const int* table =
        sws_getCoefficients(frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
    sws_setColorspaceDetails(sws, table, frame->color_range == AVCOL_RANGE_JPEG, table, 1, 0,
                             1 << 16, 1 << 16);
    // Rows padded as swscale's vector code writes whole blocks.
    const int stride[1] = {(frame->width * 3 + 63) / 64 * 64};
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(stride[0] * (frame->height + 1)));
    std::uint8_t* rows[1] = {rgb.data()};
    sws_scale(sws, frame->data, frame->linesize, 0, frame->height, rows, stride);
    sws_freeContext(sws);
    const std::size_t at =
        static_cast<std::size_t>(frame->height / 2 * stride[0] + frame->width / 2 * 3);
    v.Centres.push_back({rgb[at], rgb[at + 1], rgb[at + 2]});
  };
  if (v.Error.empty()) {
    while (av_read_frame(format, packet) >= 0) {
      if (packet->stream_index == index && avcodec_send_packet(codec, packet) >= 0) {
        while (avcodec_receive_frame(codec, frame) >= 0)
          take();
      }
      av_packet_unref(packet);
    }
    avcodec_send_packet(codec, nullptr);
    while (avcodec_receive_frame(codec, frame) >= 0)
      take();
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&codec);
  avformat_close_input(&format);
  return v;
}

}  // namespace kalvane::test
