#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kalvane::cli {

// FNV-1a, 64 bits, over the bytes (offset basis 0xcbf29ce484222325,
// prime 0x100000001b3): stable across runs, machines and versions.
std::uint64_t Fnv1a64(const std::string& bytes);
// The hash of a product's id that picks its shard. Adding products never
// moves the others.
inline std::uint64_t IdHash(const std::string& id) {
  return Fnv1a64(id);
}

// One of N copies of the command, each taking the products whose hash
// mod N is its index.
struct TShard {
  std::uint64_t Index = 0;
  std::uint64_t Count = 1;
  // Where it came from ("--shard", "SLURM_ARRAY_TASK_ID", ...); empty: the
  // whole manifest.
  std::string Source;
  bool Takes(const std::string& id) const { return IdHash(id) % Count == Index; }
};

// "I/N" with 0 <= I < N; empty with `error` set otherwise.
std::optional<TShard> ParseShard(const std::string& text, std::string& error);

// The shard an array job's engine gives this copy through its environment:
// Slurm (SLURM_ARRAY_TASK_ID - SLURM_ARRAY_TASK_MIN of
// SLURM_ARRAY_TASK_COUNT), Kubernetes Indexed Jobs (JOB_COMPLETION_INDEX
// of KALVANE_SHARD_COUNT), AWS Batch (AWS_BATCH_JOB_ARRAY_INDEX of
// AWS_BATCH_JOB_ARRAY_SIZE), Cloud Run (CLOUD_RUN_TASK_INDEX of
// CLOUD_RUN_TASK_COUNT); the first found counts. None: the whole
// manifest. Empty with `error` set when one is found but incomplete or
// out of range. `env` reads a variable (nullptr when not set).
using TEnvironment = std::function<const char*(const char*)>;
std::optional<TShard> ShardFromEnvironment(const TEnvironment& env, std::string& error);

}  // namespace kalvane::cli
