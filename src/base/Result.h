#pragma once

#include <string>

namespace kalvane {

// What kind of failure; the detail says which file and what the system said.
enum class TErrorCode {
  None,
  Cancelled,     // the user stopped it
  NoItems,       // the project has no items
  BadSetting,    // a width, box or scale that cannot make a frame
  TooManyItems,  // more frames than a movie holds
  NotFound,      // a file or folder that is not there
  Unreadable,    // a file that cannot be read or decoded
  WriteFailed,   // a file or folder that cannot be written
  Busy,          // a lock that cannot be taken
  ToolFailed,    // a program the export runs is missing or failed
  UnsafeFolder,  // a folder no export may write into (the root, a system folder)
  WouldReplace,  // files of other origin the user has not agreed to replace
  Internal,      // no memory, no thread, an unexpected error
};

// The outcome of every operation that can fail: nothing (success), or an
// error code with the detail. Operations with more to report derive.
struct TResult {
  TErrorCode Code = TErrorCode::None;
  std::string Error;  // empty on success

  bool Ok() const { return Code == TErrorCode::None; }
  static TResult Fail(TErrorCode code, std::string detail);
  // Makes this a failure; returns it for `return result.Fail(...)`.
  TResult& SetFailure(TErrorCode code, std::string detail);
};

}  // namespace kalvane
