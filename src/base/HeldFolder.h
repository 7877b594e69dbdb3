#pragma once

#include <string>

namespace kalvane {

// A private work folder (prefix + six random characters, mode 0700), held
// by an flock for as long as this object lives, so that a later creator of
// the same prefix removes it only when its owner was killed. Removed with
// what is in it at the end, unless it was kept (renamed into place).
class THeldFolder {
 public:
  THeldFolder() = default;
  ~THeldFolder();
  THeldFolder(const THeldFolder&) = delete;
  THeldFolder& operator=(const THeldFolder&) = delete;

  // Removes the unheld folders an earlier owner of `prefix` left and makes
  // a new one. False with Error() set when it cannot; once per object.
  bool Create(const std::string& prefix);
  bool Ok() const { return Fd >= 0; }
  // Without a trailing "/"; empty unless Ok().
  const std::string& Path() const { return Folder; }
  // errno of a failed Create(), and its text.
  int Error() const { return ErrorNumber; }
  std::string Why() const;
  // The folder was moved to where it stays: it is not removed at the end.
  void Keep() { Kept = true; }

 private:
  std::string Folder;
  int Fd = -1;
  int ErrorNumber = 0;
  bool Kept = false;
};

}  // namespace kalvane
