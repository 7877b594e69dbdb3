#pragma once

#include <string>
#include <vector>

#include "cli/BatchManifest.h"
#include "cli/BatchShard.h"

namespace kalvane::cli {

struct TBatchOptions {
  std::string OutDir;
  TShard Shard;
  int Jobs = 1;
  bool Force = false;
  bool DryRun = false;
  std::string Version;
};

// Runs the products of the shard, `Jobs` at once, each in a process of
// its own (so a crash or a kill ends that product alone, and each has its
// log, OUTDIR/ID/batch.log); a product done earlier is skipped, one that
// another run holds is left to it. Appends a line per product to
// OUTDIR/report-I-of-N.jsonl. The exit status: 0 when every product is
// ok or done earlier, 1 otherwise (those named on stderr).
int RunBatch(const std::vector<TBatchProduct>& products, const TBatchOptions& options);

}  // namespace kalvane::cli
