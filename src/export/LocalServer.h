#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace kalvane {

// Serves one folder's files on the loopback address, so a browser can open
// an exported page set or the HTML preview: a page opened from disk may
// not read its data file. GET and HEAD only; nothing outside the folder is
// ever served.
class TLocalServer {
 public:
  TLocalServer() = default;
  ~TLocalServer();
  TLocalServer(const TLocalServer&) = delete;
  TLocalServer& operator=(const TLocalServer&) = delete;

  // Port 0 takes any free port. False, with the reason, on failure.
  bool Start(const std::string& folder, std::uint16_t port = 0, std::string* error = nullptr);
  void Stop();
  std::uint16_t Port() const { return BoundPort; }
  // http://127.0.0.1:PORT/ + path
  std::string Url(const std::string& path = "") const;

 private:
  void Serve(int client) const;
  std::string Root;
  int Listener = -1;
  std::uint16_t BoundPort = 0;
  std::atomic<bool> Running{false};
  std::thread Worker;
};

// The content type a file is served with, by its extension.
std::string ContentTypeOf(const std::string& path);

}  // namespace kalvane
