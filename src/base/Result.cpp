#include "base/Result.h"

namespace kalvane {

TResult TResult::Fail(TErrorCode code, std::string detail) {
  TResult result;
  result.SetFailure(code, std::move(detail));
  return result;
}

TResult& TResult::SetFailure(TErrorCode code, std::string detail) {
  // A failure always has a code, so Ok() cannot be true for it.
  Code = code == TErrorCode::None ? TErrorCode::Internal : code;
  Error = std::move(detail);
  return *this;
}

}  // namespace kalvane
