#pragma once

#include <string>
#include <utility>
#include <vector>

#include "base/Result.h"

namespace kalvane {

// What stopped a shoot's preparation or one of its photos, so a window can
// say it in its own words; the result's Error says it in English.
enum class TPrepFault {
  None,
  // The run.
  NoPhotos,
  NoFolder,
  NotAFolder,
  UnsafeFolder,  // Other: "home" for the home folder itself, else a system folder
  BadGeometry,
  BadReference,
  BadTemplate,  // Other: what is wrong, or the unknown field
  NoName,
  BadName,   // a "\" or a control character in the name made; Other: the name
  SameName,  // Other: the photo taking the name first
  WriteProtected,
  Original,
  EarlierRun,  // Names: the earlier run's files
  NotOurs,     // Names: files of the same names no run of ours wrote
  CannotMakeFolder,
  Cancelled,
  // A photo (a run stops with one for its reference photo).
  Missing,
  NotAnImage,
  CutOff,
  TooLarge,
  OtherShape,  // not the frame of the reference photo
  WriteFailed,
};

struct TPrepResult : TResult {
  TPrepFault Fault = TPrepFault::None;
  std::string Subject;  // the photo, file or folder it is about
  std::string Other;
  std::vector<std::string> Names;

  static TPrepResult Fail(TErrorCode code, TPrepFault fault, std::string subject,
                          std::string detail, std::string other = {}) {
    TPrepResult r;
    r.SetFailure(code, std::move(detail));
    r.Fault = fault;
    r.Subject = std::move(subject);
    r.Other = std::move(other);
    return r;
  }
};

}  // namespace kalvane
