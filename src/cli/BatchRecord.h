#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "cli/BatchManifest.h"

namespace kalvane::cli {

// What a product's result depends on: its manifest line as parsed, the
// program's version, and every input photo's path, size and modification
// time (a project's file and the photos it names). 16 hex digits.
std::string Fingerprint(const TBatchProduct& product, const std::string& version);

// The files a product reads: the photos its folders give (the kinds the
// preparation reads when it prepares them, else those a project takes),
// or the project and its photos. A path that gives nothing is listed as
// it is, so a missing one changes the fingerprint when it appears.
std::vector<std::string> ProductInputs(const TBatchProduct& product);

struct TOutputRecord {
  std::string Kind;
  std::string Path;
  std::int64_t Bytes = 0;
};

// A product's result.json.
struct TProductRecord {
  std::string Id;
  bool Ok = false;
  std::vector<TOutputRecord> Outputs;
  double Seconds = 0;
  std::string Error;  // when failed: which step, which file, why
  std::string Step;   // the step that failed
  std::string Fingerprint;
  std::string Version;
};
std::string RecordJson(const TProductRecord& record);
std::optional<TProductRecord> ReadRecordJson(const std::string& text);

// One line of a shard's report: ok, failed, done-earlier or busy.
struct TReportEntry {
  std::string Id;
  std::string Status;
  double Seconds = 0;
  std::string Fingerprint;
  std::string Error;
  std::string Host;
  std::string Time;  // when it ended, UTC, ISO 8601
};
std::string ReportLine(const TReportEntry& entry);
// Appended in one write, so lines of runs on one report never mix.
TResult AppendToReport(const std::string& path, const std::string& line);

// The bytes of an output: a file's size, a folder's files together
// (links not followed); -1 when it is not there.
std::int64_t OutputBytes(const std::string& path);

// Why the product in `folder` (with a trailing "/") must be made; empty
// when it is done: its result.json ok, of the same fingerprint, every
// output there (a file of the size it had).
std::string WhyRun(const TBatchProduct& product, const std::string& folder,
                   const std::string& fingerprint);

// The lock that keeps two runs from making one product at once: an flock
// on a file in the product's folder, which NFS passes on to its server.
// It goes with the last process holding it, however it ended.
class TProductLock {
 public:
  static constexpr const char* kName = ".kalvane-batch.lock";
  enum class TState { Taken, Busy, Failed };
  TProductLock() = default;
  ~TProductLock();
  TProductLock(const TProductLock&) = delete;
  TProductLock& operator=(const TProductLock&) = delete;
  // Without waiting; Failed with Error() when the file cannot be had.
  TState Take(const std::string& folder);
  void Release();
  int Handle() const { return Fd; }
  const std::string& Error() const { return Reason; }

 private:
  int Fd = -1;
  std::string Reason;
};

}  // namespace kalvane::cli
