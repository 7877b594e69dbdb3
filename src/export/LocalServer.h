#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <thread>
#include <vector>

#include "base/Result.h"

namespace kalvane {

// Serves one folder's files on the loopback address, so a browser can open
// an exported page set or the HTML preview: a page opened from disk may
// not read its data file. GET and HEAD only; nothing outside the folder is
// ever served, and only to requests addressed to 127.0.0.1 or localhost
// (a page of another site that resolves its name to us gets nothing).
//
// One thread serves every connection from a poll loop, so a client that
// sends its request a byte at a time, or never, or does not read its
// answer, costs a slot and a few kilobytes rather than a thread, and
// holds up nobody. The slots are many; when they are all taken, a new
// connection takes the place of one that is done or waited on the longest.
// Each request must arrive within a deadline and each answer keep moving.
// Stop() ends every connection and returns promptly.
class TLocalServer {
 public:
  static constexpr int kMaxClients = 256;
  static constexpr std::size_t kMaxRequestLine = 8192;
  static constexpr std::size_t kMaxHeader = 16384;

  TLocalServer() = default;
  ~TLocalServer();
  TLocalServer(const TLocalServer&) = delete;
  TLocalServer& operator=(const TLocalServer&) = delete;

  // Port 0 takes any free port. False, with the reason, on failure (also
  // for a folder that cannot be served, such as "/").
  TResult Start(const std::string& folder, std::uint16_t port = 0);
  void Stop();
  std::uint16_t Port() const { return BoundPort; }
  // http://127.0.0.1:PORT/ + path
  std::string Url(const std::string& path = "") const;

 private:
  struct TConnection;
  void Loop();
  // False when out of descriptors with nobody to make room.
  bool Accept(std::list<TConnection>& connections) const;
  void Read(TConnection& c) const;
  void Write(TConnection& c, std::vector<char>& scratch) const;
  void Answer(TConnection& c) const;
  bool HostAllowed(const std::string& host) const;

  std::string Root;
  int Listener = -1;
  int WakeFd = -1;  // written by Stop to end the loop's wait
  std::uint16_t BoundPort = 0;
  std::thread Worker;
};

// The content type a file is served with, by its extension.
std::string ContentTypeOf(const std::string& path);

}  // namespace kalvane
