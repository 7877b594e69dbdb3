#include "imaging/ImageSave.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

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

TResult IKSaveSpooled(const std::string& path, const TIKImage& image) {
  IKInitialize();
  if (image.IsEmpty()) return TResult::Fail(TErrorCode::Unreadable, path + ": no image to save");
  try {
    image.impl()->image.pngsave(path.c_str(), VImage::option()
                                                  ->set("compression", 1)
                                                  ->set("filter", VIPS_FOREIGN_PNG_FILTER_NONE)
                                                  ->set("strip", true));
    return {};
  } catch (const VError& e) {
    return WriteFailure(path + ": cannot write the frame", e);
  }
}

namespace {

// The tall image of an animation (its pages one below the other, as
// libvips keeps them) made on demand from the spooled frames: the encoders
// ask for it page by page, top to bottom, so the one page decoded last and
// the one before it (a strip may cross into the next page) are all that
// is held.
class TSpooledPages {
 public:
  TSpooledPages(const std::vector<std::string>& files, int width, int pageHeight)
      : Files(files), Width(width), PageHeight(pageHeight) {}

  static int Generate(VipsRegion* out, void*, void* a, void*, gboolean*) {
    auto* pages = static_cast<TSpooledPages*>(a);
    const VipsRect& r = out->valid;
    std::lock_guard lock(pages->Mutex);
    for (int y = r.top; y < r.top + r.height; ++y) {
      const unsigned char* row = pages->Row(y / pages->PageHeight, y % pages->PageHeight);
      if (!row) return -1;
      std::memcpy(VIPS_REGION_ADDR(out, r.left, y), row + static_cast<std::size_t>(r.left) * 3,
                  static_cast<std::size_t>(r.width) * 3);
    }
    return 0;
  }

 private:
  struct TPage {
    int Index = -1;
    std::unique_ptr<void, decltype(&g_free)> Pixels{nullptr, g_free};
  };

  // Row y of page `index`, decoding the page when it is not one of the two held.
  const unsigned char* Row(int index, int y) {
    TPage* page = Held[0].Index == index ? &Held[0] : Held[1].Index == index ? &Held[1] : nullptr;
    if (!page) {
      page = &Held[Next];
      Next = 1 - Next;
      page->Index = -1;
      page->Pixels.reset();
      try {
        VImage frame =
            VImage::new_from_file(Files[static_cast<std::size_t>(index)].c_str(),
                                  VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
        if (frame.width() != Width || frame.height() != PageHeight || frame.bands() != 3 ||
            frame.format() != VIPS_FORMAT_UCHAR) {
          vips_error("kalvane", "%s", "a spooled frame changed on disk");
          return nullptr;
        }
        std::size_t size = 0;
        page->Pixels.reset(frame.write_to_memory(&size));
      } catch (const VError&) {
        return nullptr;  // its error stays in libvips' buffer for the encoder's message
      }
      page->Index = index;
    }
    return static_cast<const unsigned char*>(page->Pixels.get()) +
           static_cast<std::size_t>(y) * Width * 3;
  }

  const std::vector<std::string>& Files;
  const int Width, PageHeight;
  std::mutex Mutex;
  TPage Held[2];
  int Next = 0;
};

}  // namespace

TResult IKEncodeAnimation(const std::vector<std::string>& frames, TImageFormat format, int delayMs,
                          int loops, const std::string& path,
                          const std::function<bool(int percent)>& progress) {
  IKInitialize();
  if (frames.empty()) return TResult::Fail(TErrorCode::NoItems, "an animation needs frames");
  if (format != TImageFormat::Webp && format != TImageFormat::Gif)
    return TResult::Fail(TErrorCode::BadSetting, "animations are WebP or GIF");
  TEncodeWatch watch{&progress};
  try {
    const VImage first = VImage::new_from_file(frames[0].c_str());
    const int width = first.width(), pageHeight = first.height();
    const long long height =
        static_cast<long long>(pageHeight) * static_cast<long long>(frames.size());
    if (height > VIPS_MAX_COORD)
      return TResult::Fail(TErrorCode::BadSetting, "too many frames for one animation");
    TSpooledPages pages(frames, width, pageHeight);
    VipsImage* tall = vips_image_new();
    vips_image_init_fields(tall, width, static_cast<int>(height), 3, VIPS_FORMAT_UCHAR,
                           VIPS_CODING_NONE, VIPS_INTERPRETATION_sRGB, 1.0, 1.0);
    if (vips_image_pipelinev(tall, VIPS_DEMAND_STYLE_THINSTRIP, nullptr) != 0 ||
        vips_image_generate(tall, nullptr, &TSpooledPages::Generate, nullptr, &pages, nullptr) !=
            0) {
      g_object_unref(tall);
      throw VError();
    }
    VImage all = VImage(tall).copy();
    all.set("page-height", pageHeight);
    all.set("delay", std::vector<int>(frames.size(), std::max(delayMs, 1)));
    all.set("loop", std::max(loops, 0));
    gulong handler = 0;
    if (progress) {
      handler = g_signal_connect(all.get_image(), "eval", G_CALLBACK(OnEval), &watch);
      vips_image_set_progress(all.get_image(), TRUE);
    }
    try {
      if (format == TImageFormat::Webp)
        all.webpsave(path.c_str(), VImage::option()->set("Q", 85)->set("strip", true));
      else
        all.gifsave(path.c_str(), VImage::option()->set("strip", true));
    } catch (const VError&) {
      if (handler) g_signal_handler_disconnect(all.get_image(), handler);
      throw;
    }
    if (handler) g_signal_handler_disconnect(all.get_image(), handler);
    if (watch.Stopped) return TResult::Fail(TErrorCode::Cancelled, "the export was cancelled");
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
