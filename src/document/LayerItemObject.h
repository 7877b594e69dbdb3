#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "document/Geometry.h"
#include "imaging/Bitmap24.h"
#include "imaging/ImageKit.h"

namespace kalvane {

// One photograph of the sequence: where it comes from, where it sits on the
// work canvas, and its display copy and lightened greyscale copy.
using TItemId = std::uint64_t;

class TLayerItemObject {
 public:
  TLayerItemObject();
  TLayerItemObject(const TLayerItemObject&) = delete;
  TLayerItemObject& operator=(const TLayerItemObject&) = delete;

  // Unique in the run: edits and their history find an item by it,
  // whatever its place in the list.
  TItemId GetId() const { return Id; }
  // Only for an item brought back by an undo, under the id it had.
  void SetId(TItemId id) { Id = id; }

  void SetItemName(const std::string& name) { ItemName = name; }
  const std::string& GetItemName() const { return ItemName; }
  void SetIndex(std::int32_t index) { Index = index < 0 ? -1 : index; }
  std::int32_t GetIndex() const { return Index; }
  // Selecting is ignored unless a file exists at FileName; clearing always
  // takes effect.
  void SetSelected(bool selected);
  bool GetSelected() const { return Selected; }
  void SetMonoVisible(bool visible) { MonoVisible = visible; }
  bool GetMonoVisible() const { return MonoVisible; }
  // Offsets are held within this many work pixels either way (far off any
  // canvas), whatever a project file says, so sums of offsets and moves
  // cannot overflow.
  static constexpr std::int32_t kMaxOffset = 1'000'000;
  static std::int32_t ClampOffset(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, -kMaxOffset, kMaxOffset));
  }
  // Sets the work-pixel offset, and the fine offset to the same place.
  void SetOffset(TPoint offset);
  TPoint GetOffset() const { return Offset; }
  // The offset in the photo's own pixels (of the photo turned as the canvas
  // shows it), to a fraction of a pixel: what aligning finds and the export
  // cuts by. The work-pixel offset follows it, rounded at Scale. Values that
  // are not numbers count as 0; both stay within kMaxOffset work pixels.
  void SetFineOffset(TPointF fine);
  TPointF GetFineOffset() const { return Fine; }
  // Turns both copies by (angle - current rotation), then stores the angle.
  void SetRotation(std::int32_t angle);
  std::int32_t GetRotation() const { return Rotation; }
  // Accepted only in (0, 1]; used at the next load.
  void SetScale(double scale);
  double GetScale() const { return Scale; }

  // Builds both copies from the file. Returns false, with LoadError() saying
  // why, when the file is missing (nothing changes then) or cannot be
  // decoded (the item is then left without copies).
  // `copies` false reads only the header: the item knows its size but has
  // no copies (an export without a window needs nothing more).
  bool LoadFromFile(const std::string& path, bool copies = true);
  const std::string& LoadError() const { return Error; }
  bool HasImage() const { return DisplayBitmap != nullptr; }
  // The display copy's size, also for an item loaded without copies;
  // 0 x 0 for a file that could not be read.
  TSize DisplaySize() const;

  // Changes whenever the copies change (load, rotation); unique across items,
  // so the overlay can tell which items it has already drawn.
  std::uint64_t ImageGeneration() const { return Generation; }

  const std::string& GetFileName() const { return FileName; }
  // Keeps the path of a photo that could not be found when it was loaded
  // again, so the project still names it.
  void KeepFileName(const std::string& path) {
    if (FileName.empty()) FileName = path;
  }
  const TBitmap24* GetDisplayBitmap() const { return DisplayBitmap.get(); }
  // The photo's luma, reduced as the alignment's refinement cuts it, from
  // the display copy's decode: the refinement then decodes nothing. Null
  // when the photo is not a plain JPEG or was loaded without copies.
  std::shared_ptr<const TIKReducedGrey> GetReducedGrey() const { return Reduced; }
  const TBitmap24* GetMonoBitmap() const { return MonoBitmap.get(); }

  // Opaque copy of the display copy with its top-left at Offset.
  void DrawTo(TBitmap24& target) const;
  // Both blend the monochrome copy into the target by
  // d = Round(|grey - target red| * factor); zero on either side is skipped.
  void DrawMonoDark(TBitmap24& target, double factor) const;
  void DrawMonoRed(TBitmap24& target, double factor) const;

 private:
  void Rotate(std::int32_t difference);
  template <bool kRed>
  void BlendMono(TBitmap24& target, double factor) const;

  TItemId Id = 0;
  std::string ItemName;
  std::int32_t Index = -1;
  bool Selected = false;
  std::unique_ptr<TBitmap24> DisplayBitmap;
  std::unique_ptr<TBitmap24> MonoBitmap;
  std::shared_ptr<const TIKReducedGrey> Reduced;
  std::string FileName;
  bool MonoVisible = true;
  TPoint Offset;
  TPointF Fine;
  std::int32_t Rotation = 0;
  double Scale = 0.3;
  std::string Error;
  std::uint64_t Generation = 0;
  TSize Header;  // the upright photo's size in source pixels
};

// Lightens a greyscale copy in place: c + 80 below 176, else 255.
void LightenMono(TBitmap24& bitmap);
// The lightened greyscale of 0xAARRGGBB pixels (`stride` pixels a row), as
// an item's monochrome copy is made; 0 where the alpha is 0.
TBitmap24 MonoFromArgb(const std::uint32_t* pixels, int width, int height, std::size_t stride);
// Blends a lightened greyscale picture into the target, its top-left at
// `at`, as the items' monochrome copies are blended: d = Round(|grey -
// target red| * factor), zero on either side skipped; every byte falls by
// d, except that red rises by it when `red`.
void BlendMonoPicture(const TBitmap24& source, TBitmap24& target, TPoint at, double factor,
                      bool red);

}  // namespace kalvane
