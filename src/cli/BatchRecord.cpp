#include "cli/BatchRecord.h"

#include "cli/BatchShard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "base/AppUtil.h"
#include "project/ProjectFile.h"

namespace kalvane::cli {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

constexpr const char* kResultName = "result.json";

std::string Hex(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

// Seconds to the millisecond, as the records keep them.
double Milliseconds(double seconds) {
  return std::round(seconds * 1000) / 1000;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

std::vector<std::string> ProductInputs(const TBatchProduct& product) {
  std::vector<std::string> inputs;
  if (!product.Project.empty()) {
    inputs.push_back(product.Project);
    TProjectContent content;
    if (ReadProjectFile(product.Project, content).Ok()) {
      for (const TProjectItemEntry& item : content.Items)
        inputs.push_back(item.Name);
    }
    return inputs;
  }
  for (const std::string& entry : product.Photos) {
    std::vector<std::string> files;
    const TResult found = product.Prepare ? CollectPhotoFiles({entry}, files)
                                          : CollectFiles({entry}, IsImageFile, "", false, files);
    if (!found.Ok() || files.empty()) files = {entry};
    inputs.insert(inputs.end(), files.begin(), files.end());
  }
  return inputs;
}

std::string Fingerprint(const TBatchProduct& product, const std::string& version) {
  std::string text = "kalvane batch\nversion " + version + "\nline " + product.Canonical + "\n";
  for (const std::string& input : ProductInputs(product)) {
    struct stat st {};
    text += "file " + input;
    if (::stat(input.c_str(), &st) == 0) {
      text += " " + std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
              std::to_string(st.st_mtim.tv_nsec);
    } else {
      text += " missing";
    }
    text += "\n";
  }
  return Hex(Fnv1a64(text));
}

std::string RecordJson(const TProductRecord& r) {
  ordered_json j;
  j["id"] = r.Id;
  j["status"] = r.Ok ? "ok" : "failed";
  j["outputs"] = ordered_json::array();
  for (const TOutputRecord& o : r.Outputs)
    j["outputs"].push_back({{"kind", o.Kind}, {"path", o.Path}, {"bytes", o.Bytes}});
  j["seconds"] = Milliseconds(r.Seconds);
  if (!r.Ok) {
    j["error"] = r.Error;
    j["step"] = r.Step;
  }
  j["fingerprint"] = r.Fingerprint;
  j["version"] = r.Version;
  return j.dump(2) + "\n";
}

std::optional<TProductRecord> ReadRecordJson(const std::string& text) {
  const ordered_json j = ordered_json::parse(text, nullptr, false);
  if (!j.is_object() || !j.contains("id") || !j.contains("status") || !j.contains("fingerprint"))
    return std::nullopt;
  try {
    TProductRecord r;
    r.Id = j.at("id").get<std::string>();
    r.Ok = j.at("status").get<std::string>() == "ok";
    r.Fingerprint = j.at("fingerprint").get<std::string>();
    r.Version = j.value("version", "");
    r.Seconds = j.value("seconds", 0.0);
    r.Error = j.value("error", "");
    r.Step = j.value("step", "");
    for (const ordered_json& o : j.value("outputs", ordered_json::array())) {
      r.Outputs.push_back({o.at("kind").get<std::string>(), o.at("path").get<std::string>(),
                           o.at("bytes").get<std::int64_t>()});
    }
    return r;
  } catch (const ordered_json::exception&) {
    return std::nullopt;
  }
}

std::string ReportLine(const TReportEntry& e) {
  ordered_json j;
  j["id"] = e.Id;
  j["status"] = e.Status;
  j["seconds"] = Milliseconds(e.Seconds);
  if (!e.Fingerprint.empty()) j["fingerprint"] = e.Fingerprint;
  if (!e.Error.empty()) j["error"] = e.Error;
  j["host"] = e.Host;
  j["time"] = e.Time;
  return j.dump() + "\n";
}

TResult AppendToReport(const std::string& path, const std::string& line) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0)
    return TResult::Fail(TErrorCode::WriteFailed,
                         path + ": cannot append: " + std::strerror(errno));
  const ssize_t written = ::write(fd, line.data(), line.size());
  const int error = errno;
  ::close(fd);
  if (written != static_cast<ssize_t>(line.size())) {
    return TResult::Fail(TErrorCode::WriteFailed,
                         path + ": cannot append: " + std::strerror(written < 0 ? error : ENOSPC));
  }
  return {};
}

std::int64_t OutputBytes(const std::string& path) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(path, ec);
  if (ec || !fs::exists(status)) return -1;
  if (fs::is_regular_file(status)) return static_cast<std::int64_t>(fs::file_size(path, ec));
  if (!fs::is_directory(status)) return -1;
  std::int64_t total = 0;
  for (fs::recursive_directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec) && !it->is_symlink(ec))
      total += static_cast<std::int64_t>(it->file_size(ec));
  }
  return total;
}

std::string WhyRun(const TBatchProduct& product, const std::string& folder,
                   const std::string& fingerprint) {
  std::error_code ec;
  if (!fs::exists(folder + kResultName, ec)) return "not made yet";
  const std::optional<TProductRecord> record = ReadRecordJson(ReadWhole(folder + kResultName));
  if (!record) return "its result.json cannot be read";
  if (!record->Ok) return "it failed the last time";
  if (record->Fingerprint != fingerprint) return "its line, photos or the program changed";
  for (const TOutputKind kind : product.Outputs) {
    const std::string place = OutputPlace(kind, product.Id);
    const std::int64_t bytes = OutputBytes(folder + place);
    if (bytes < 0) return place + " is missing";
    if (place.ends_with("/")) continue;
    for (const TOutputRecord& o : record->Outputs) {
      if (o.Kind == OutputKindName(kind) && o.Bytes != bytes) return place + " was changed";
    }
  }
  return "";
}

TProductLock::~TProductLock() {
  Release();
}

TProductLock::TState TProductLock::Take(const std::string& folder) {
  Release();
  const std::string path = WithTrailingSlash(folder) + kName;
  Fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (Fd < 0) {
    Reason = path + ": " + std::strerror(errno);
    return TState::Failed;
  }
  if (::flock(Fd, LOCK_EX | LOCK_NB) == 0) return TState::Taken;
  const int error = errno;
  Release();
  if (error == EWOULDBLOCK) return TState::Busy;
  Reason = path + ": cannot lock: " + std::strerror(error);
  return TState::Failed;
}

void TProductLock::Release() {
  if (Fd >= 0) ::close(Fd);
  Fd = -1;
}

}  // namespace kalvane::cli
