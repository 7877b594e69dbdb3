#include "imaging/ImageSave.h"

#include <algorithm>

#include "imaging/VipsImage.h"

namespace kalvane {

using vips::VError;
using vips::VImage;

namespace {

TResult WriteFailure(const std::string& what, const VError& e) {
  std::string said = e.what();
  vips_error_clear();
  while (!said.empty() && (said.back() == '\n' || said.back() == ' '))
    said.pop_back();
  return TResult::Fail(TErrorCode::WriteFailed, what + " (" + said + ")");
}

VImage OnCanvas(const VImage& in, const TCanvas& c) {
  VImage out = c.Transparent ? in.bandjoin_const({255.0}) : in;
  const int w = std::max(c.Width, in.width()), h = std::max(c.Height, in.height());
  if (w == in.width() && h == in.height()) return out;
  const std::vector<double> around = c.Transparent
                                         ? std::vector<double>{0, 0, 0, 0}
                                         : std::vector<double>{1.0 * c.R, 1.0 * c.G, 1.0 * c.B};
  return out.embed(
      (w - in.width()) / 2, (h - in.height()) / 2, w, h,
      VImage::option()->set("extend", VIPS_EXTEND_BACKGROUND)->set("background", around));
}

}  // namespace

TResult IKSaveStill(const std::string& path, const TIKImage& image, TImageFormat format,
                    int quality, const TCanvas& canvas) {
  IKInitialize();
  if (image.IsEmpty()) return TResult::Fail(TErrorCode::Unreadable, path + ": no image to save");
  if (canvas.Transparent && (format == TImageFormat::Jpeg || format == TImageFormat::Gif))
    return TResult::Fail(TErrorCode::BadSetting, path + ": this format cannot be transparent");
  const int q = std::clamp(quality, 1, 100);
  try {
    const VImage out = OnCanvas(image.impl()->image, canvas);
    switch (format) {
      case TImageFormat::Jpeg:
        out.jpegsave(path.c_str(),
                     VImage::option()->set("Q", q)->set("interlace", false)->set("strip", true));
        break;
      case TImageFormat::Png:
        out.pngsave(path.c_str(), VImage::option()->set("strip", true));
        break;
      case TImageFormat::Webp:
        out.webpsave(path.c_str(), VImage::option()->set("Q", q)->set("strip", true));
        break;
      case TImageFormat::Gif:
        out.gifsave(path.c_str(), VImage::option()->set("strip", true));
        break;
    }
    return {};
  } catch (const VError& e) {
    return WriteFailure(path + ": cannot write the image", e);
  }
}

namespace {

// libvips says how far a computation got through the image's "eval"
// signal, on the thread that runs it, and stops it when the image is
// marked killed.
struct TEncodeWatch {
  const std::function<bool(int)>* Progress = nullptr;
  bool Stopped = false;
};

void OnEval(VipsImage* image, VipsProgress* progress, gpointer data) {
  auto* watch = static_cast<TEncodeWatch*>(data);
  if (watch->Stopped || (*watch->Progress)(progress->percent)) return;
  watch->Stopped = true;
  vips_image_set_kill(image, TRUE);
}

}  // namespace

TResult IKEncodeAnimation(const std::vector<TIKImage>& frames, TImageFormat format, int delayMs,
                          int loops, std::string& bytes,
                          const std::function<bool(int percent)>& progress) {
  IKInitialize();
  if (frames.empty()) return TResult::Fail(TErrorCode::NoItems, "an animation needs frames");
  if (format != TImageFormat::Webp && format != TImageFormat::Gif)
    return TResult::Fail(TErrorCode::BadSetting, "animations are WebP or GIF");
  std::vector<VImage> pages;
  for (const TIKImage& frame : frames) {
    if (frame.IsEmpty() || frame.Width() != frames[0].Width() ||
        frame.Height() != frames[0].Height())
      return TResult::Fail(TErrorCode::BadSetting,
                           "the frames of an animation must be of one size");
    pages.push_back(frame.impl()->image);
  }
  TEncodeWatch watch{&progress};
  try {
    // One tall image of the frames one below the other, as libvips keeps
    // the pages of an animation.
    VImage all = VImage::arrayjoin(pages, VImage::option()->set("across", 1)).copy();
    all.set("page-height", frames[0].Height());
    all.set("delay", std::vector<int>(frames.size(), std::max(delayMs, 1)));
    all.set("loop", std::max(loops, 0));
    gulong handler = 0;
    if (progress) {
      handler = g_signal_connect(all.get_image(), "eval", G_CALLBACK(OnEval), &watch);
      vips_image_set_progress(all.get_image(), TRUE);
    }
    VipsBlob* blob = nullptr;
    try {
      blob = format == TImageFormat::Webp
                 ? all.webpsave_buffer(VImage::option()->set("Q", 85)->set("strip", true))
                 : all.gifsave_buffer(VImage::option()->set("strip", true));
    } catch (const VError&) {
      if (handler) g_signal_handler_disconnect(all.get_image(), handler);
      throw;
    }
    if (handler) g_signal_handler_disconnect(all.get_image(), handler);
    std::size_t size = 0;
    const void* data =
        vips_area_get_data(reinterpret_cast<VipsArea*>(blob), &size, nullptr, nullptr, nullptr);
    bytes.assign(static_cast<const char*>(data), size);
    vips_area_unref(reinterpret_cast<VipsArea*>(blob));
    if (watch.Stopped) {
      bytes.clear();
      return TResult::Fail(TErrorCode::Cancelled, "the export was cancelled");
    }
    return {};
  } catch (const VError& e) {
    if (watch.Stopped) {
      vips_error_clear();
      return TResult::Fail(TErrorCode::Cancelled, "the export was cancelled");
    }
    return WriteFailure("cannot make the animation", e);
  }
}

}  // namespace kalvane
