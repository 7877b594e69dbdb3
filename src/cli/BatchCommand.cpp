// kalvane-cli batch: many products from a manifest, on one machine or as
// one of many copies an array job starts.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "cli/BatchManifest.h"
#include "cli/BatchRun.h"
#include "cli/BatchShard.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"

namespace kalvane::cli {

namespace {

constexpr int kMostJobs = 64;
// Enough to find a pattern in; the rest are counted.
constexpr std::size_t kErrorsShown = 50;

}  // namespace

int Batch(const std::vector<std::string>& args) {
  TCommandLine line;
  std::vector<std::string> manifests;
  std::string output, shardText, jobsText;
  TBatchOptions o;
  line.Arguments(manifests);
  line.Value("-o,--output", output, "a folder");
  line.Value("--shard", shardText, "I/N");
  line.Value("--jobs", jobsText, "a number");
  line.Flag("--force", o.Force);
  line.Flag("--dry-run", o.DryRun);
  if (const auto rc = line.Parse(args)) return *rc;
  if (manifests.size() != 1) return BadUsage("batch takes one MANIFEST.jsonl");
  if (output.empty()) return BadUsage("batch needs -o OUTDIR");
  o.OutDir = output;
  if (line.Given("--jobs")) {
    const std::optional<int> jobs = WholeNumber(jobsText, 1, kMostJobs);
    if (!jobs) return BadUsage("--jobs must be a whole number from 1 to 64");
    o.Jobs = *jobs;
  }
  std::string error;
  const std::optional<TShard> shard =
      line.Given("--shard")
          ? ParseShard(shardText, error)
          : ShardFromEnvironment([](const char* name) { return std::getenv(name); }, error);
  if (!shard) return BadUsage(error);
  o.Shard = *shard;
  o.Version = KALVANE_VERSION;

  const std::string& path = manifests.front();
  std::ifstream in(path, std::ios::binary);
  std::error_code ec;
  if (!in || std::filesystem::is_directory(path, ec))
    return BadUsage(path + ": cannot read the manifest");
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::string folder = std::filesystem::absolute(path, ec).parent_path().string();
  const TManifest manifest = ParseManifest(text, folder);
  if (!manifest.Errors.empty()) {
    for (std::size_t i = 0; i < manifest.Errors.size() && i < kErrorsShown; ++i) {
      const TManifestError& e = manifest.Errors[i];
      std::cerr << path << ":" << e.Line << ":" << e.Column << ": " << e.Message << "\n";
    }
    if (manifest.Errors.size() > kErrorsShown)
      std::cerr << "... and " << manifest.Errors.size() - kErrorsShown << " more\n";
    std::cerr << "kalvane-cli: " << manifest.Errors.size() << " error"
              << (manifest.Errors.size() == 1 ? "" : "s") << " in the manifest; nothing was run\n";
    return kUsage;
  }
  if (manifest.Products.empty()) std::cerr << "kalvane-cli: " << path << ": no products\n";
  return RunBatch(manifest.Products, o);
}

}  // namespace kalvane::cli
