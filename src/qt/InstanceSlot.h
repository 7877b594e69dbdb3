#pragma once

#include <memory>
#include <string>

class QLockFile;

namespace kalvane::qt {

// Which of the copies of a program the user runs at once this one is: 0
// for the first. Each copy holds a lock file in `folder` for its number
// while it lives; one that ended, even by a crash, frees its number. A
// window of a later copy is placed Offset() further down and right, so two
// copies never lie exactly on top of each other.
class TInstanceSlot {
 public:
  TInstanceSlot(const std::string& program, const std::string& folder);
  ~TInstanceSlot();
  TInstanceSlot(const TInstanceSlot&) = delete;
  TInstanceSlot& operator=(const TInstanceSlot&) = delete;

  int Number() const { return Slot; }
  // Pixels right and down from the place the window keeps.
  int Offset() const;

 private:
  std::unique_ptr<QLockFile> Lock;
  int Slot = 0;
};

}  // namespace kalvane::qt
