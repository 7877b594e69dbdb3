#include "cli/BatchShard.h"

#include <charconv>

namespace kalvane::cli {

namespace {

std::optional<std::uint64_t> Count(const std::string& text) {
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The engines, in the order they are looked for: the index's variable,
// the one it is counted from (none: 0), and the count's.
struct TEngine {
  const char* Index;
  const char* Minimum;
  const char* Count;
  const char* Hint;  // how to give a missing count
};
constexpr TEngine kEngines[] = {
    {"SLURM_ARRAY_TASK_ID", "SLURM_ARRAY_TASK_MIN", "SLURM_ARRAY_TASK_COUNT",
     "run it as an array job (sbatch --array=0-N)"},
    {"JOB_COMPLETION_INDEX", nullptr, "KALVANE_SHARD_COUNT",
     "a Kubernetes Indexed Job gives no count: set KALVANE_SHARD_COUNT to its completions"},
    {"AWS_BATCH_JOB_ARRAY_INDEX", nullptr, "AWS_BATCH_JOB_ARRAY_SIZE",
     "set AWS_BATCH_JOB_ARRAY_SIZE to the array's size"},
    {"CLOUD_RUN_TASK_INDEX", nullptr, "CLOUD_RUN_TASK_COUNT",
     "set CLOUD_RUN_TASK_COUNT to the job's tasks"},
};

std::optional<std::uint64_t> Variable(const TEnvironment& env, const char* name,
                                      std::string& error) {
  const char* value = env(name);
  if (!value || !*value) {
    error = std::string(name) + " is not set";
    return std::nullopt;
  }
  const std::optional<std::uint64_t> n = Count(value);
  if (!n) error = std::string(name) + "=" + value + " is not a whole number from 0";
  return n;
}

}  // namespace

std::uint64_t Fnv1a64(const std::string& bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

std::optional<TShard> ParseShard(const std::string& text, std::string& error) {
  const std::size_t slash = text.find('/');
  const std::optional<std::uint64_t> index =
      slash == std::string::npos ? std::nullopt : Count(text.substr(0, slash));
  const std::optional<std::uint64_t> count =
      slash == std::string::npos ? std::nullopt : Count(text.substr(slash + 1));
  if (!index || !count || *count == 0 || *index >= *count) {
    error = "--shard takes I/N: whole numbers with 0 <= I < N (" + text + ")";
    return std::nullopt;
  }
  return TShard{*index, *count, "--shard"};
}

std::optional<TShard> ShardFromEnvironment(const TEnvironment& env, std::string& error) {
  for (const TEngine& engine : kEngines) {
    const char* given = env(engine.Index);
    if (!given || !*given) continue;
    std::string why;
    const std::optional<std::uint64_t> id = Variable(env, engine.Index, why);
    const std::optional<std::uint64_t> count = id ? Variable(env, engine.Count, why) : std::nullopt;
    // An array's first number is 0 unless the engine says otherwise.
    std::optional<std::uint64_t> minimum = 0;
    if (count && engine.Minimum && env(engine.Minimum))
      minimum = Variable(env, engine.Minimum, why);
    if (!id || !count || !minimum) {
      error =
          "the shard from the environment: " + why + " (" + engine.Hint + ", or give --shard I/N)";
      return std::nullopt;
    }
    std::uint64_t index = *id - *minimum;
    // An array with a step (--array=0-10:2) counts its tasks one by one.
    if (const char* step = env("SLURM_ARRAY_TASK_STEP"); engine.Minimum && step) {
      const std::optional<std::uint64_t> s = Count(step);
      if (s && *s > 1 && index % *s == 0) index /= *s;
    }
    if (*id < *minimum || *count == 0 || index >= *count) {
      error = "the shard from the environment: " + std::string(engine.Index) + "=" + given +
              (engine.Minimum ? " (from " + std::to_string(*minimum) + ")" : "") +
              " is not below " + engine.Count + "=" + std::to_string(*count) +
              "; number the tasks 0 to N-1 in one even range, or give --shard I/N";
      return std::nullopt;
    }
    return TShard{index, *count, engine.Index};
  }
  return TShard{};
}

}  // namespace kalvane::cli
