#include "cli/BatchRun.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>

#include "base/AppUtil.h"
#include "base/AtomicFile.h"
#include "base/MarkedFolder.h"
#include "cli/BatchProduct.h"
#include "cli/BatchRecord.h"
#include "cli/CommandLine.h"

namespace kalvane::cli {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

namespace {

constexpr const char* kLogName = "batch.log";

double SecondsSince(TClock::time_point start) {
  return std::chrono::duration<double>(TClock::now() - start).count();
}

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string Duration(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

// The products done of the total, the ones in work with their steps and
// the time left: one line redrawn on a terminal, otherwise a line for each
// product as it ends.
class TBatchProgress {
 public:
  TBatchProgress(std::size_t total, int jobs)
      : Total(total), Jobs(jobs), Terminal(isatty(STDERR_FILENO)) {}
  ~TBatchProgress() { Clear(); }
  TBatchProgress(const TBatchProgress&) = delete;
  TBatchProgress& operator=(const TBatchProgress&) = delete;

  void Step(const std::string& id, const std::string& step) {
    Working[id] = step;
    Draw();
  }
  void Ended(const std::string& id, const std::string& status, double seconds,
             const std::string& error, bool made) {
    Working.erase(id);
    ++Done;
    if (made) {
      ++Made;
      MadeSeconds += seconds;
    }
    if (!Terminal || status == "failed") {
      Clear();
      char took[32];
      std::snprintf(took, sizeof took, "%.1f s", seconds);
      std::fprintf(stderr, "[%zu/%zu] %s: %s%s%s\n", Done, Total, id.c_str(), status.c_str(),
                   made ? (" in " + std::string(took)).c_str() : "",
                   error.empty() ? "" : (": " + error).c_str());
    }
    Draw();
  }
  void Draw() {
    if (!Terminal) return;
    std::string line = "[" + std::to_string(Done) + "/" + std::to_string(Total) + "]";
    std::string separator = " ";
    for (const auto& [id, step] : Working) {
      line += separator + id + ": " + step;
      separator = "; ";
    }
    if (Made > 0 && Done < Total) {
      const double left = MadeSeconds / static_cast<double>(Made) *
                          static_cast<double>(Total - Done) / std::max(Jobs, 1);
      line += " (about " + Duration(left) + " left)";
    }
    // A line wider than the terminal would wrap, and the next one be drawn under it.
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 &&
        line.size() >= size.ws_col)
      line.resize(size.ws_col - 1u);
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    Drawn = true;
  }
  void Clear() {
    if (!Drawn) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    Drawn = false;
  }

 private:
  std::size_t Total;
  int Jobs;
  bool Terminal;
  bool Drawn = false;
  std::size_t Done = 0, Made = 0;
  double MadeSeconds = 0;
  std::map<std::string, std::string> Working;
};

// A product being made by a process of its own.
struct TWork {
  std::size_t Index = 0;
  pid_t Pid = -1;
  int Pipe = -1;
  std::unique_ptr<TProductLock> Lock;
  std::string Fingerprint;
  std::string Step = "start";
  std::string Heard;
  TClock::time_point Start;
};

class TBatchRunner {
 public:
  TBatchRunner(const std::vector<const TBatchProduct*>& products, const TBatchOptions& o,
               std::string outDir)
      : Products(products),
        O(o),
        OutDir(std::move(outDir)),
        Report(OutDir + "report-" + std::to_string(o.Shard.Index) + "-of-" +
               std::to_string(o.Shard.Count) + ".jsonl"),
        Progress(products.size(), o.Jobs),
        Host(HostName()) {}

  int Run() {
    std::size_t next = 0;
    while (next < Products.size() || !Working.empty()) {
      while (static_cast<int>(Working.size()) < O.Jobs && next < Products.size())
        Begin(next++);
      if (!Working.empty()) Listen();
    }
    Progress.Clear();
    return Finish();
  }

 private:
  std::string FolderOf(const TBatchProduct& p) const { return OutDir + p.Id + "/"; }

  void Note(const TBatchProduct& p, const std::string& status, double seconds,
            const std::string& fingerprint, const std::string& error, bool made) {
    ++Counts[status];
    if (status == "failed" || status == "busy") Unfinished.push_back({p.Id, status, error});
    const TResult appended = AppendToReport(
        Report, ReportLine({p.Id, status, seconds, fingerprint, error, Host, UtcNow()}));
    if (!appended.Ok() && !ReportFailed) {
      Progress.Clear();
      std::cerr << "kalvane-cli: " << appended.Error << "\n";
      ReportFailed = true;
    }
    Progress.Ended(p.Id, status, seconds, error, made);
  }

  // Skips the product, leaves it to the run that holds it, or starts it.
  void Begin(std::size_t index) {
    const TBatchProduct& p = *Products[index];
    const TClock::time_point start = TClock::now();
    const std::string folder = FolderOf(p);
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(OutDir + p.Id, ec))) {
      return Note(p, "failed", 0, "", "folder: " + OutDir + p.Id + ": is a link, never followed",
                  false);
    }
    fs::create_directory(folder, ec);
    if (ec) return Note(p, "failed", 0, "", "folder: " + folder + ": " + ec.message(), false);
    auto lock = std::make_unique<TProductLock>();
    const TProductLock::TState state = lock->Take(folder);
    if (state == TProductLock::TState::Busy)
      return Note(p, "busy", SecondsSince(start), "", "another run is making it", false);
    if (state == TProductLock::TState::Failed)
      return Note(p, "failed", 0, "", "lock: " + lock->Error(), false);
    const std::string fingerprint = Fingerprint(p, O.Version);
    if (!O.Force && WhyRun(p, folder, fingerprint).empty())
      return Note(p, "done-earlier", SecondsSince(start), fingerprint, "", false);
    // From here until the new one is written, no result claims it done.
    fs::remove(folder + "result.json", ec);
    if (ec) return Note(p, "failed", 0, fingerprint, "result.json: " + ec.message(), false);

    int pipes[2];
    if (::pipe2(pipes, O_CLOEXEC) != 0)
      return Note(p, "failed", 0, fingerprint, std::string("pipe: ") + std::strerror(errno), false);
    // The batch itself starts no thread (it reads no photo), so the child
    // starts the image libraries afresh; what is buffered goes out once.
    std::fflush(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
      ::close(pipes[0]);
      ::close(pipes[1]);
      return Note(p, "failed", 0, fingerprint, std::string("fork: ") + std::strerror(errno), false);
    }
    if (pid == 0) {
      ::close(pipes[0]);
      for (const auto& [child, work] : Working) {
        ::close(work.Pipe);
        ::close(work.Lock->Handle());
      }
      Make(p, folder, pipes[1], parent, fingerprint, start);
    }
    ::close(pipes[1]);
    TWork& work = Working[pid];
    work.Index = index;
    work.Pid = pid;
    work.Pipe = pipes[0];
    work.Lock = std::move(lock);
    work.Fingerprint = fingerprint;
    work.Start = start;
    Progress.Step(p.Id, work.Step);
  }

  // The product's own process: its output into its log, its steps told
  // through the pipe, its result.json written last.
  [[noreturn]] void Make(const TBatchProduct& p, const std::string& folder, int pipe, pid_t parent,
                         const std::string& fingerprint, TClock::time_point start) {
    // Ends with the batch, however the batch ends. The log is read back
    // for the failures it names, so it is opened for reading too.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(125);
    const std::string log = folder + kLogName;
    ::unlink(log.c_str());
    const int fd = ::open(log.c_str(), O_RDWR | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW, 0644);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, STDIN_FILENO);
    ::dup2(fd >= 0 ? fd : null, STDOUT_FILENO);
    ::dup2(fd >= 0 ? fd : null, STDERR_FILENO);
    if (fd > STDERR_FILENO) ::close(fd);
    if (null > STDERR_FILENO) ::close(null);
    const auto tell = [pipe](const std::string& step) {
      const std::string line = "step " + step + "\n";
      if (::write(pipe, line.data(), line.size()) < 0) {
        // The batch is gone; this process follows it.
      }
    };
    TProductRecord record = MakeProduct(p, folder, tell);
    record.Seconds = SecondsSince(start);
    record.Fingerprint = fingerprint;
    record.Version = O.Version;
    const TResult written = WriteFileAtomically(folder + "result.json", RecordJson(record),
                                                TReadOnly::Refuse, TLinks::Replace);
    if (!written.Ok()) std::cerr << "kalvane-cli: " << written.Error << "\n";
    std::fflush(nullptr);
    ::_exit(!written.Ok() ? 3 : record.Ok ? 0 : 1);
  }

  // Waits for a step or an end of the products in work.
  void Listen() {
    std::vector<pollfd> fds;
    for (const auto& [pid, work] : Working)
      fds.push_back({work.Pipe, POLLIN, 0});
    // A terminal's line counts the time down even while no step changes.
    const int ready = ::poll(fds.data(), fds.size(), isatty(STDERR_FILENO) ? 1000 : -1);
    if (ready <= 0) {
      Progress.Draw();
      return;
    }
    for (const pollfd& f : fds) {
      if (f.revents == 0) continue;
      auto it = std::find_if(Working.begin(), Working.end(),
                             [&f](const auto& w) { return w.second.Pipe == f.fd; });
      char buffer[4096];
      const ssize_t got = ::read(f.fd, buffer, sizeof buffer);
      if (got > 0) {
        Heard(it->second, std::string(buffer, static_cast<std::size_t>(got)));
      } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        Ended(it->second);
        Working.erase(it);
      }
    }
  }

  void Heard(TWork& work, const std::string& bytes) {
    work.Heard += bytes;
    std::size_t end;
    while ((end = work.Heard.find('\n')) != std::string::npos) {
      const std::string line = work.Heard.substr(0, end);
      work.Heard.erase(0, end + 1);
      if (line.starts_with("step ")) {
        work.Step = line.substr(5);
        Progress.Step(Products[work.Index]->Id, work.Step);
      }
    }
  }

  void Ended(TWork& work) {
    int status = 0;
    while (::waitpid(work.Pid, &status, 0) < 0 && errno == EINTR) {
    }
    ::close(work.Pipe);
    const TBatchProduct& p = *Products[work.Index];
    const std::string folder = FolderOf(p);
    std::ifstream in(folder + "result.json", std::ios::binary);
    const std::optional<TProductRecord> record =
        ReadRecordJson({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
    if (record && record->Fingerprint == work.Fingerprint) {
      Note(p, record->Ok ? "ok" : "failed", record->Seconds, work.Fingerprint, record->Error, true);
      return;
    }
    // The process ended without its result: killed, or crashed.
    TProductRecord lost;
    lost.Id = p.Id;
    lost.Step = work.Step;
    lost.Error =
        work.Step + ": the product's process " +
        (WIFSIGNALED(status) ? "was ended by signal " + std::to_string(WTERMSIG(status))
                             : "ended with status " + std::to_string(WEXITSTATUS(status))) +
        " before it finished (see " + folder + kLogName + ")";
    lost.Seconds = SecondsSince(work.Start);
    lost.Fingerprint = work.Fingerprint;
    lost.Version = O.Version;
    WriteFileAtomically(folder + "result.json", RecordJson(lost), TReadOnly::Refuse,
                        TLinks::Replace);
    Note(p, "failed", lost.Seconds, work.Fingerprint, lost.Error, true);
  }

  int Finish() {
    for (const TUnfinished& u : Unfinished) {
      std::cerr << "kalvane-cli: " << u.Status << ": " << u.Id << ": " << u.Error;
      if (u.Status == "failed") std::cerr << " (log: " << OutDir << u.Id << "/" << kLogName << ")";
      std::cerr << "\n";
    }
    std::printf(
        "%zu products%s: %d ok, %d done earlier, %d failed, %d busy; report %s\n", Products.size(),
        O.Shard.Count > 1
            ? (" of shard " + std::to_string(O.Shard.Index) + "/" + std::to_string(O.Shard.Count))
                  .c_str()
            : "",
        Counts["ok"], Counts["done-earlier"], Counts["failed"], Counts["busy"], Report.c_str());
    return Unfinished.empty() ? kDone : kFailed;
  }

  struct TUnfinished {
    std::string Id, Status, Error;
  };
  const std::vector<const TBatchProduct*>& Products;
  const TBatchOptions& O;
  const std::string OutDir;
  const std::string Report;
  TBatchProgress Progress;
  const std::string Host;
  std::map<pid_t, TWork> Working;
  std::map<std::string, int> Counts;
  std::vector<TUnfinished> Unfinished;
  bool ReportFailed = false;
};

// What a run would do, writing nothing.
int DryRun(const std::vector<const TBatchProduct*>& products, const TBatchOptions& o,
           const std::string& outDir) {
  int run = 0;
  for (const TBatchProduct* p : products) {
    const std::string why =
        o.Force ? "forced" : WhyRun(*p, outDir + p->Id + "/", Fingerprint(*p, o.Version));
    if (why.empty()) {
      std::printf("done  %s\n", p->Id.c_str());
    } else {
      ++run;
      std::printf("run   %s  (%s)\n", p->Id.c_str(), why.c_str());
    }
  }
  std::printf("%zu products: %d would run, %zu done\n", products.size(), run,
              products.size() - static_cast<std::size_t>(run));
  return kDone;
}

}  // namespace

int RunBatch(const std::vector<TBatchProduct>& products, const TBatchOptions& o) {
  std::error_code ec;
  const std::string outDir = WithTrailingSlash(fs::absolute(o.OutDir, ec).lexically_normal());
  const TMarkedFolder place(outDir, "", "");
  if (const TResult allowed = place.CheckPlace("batch output"); !allowed.Ok())
    return Fail(allowed.Error);
  std::vector<const TBatchProduct*> mine;
  for (const TBatchProduct& p : products) {
    if (o.Shard.Takes(p.Id)) mine.push_back(&p);
  }
  if (o.DryRun) return DryRun(mine, o, outDir);
  fs::create_directories(outDir, ec);
  if (ec) return Fail(outDir + ": " + ec.message());
  if (mine.empty()) {
    std::printf("no products in shard %llu/%llu\n", static_cast<unsigned long long>(o.Shard.Index),
                static_cast<unsigned long long>(o.Shard.Count));
  }
  TBatchRunner runner(mine, o, outDir);
  return runner.Run();
}

}  // namespace kalvane::cli
