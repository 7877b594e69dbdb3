#pragma once

namespace kalvane {

// The box as fractions of the image area: left, top, right, bottom.
struct TRelBox {
  double p1x = 0, p1y = 0, p2x = 0, p2y = 0;
  bool operator==(const TRelBox&) const = default;
};
inline constexpr TRelBox kDefaultRelBox{0.05, 0.05, 0.95, 0.95};

// The trimming box: one rectangle for the project, kept as fractions of the
// image area. Its handles on screen and their drag rules are the editor's.
class TBandManagement {
 public:
  // Whatever a project file holds arrives here: each pair is put in order
  // and clamped to 0..1, and a value that is not a number takes the
  // default box's.
  void SetRelBox(const TRelBox& box);
  TRelBox GetRelBox() const { return RelBox; }

 private:
  TRelBox RelBox = kDefaultRelBox;
};

}  // namespace kalvane
