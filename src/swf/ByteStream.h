#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kalvane {

// Any failure while writing a movie; the message names the file concerned.
class TSwfError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where the SWF writer's bytes go. Besides plain bytes a stream takes whole
// files by reference: a stream that can defer them (the movie body) only
// notes the file, the others copy it when asked. That is how JPEG frames
// reach the output without being held in memory.
class TByteStream {
 public:
  virtual ~TByteStream() = default;
  virtual void Write(const std::uint8_t* data, std::size_t size) = 0;
  // Appends the file's bytes; it must still have exactly `size` bytes.
  virtual void WriteFile(const std::string& path, std::uint64_t size);
  virtual std::uint64_t Length() const = 0;

  void WriteByte(std::uint8_t b) { Write(&b, 1); }
};

class TMemoryStream : public TByteStream {
 public:
  void Write(const std::uint8_t* data, std::size_t size) override;
  std::uint64_t Length() const override { return Bytes.size(); }
  const std::vector<std::uint8_t>& Data() const { return Bytes; }
  void Clear() { Bytes.clear(); }

 private:
  std::vector<std::uint8_t> Bytes;
};

// Bytes in memory interleaved with files noted by reference; its length
// counts both. CopyTo replays it onto another stream.
class TSegmentedStream : public TByteStream {
 public:
  void Write(const std::uint8_t* data, std::size_t size) override;
  void WriteFile(const std::string& path, std::uint64_t size) override;
  std::uint64_t Length() const override { return Total; }
  void Clear();
  // Calls `progress(done, total)` after each segment when given.
  void CopyTo(TByteStream& target,
              const std::function<void(std::uint64_t, std::uint64_t)>* progress = nullptr) const;

 private:
  struct Segment {
    std::vector<std::uint8_t> bytes;  // used when path is empty
    std::string path;
    std::uint64_t size = 0;
  };
  std::vector<Segment> Segments;
  std::uint64_t Total = 0;
};

// A file written through a buffer; files given by reference are copied by
// the kernel where it can.
class TFileStream : public TByteStream {
 public:
  explicit TFileStream(int fd, std::string name);
  ~TFileStream() override;
  void Write(const std::uint8_t* data, std::size_t size) override;
  void WriteFile(const std::string& path, std::uint64_t size) override;
  std::uint64_t Length() const override { return Written + Buffer.size(); }
  void Flush();

 private:
  void WriteAll(const std::uint8_t* data, std::size_t size);
  int Fd;
  std::string Name;
  std::vector<std::uint8_t> Buffer;
  std::uint64_t Written = 0;
};

// zlib deflate (default level) onto another stream. Finish() ends it.
class TDeflateStream : public TByteStream {
 public:
  explicit TDeflateStream(TByteStream& target);
  ~TDeflateStream() override;
  void Write(const std::uint8_t* data, std::size_t size) override;
  std::uint64_t Length() const override { return In; }
  void Finish();

 private:
  void Pump(int flush);
  struct State;
  std::unique_ptr<State> Z;
  TByteStream& Target;
  std::uint64_t In = 0;
  bool Finished = false;
};

}  // namespace kalvane
