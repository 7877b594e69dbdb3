#include "swf/ByteStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kalvane {

namespace {

constexpr std::size_t kChunk = 256 * 1024;

std::string Reason(const std::string& path, const char* what) {
  return path + ": " + what + (errno ? std::string(" (") + std::strerror(errno) + ")" : "");
}

// An open file that closes itself.
class TInputFile {
 public:
  TInputFile(const std::string& path, std::uint64_t size) : Path(path) {
    errno = 0;
    Fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0) throw TSwfError(Reason(path, "cannot open"));
    struct stat st {};
    if (fstat(Fd, &st) != 0 || static_cast<std::uint64_t>(st.st_size) != size) {
      close(Fd);
      errno = 0;
      throw TSwfError(path + ": the file changed while the movie was being written");
    }
  }
  ~TInputFile() { close(Fd); }
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;

  // Reads up to `size` bytes; 0 at the end.
  std::size_t Read(std::uint8_t* data, std::size_t size) {
    for (;;) {
      const ssize_t n = read(Fd, data, size);
      if (n >= 0) return static_cast<std::size_t>(n);
      if (errno != EINTR) throw TSwfError(Reason(Path, "cannot read"));
    }
  }
  int Handle() const { return Fd; }

 private:
  std::string Path;
  int Fd = -1;
};

void CheckCopied(const std::string& path, std::uint64_t copied, std::uint64_t size) {
  if (copied != size) {
    errno = 0;
    throw TSwfError(path + ": the file changed while the movie was being written");
  }
}

}  // namespace

void TByteStream::WriteFile(const std::string& path, std::uint64_t size) {
  TInputFile in(path, size);
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(size, kChunk)) +
                                  1);
  std::uint64_t copied = 0;
  while (const std::size_t n = in.Read(chunk.data(), chunk.size())) {
    copied += n;
    if (copied > size) break;
    Write(chunk.data(), n);
  }
  CheckCopied(path, copied, size);
}

void TMemoryStream::Write(const std::uint8_t* data, std::size_t size) {
  Bytes.insert(Bytes.end(), data, data + size);
}

void TSegmentedStream::Write(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  if (Segments.empty() || !Segments.back().path.empty()) Segments.emplace_back();
  Segments.back().bytes.insert(Segments.back().bytes.end(), data, data + size);
  Total += size;
}

void TSegmentedStream::WriteFile(const std::string& path, std::uint64_t size) {
  Segment segment;
  segment.path = path;
  segment.size = size;
  Segments.push_back(std::move(segment));
  Total += size;
}

void TSegmentedStream::Clear() {
  Segments.clear();
  Total = 0;
}

void TSegmentedStream::CopyTo(
    TByteStream& target, const std::function<void(std::uint64_t, std::uint64_t)>* progress) const {
  std::uint64_t done = 0;
  for (const Segment& segment : Segments) {
    if (segment.path.empty()) {
      target.Write(segment.bytes.data(), segment.bytes.size());
      done += segment.bytes.size();
    } else {
      target.WriteFile(segment.path, segment.size);
      done += segment.size;
    }
    if (progress && *progress) (*progress)(done, Total);
  }
}

TFileStream::TFileStream(int fd, std::string name) : Fd(fd), Name(std::move(name)) {
  Buffer.reserve(kChunk);
}

TFileStream::~TFileStream() = default;

void TFileStream::WriteAll(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(Fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw TSwfError(Reason(Name, "cannot write"));
    data += n;
    size -= static_cast<std::size_t>(n);
    Written += static_cast<std::uint64_t>(n);
  }
}

void TFileStream::Write(const std::uint8_t* data, std::size_t size) {
  if (Buffer.size() + size > kChunk) {
    Flush();
    if (size >= kChunk) {
      WriteAll(data, size);
      return;
    }
  }
  Buffer.insert(Buffer.end(), data, data + size);
}

void TFileStream::Flush() {
  if (Buffer.empty()) return;
  WriteAll(Buffer.data(), Buffer.size());
  Buffer.clear();
}

void TFileStream::WriteFile(const std::string& path, std::uint64_t size) {
  Flush();
  TInputFile in(path, size);
  std::uint64_t copied = 0;
  // In-kernel copy first; plain reads where the file systems do not allow it.
  while (copied < size) {
    const ssize_t n = copy_file_range(in.Handle(), nullptr, Fd, nullptr,
                                      static_cast<std::size_t>(size - copied), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    copied += static_cast<std::uint64_t>(n);
    Written += static_cast<std::uint64_t>(n);
  }
  std::vector<std::uint8_t> chunk;
  while (copied < size) {
    chunk.resize(kChunk);
    const std::size_t n = in.Read(chunk.data(), chunk.size());
    if (n == 0) break;
    WriteAll(chunk.data(), static_cast<std::size_t>(std::min<std::uint64_t>(n, size - copied)));
    copied += n;
  }
  CheckCopied(path, copied, size);
}

struct TDeflateStream::State {
  z_stream z{};
  std::vector<std::uint8_t> out = std::vector<std::uint8_t>(kChunk);
};

TDeflateStream::TDeflateStream(TByteStream& target) : Z(std::make_unique<State>()), Target(target) {
  if (deflateInit(&Z->z, Z_DEFAULT_COMPRESSION) != Z_OK) throw TSwfError("zlib: cannot start");
}

TDeflateStream::~TDeflateStream() {
  deflateEnd(&Z->z);
}

void TDeflateStream::Pump(int flush) {
  int result = Z_OK;
  do {
    Z->z.next_out = Z->out.data();
    Z->z.avail_out = static_cast<uInt>(Z->out.size());
    result = deflate(&Z->z, flush);
    if (result == Z_STREAM_ERROR) throw TSwfError("zlib: compression failed");
    Target.Write(Z->out.data(), Z->out.size() - Z->z.avail_out);
  } while (Z->z.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
}

void TDeflateStream::Write(const std::uint8_t* data, std::size_t size) {
  if (Finished) throw TSwfError("zlib: write after the end");
  while (size > 0) {
    const std::size_t part = std::min<std::size_t>(size, kChunk);
    Z->z.next_in = const_cast<Bytef*>(data);
    Z->z.avail_in = static_cast<uInt>(part);
    Pump(Z_NO_FLUSH);
    data += part;
    size -= part;
    In += part;
  }
}

void TDeflateStream::Finish() {
  if (Finished) return;
  Z->z.next_in = nullptr;
  Z->z.avail_in = 0;
  Pump(Z_FINISH);
  Finished = true;
}

}  // namespace kalvane
