#pragma once

#include <functional>
#include <string>

#include "cli/BatchManifest.h"
#include "cli/BatchRecord.h"

namespace kalvane::cli {

// Makes one product in `folder` (its own, with a trailing "/") the way the
// single commands do, one step after another: the photos found, prepared
// when asked (into prepared/), the project ID.vpj, then every output with
// its fixed name. A failed output does not stop the others. `onStep` is
// told each step as it begins. What the steps say goes to stdout and
// stderr; a failed step's error is taken from what it said there when
// stderr is a file (the product's log). The record lacks the seconds,
// the fingerprint and the version.
TProductRecord MakeProduct(const TBatchProduct& product, const std::string& folder,
                           const std::function<void(const std::string& step)>& onStep);

}  // namespace kalvane::cli
