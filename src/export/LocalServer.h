#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "base/Result.h"

namespace kalvane {

// Serves one folder's files on the loopback address, so a browser can open
// an exported page set or the HTML preview: a page opened from disk may
// not read its data file. GET and HEAD only; nothing outside the folder is
// ever served, and only to requests addressed to 127.0.0.1 or localhost
// (a page of another site that resolves its name to us gets nothing).
//
// Each connection is served on a thread of its own (at most kMaxClients at
// once), with limits on how long a request may take to arrive and a
// response to leave, so a slow or idle client delays nobody else. Stop()
// ends every connection and returns promptly.
class TLocalServer {
 public:
  static constexpr int kMaxClients = 16;
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
  struct TConnection {
    std::thread Thread;
    std::atomic<bool> Done{false};
  };
  void AcceptLoop();
  void Serve(int client) const;
  void ReapFinished();
  bool HostAllowed(const std::string& host) const;

  std::string Root;
  int Listener = -1;
  std::uint16_t BoundPort = 0;
  std::atomic<bool> Running{false};
  std::thread Acceptor;
  std::mutex ClientsLock;
  std::set<int> ClientSockets;
  std::list<TConnection> Connections;  // only the acceptor and Stop touch it
};

// The content type a file is served with, by its extension.
std::string ContentTypeOf(const std::string& path);

}  // namespace kalvane
