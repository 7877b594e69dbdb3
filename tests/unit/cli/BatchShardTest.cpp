#include "cli/BatchShard.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace kalvane::cli {
namespace {

// An environment of the variables given, and no others.
TEnvironment Env(std::map<std::string, std::string> vars) {
  return [vars = std::move(vars)](const char* name) -> const char* {
    const auto it = vars.find(name);
    return it == vars.end() ? nullptr : it->second.c_str();
  };
}

std::string Shard(const std::map<std::string, std::string>& vars) {
  std::string error;
  const std::optional<TShard> s = ShardFromEnvironment(Env(vars), error);
  if (!s) return "error: " + error;
  return std::to_string(s->Index) + "/" + std::to_string(s->Count) + " " + s->Source;
}

TEST(BatchShard, TheHashIsFnv1a64OfTheIdsBytes) {
  EXPECT_EQ(IdHash(""), 0xcbf29ce484222325ULL);
  EXPECT_EQ(IdHash("a"), 0xaf63dc4c8601ec8cULL);
  EXPECT_EQ(IdHash("foobar"), 0x85944171f73967e8ULL);
}

TEST(BatchShard, EveryIdFallsInOneShardWhateverElseIsInTheManifest) {
  for (const std::uint64_t n : {1u, 2u, 3u, 7u}) {
    for (int i = 0; i < 300; ++i) {
      const std::string id = "product-" + std::to_string(i);
      int taken = 0;
      for (std::uint64_t k = 0; k < n; ++k)
        taken += TShard{k, n, ""}.Takes(id) ? 1 : 0;
      EXPECT_EQ(taken, 1) << id << " in " << n << " shards";
    }
  }
}

TEST(BatchShard, TheShardOption) {
  std::string error;
  const std::optional<TShard> s = ParseShard("2/3", error);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Index, 2u);
  EXPECT_EQ(s->Count, 3u);
  for (const char* bad : {"3/3", "1/0", "-1/2", "1", "1/2/3", "a/2", "1/ 2", ""}) {
    EXPECT_FALSE(ParseShard(bad, error)) << bad;
    EXPECT_NE(error.find("--shard takes I/N"), std::string::npos);
  }
}

TEST(BatchShard, EachEnginesEnvironment) {
  EXPECT_EQ(Shard({}), "0/1 ");
  EXPECT_EQ(Shard({{"SLURM_ARRAY_TASK_ID", "2"},
                   {"SLURM_ARRAY_TASK_MIN", "0"},
                   {"SLURM_ARRAY_TASK_COUNT", "3"}}),
            "2/3 SLURM_ARRAY_TASK_ID");
  EXPECT_EQ(Shard({{"SLURM_ARRAY_TASK_ID", "1"}, {"SLURM_ARRAY_TASK_COUNT", "2"}}),
            "1/2 SLURM_ARRAY_TASK_ID");
  // An array numbered from 1, and one with a step, count their tasks from 0.
  EXPECT_EQ(Shard({{"SLURM_ARRAY_TASK_ID", "1"},
                   {"SLURM_ARRAY_TASK_MIN", "1"},
                   {"SLURM_ARRAY_TASK_COUNT", "3"}}),
            "0/3 SLURM_ARRAY_TASK_ID");
  EXPECT_EQ(Shard({{"SLURM_ARRAY_TASK_ID", "14"},
                   {"SLURM_ARRAY_TASK_MIN", "10"},
                   {"SLURM_ARRAY_TASK_STEP", "2"},
                   {"SLURM_ARRAY_TASK_COUNT", "3"}}),
            "2/3 SLURM_ARRAY_TASK_ID");
  EXPECT_EQ(Shard({{"JOB_COMPLETION_INDEX", "4"}, {"KALVANE_SHARD_COUNT", "5"}}),
            "4/5 JOB_COMPLETION_INDEX");
  EXPECT_EQ(Shard({{"AWS_BATCH_JOB_ARRAY_INDEX", "0"}, {"AWS_BATCH_JOB_ARRAY_SIZE", "2"}}),
            "0/2 AWS_BATCH_JOB_ARRAY_INDEX");
  EXPECT_EQ(Shard({{"CLOUD_RUN_TASK_INDEX", "9"}, {"CLOUD_RUN_TASK_COUNT", "10"}}),
            "9/10 CLOUD_RUN_TASK_INDEX");
  // Slurm comes first when a job somehow has two.
  EXPECT_EQ(Shard({{"CLOUD_RUN_TASK_INDEX", "1"},
                   {"CLOUD_RUN_TASK_COUNT", "2"},
                   {"SLURM_ARRAY_TASK_ID", "0"},
                   {"SLURM_ARRAY_TASK_MIN", "0"},
                   {"SLURM_ARRAY_TASK_COUNT", "1"}}),
            "0/1 SLURM_ARRAY_TASK_ID");
}

TEST(BatchShard, AnIncompleteOrOutOfRangeEnvironmentIsRefused) {
  EXPECT_EQ(Shard({{"JOB_COMPLETION_INDEX", "0"}}),
            "error: the shard from the environment: KALVANE_SHARD_COUNT is not set (a Kubernetes "
            "Indexed Job gives no count: set KALVANE_SHARD_COUNT to its completions, or give "
            "--shard I/N)");
  EXPECT_EQ(Shard({{"SLURM_ARRAY_TASK_ID", "5"},
                   {"SLURM_ARRAY_TASK_MIN", "1"},
                   {"SLURM_ARRAY_TASK_COUNT", "3"}}),
            "error: the shard from the environment: SLURM_ARRAY_TASK_ID=5 (from 1) is not below "
            "SLURM_ARRAY_TASK_COUNT=3; number the tasks 0 to N-1 in one even range, or give "
            "--shard I/N");
  EXPECT_NE(Shard({{"AWS_BATCH_JOB_ARRAY_INDEX", "x"}, {"AWS_BATCH_JOB_ARRAY_SIZE", "2"}})
                .find("AWS_BATCH_JOB_ARRAY_INDEX=x is not a whole number"),
            std::string::npos);
  EXPECT_NE(Shard({{"CLOUD_RUN_TASK_INDEX", "0"}, {"CLOUD_RUN_TASK_COUNT", "0"}}).find("error"),
            std::string::npos);
}

}  // namespace
}  // namespace kalvane::cli
