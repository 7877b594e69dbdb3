#include "cli/BatchRecord.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "TestImages.h"

namespace kalvane::cli {
namespace {

namespace fs = std::filesystem;

TBatchProduct Product(const std::string& folder) {
  const TManifest m =
      ParseManifest(R"({"id": "mug", "photos": ["shots"], "outputs": ["swf", "frames"]})", folder);
  return m.Products.at(0);
}

TEST(BatchRecord, ResultJsonExactly) {
  TProductRecord r;
  r.Id = "mug";
  r.Ok = true;
  r.Outputs = {{"swf", "/out/mug/veldata.swf", 1234}, {"frames", "/out/mug/frames", 56}};
  r.Seconds = 12.34567;
  r.Fingerprint = "0123456789abcdef";
  r.Version = "0.1.0";
  const std::string ok =
      "{\n"
      "  \"id\": \"mug\",\n"
      "  \"status\": \"ok\",\n"
      "  \"outputs\": [\n"
      "    {\n"
      "      \"kind\": \"swf\",\n"
      "      \"path\": \"/out/mug/veldata.swf\",\n"
      "      \"bytes\": 1234\n"
      "    },\n"
      "    {\n"
      "      \"kind\": \"frames\",\n"
      "      \"path\": \"/out/mug/frames\",\n"
      "      \"bytes\": 56\n"
      "    }\n"
      "  ],\n"
      "  \"seconds\": 12.346,\n"
      "  \"fingerprint\": \"0123456789abcdef\",\n"
      "  \"version\": \"0.1.0\"\n"
      "}\n";
  EXPECT_EQ(RecordJson(r), ok);
  r.Ok = false;
  r.Outputs.clear();
  r.Seconds = 0.5;
  r.Step = "photos";
  r.Error = "photos: /shots/mug: no such file or folder";
  EXPECT_EQ(RecordJson(r),
            "{\n  \"id\": \"mug\",\n  \"status\": \"failed\",\n  \"outputs\": [],\n"
            "  \"seconds\": 0.5,\n  \"error\": \"photos: /shots/mug: no such file or folder\",\n"
            "  \"step\": \"photos\",\n  \"fingerprint\": \"0123456789abcdef\",\n"
            "  \"version\": \"0.1.0\"\n}\n");
  const std::optional<TProductRecord> back = ReadRecordJson(RecordJson(r));
  ASSERT_TRUE(back);
  EXPECT_FALSE(back->Ok);
  EXPECT_EQ(back->Error, r.Error);
  EXPECT_EQ(back->Fingerprint, r.Fingerprint);
  EXPECT_FALSE(ReadRecordJson("{\"id\": \"mug\", \"status\": \"ok\""));
  EXPECT_FALSE(ReadRecordJson("{\"id\": 3, \"status\": \"ok\", \"fingerprint\": \"x\"}"));
}

TEST(BatchRecord, ReportLinesExactlyAppendedOneByOne) {
  test::TempDir dir;
  const std::string report = dir.File("report-1-of-3.jsonl");
  const std::string a =
      ReportLine({"mug", "ok", 1.25, "00ff", "", "node1", "2025-01-02T03:04:05Z"});
  EXPECT_EQ(a,
            "{\"id\":\"mug\",\"status\":\"ok\",\"seconds\":1.25,\"fingerprint\":\"00ff\","
            "\"host\":\"node1\",\"time\":\"2025-01-02T03:04:05Z\"}\n");
  const std::string b = ReportLine({"cup", "busy", 0, "", "another run is making it", "n", "t"});
  EXPECT_EQ(b,
            "{\"id\":\"cup\",\"status\":\"busy\",\"seconds\":0.0,\"error\":\"another run is making "
            "it\",\"host\":\"n\",\"time\":\"t\"}\n");
  ASSERT_TRUE(test::Ok(AppendToReport(report, a)));
  ASSERT_TRUE(test::Ok(AppendToReport(report, b)));
  EXPECT_EQ(test::ReadText(report), a + b);
  fs::create_symlink(report, dir.File("link.jsonl"));
  EXPECT_FALSE(AppendToReport(dir.File("link.jsonl"), a).Ok()) << "a link is never written through";
}

TEST(BatchRecord, TheFingerprintFollowsPhotosLineAndVersion) {
  test::TempDir dir;
  fs::create_directory(dir.File("shots"));
  test::WriteSolid(dir.File("shots/1.jpg"), 8, 8, 1, 2, 3);
  test::WriteSolid(dir.File("shots/2.jpg"), 8, 8, 1, 2, 3);
  const TBatchProduct p = Product(dir.Path());
  const std::string first = Fingerprint(p, "1.0");
  EXPECT_EQ(first.size(), 16u);
  EXPECT_EQ(Fingerprint(p, "1.0"), first) << "nothing changed";
  EXPECT_NE(Fingerprint(p, "1.1"), first) << "a new version";

  TBatchProduct edited = p;
  edited.Canonical += " ";
  EXPECT_NE(Fingerprint(edited, "1.0"), first) << "a line edited";

  const timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 5}};
  ASSERT_EQ(utimensat(AT_FDCWD, dir.File("shots/2.jpg").c_str(), times, 0), 0);
  const std::string touched = Fingerprint(p, "1.0");
  EXPECT_NE(touched, first) << "a photo touched";

  test::WriteSolid(dir.File("shots/3.png"), 8, 8, 1, 2, 3);
  EXPECT_NE(Fingerprint(p, "1.0"), touched) << "a photo added";
  std::ofstream(dir.File("shots/notes.txt")) << "not a photo";
  EXPECT_EQ(ProductInputs(p).size(), 3u);
}

TEST(BatchRecord, AProductIsDoneOnlyWithItsOkResultAndEveryOutput) {
  test::TempDir dir;
  fs::create_directory(dir.File("shots"));
  test::WriteSolid(dir.File("shots/1.jpg"), 8, 8, 1, 2, 3);
  const TBatchProduct p = Product(dir.Path());
  const std::string folder = dir.File("out/mug/");
  fs::create_directories(folder + "frames");
  EXPECT_EQ(WhyRun(p, folder, "f1"), "not made yet");

  std::ofstream(folder + "veldata.swf") << "12345";
  std::ofstream(folder + "frames/001.jpg") << "123";
  EXPECT_EQ(OutputBytes(folder + "frames"), 3);
  EXPECT_EQ(OutputBytes(folder + "none"), -1);
  TProductRecord r;
  r.Id = "mug";
  r.Ok = true;
  r.Outputs = {{"swf", folder + "veldata.swf", 5}, {"frames", folder + "frames", 3}};
  r.Fingerprint = "f1";
  std::ofstream(folder + "result.json") << RecordJson(r);
  EXPECT_EQ(WhyRun(p, folder, "f1"), "");
  EXPECT_EQ(WhyRun(p, folder, "f2"), "its line, photos or the program changed");

  std::ofstream(folder + "veldata.swf") << "123456";
  EXPECT_EQ(WhyRun(p, folder, "f1"), "veldata.swf was changed");
  fs::remove(folder + "veldata.swf");
  EXPECT_EQ(WhyRun(p, folder, "f1"), "veldata.swf is missing");

  r.Ok = false;
  std::ofstream(folder + "result.json") << RecordJson(r);
  EXPECT_EQ(WhyRun(p, folder, "f1"), "it failed the last time");
  std::ofstream(folder + "result.json") << "{";
  EXPECT_EQ(WhyRun(p, folder, "f1"), "its result.json cannot be read");
}

TEST(BatchRecord, TheLockKeepsASecondRunOutUntilTheHolderIsGone) {
  test::TempDir dir;
  TProductLock first;
  ASSERT_EQ(first.Take(dir.Path()), TProductLock::TState::Taken);
  TProductLock second;
  EXPECT_EQ(second.Take(dir.Path()), TProductLock::TState::Busy);
  first.Release();
  EXPECT_EQ(second.Take(dir.Path()), TProductLock::TState::Taken);
  second.Release();

  // Held by another process, then that process killed: free again.
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TProductLock held;
    const char state = held.Take(dir.Path()) == TProductLock::TState::Taken ? 't' : 'x';
    if (write(ready[1], &state, 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  char state = 0;
  ASSERT_EQ(read(ready[0], &state, 1), 1);
  EXPECT_EQ(state, 't');
  EXPECT_EQ(second.Take(dir.Path()), TProductLock::TState::Busy);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(second.Take(dir.Path()), TProductLock::TState::Taken);
  close(ready[0]);
  close(ready[1]);

  EXPECT_EQ(TProductLock().Take(dir.File("no/such/folder")), TProductLock::TState::Failed);
}

}  // namespace
}  // namespace kalvane::cli
