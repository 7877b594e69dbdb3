#include "qt/InstanceSlot.h"

#include <QLockFile>
#include <QString>

namespace kalvane::qt {

namespace {

constexpr int kSlots = 16;
constexpr int kStep = 32;  // about a title bar's height

}  // namespace

TInstanceSlot::TInstanceSlot(const std::string& program, const std::string& folder) {
  if (folder.empty()) return;
  for (int n = 0; n < kSlots; ++n) {
    auto lock = std::make_unique<QLockFile>(QString::fromStdString(
        folder + (folder.back() == '/' ? "" : "/") + program + "-" + std::to_string(n) + ".lock"));
    // Only a lock whose holder is gone counts as stale, however old.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
      Lock = std::move(lock);
      Slot = n;
      return;
    }
  }
}

TInstanceSlot::~TInstanceSlot() = default;

int TInstanceSlot::Offset() const {
  // Past the sixth copy it starts again from the top left.
  return kStep * (Slot % 6);
}

}  // namespace kalvane::qt
