#pragma once

#include <cstdint>
#include <vector>

#include "swf/SWFObject.h"

namespace kalvane {

class TFlashMovie;

// A movie object (level 1): it knows its movie and writes its own tags.
class TFlashObject : public TBasedSWFObject {
 public:
  int ObjectLevel() const override { return 1; }
  virtual void OwnerChanged() {}
  void SetOwner(TFlashMovie* owner);
  TFlashMovie* Owner() const { return OwnerMovie; }

 private:
  TFlashMovie* OwnerMovie = nullptr;
};

// A movie object with a character id.
class TFlashIDObject : public TFlashObject {
 public:
  virtual std::uint16_t GetCharId() const { return CharId; }
  virtual void SetCharId(std::uint16_t id) { CharId = id; }

 private:
  std::uint16_t CharId = 0;
};

// A character drawn in the movie's units (pixels scale by 20 to twips).
class TFlashVisualObject : public TFlashIDObject {
 public:
  bool IgnoreMovieUnits = false;
  std::int32_t UnitMultiplier() const;
};

// Objects the movie owns, indexed by kind; the list does not own them.
template <typename T>
class TFlashObjectList {
 public:
  void Add(T* object) { Objects.push_back(object); }
  int Count() const { return static_cast<int>(Objects.size()); }
  T* operator[](int i) const { return Objects[static_cast<std::size_t>(i)]; }
  auto begin() const { return Objects.begin(); }
  auto end() const { return Objects.end(); }

 private:
  std::vector<T*> Objects;
};

}  // namespace kalvane
