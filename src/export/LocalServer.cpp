#include "export/LocalServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

namespace kalvane {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// A request must arrive whole within this time, and an answer must move
// at least once in this time; after the answer the client's leftover bytes
// are read and dropped for a moment, so that closing does not reset the
// connection before the client has read the answer.
constexpr auto kRequestTime = std::chrono::seconds(10);
constexpr auto kStallTime = std::chrono::seconds(10);
constexpr auto kLingerTime = std::chrono::seconds(2);
constexpr std::size_t kChunk = 1 << 16;
// What one connection may send before the others get their turn.
constexpr std::uintmax_t kTurn = 16 * kChunk;

std::string Response(int code, const char* reason, const std::string& type, std::uintmax_t length) {
  return "HTTP/1.1 " + std::to_string(code) + " " + reason + "\r\nContent-Type: " + type +
         "\r\nContent-Length: " + std::to_string(length) +
         "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: "
         "close\r\n\r\n";
}

int FromHex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The request path without query, percent-decoded; empty when malformed.
std::string DecodePath(const std::string& target) {
  std::string path = target.substr(0, target.find_first_of("?#"));
  std::string out;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '%') {
      if (i + 2 >= path.size() || FromHex(path[i + 1]) < 0 || FromHex(path[i + 2]) < 0) return {};
      const char c = static_cast<char>(FromHex(path[i + 1]) * 16 + FromHex(path[i + 2]));
      if (c == '\0') return {};
      out += c;
      i += 2;
    } else {
      out += path[i];
    }
  }
  return out;
}

}  // namespace

std::string ContentTypeOf(const std::string& path) {
  const std::string ext = fs::path(path).extension().string();
  if (ext == ".html" || ext == ".htm") return "text/html; charset=utf-8";
  if (ext == ".js") return "text/javascript; charset=utf-8";
  if (ext == ".css") return "text/css; charset=utf-8";
  if (ext == ".json") return "application/json";
  if (ext == ".swf") return "application/x-shockwave-flash";
  if (ext == ".jpg" || ext == ".jpeg") return "image/jpeg";
  if (ext == ".png") return "image/png";
  if (ext == ".gif") return "image/gif";
  if (ext == ".svg") return "image/svg+xml";
  if (ext == ".wasm") return "application/wasm";
  return "application/octet-stream";
}

namespace {

// The value of a header, by its name in any case; nothing when missing.
std::optional<std::string> HeaderValue(const std::string& request, const std::string& name) {
  std::size_t line = request.find("\r\n");
  while (line != std::string::npos && line + 2 < request.size()) {
    const std::size_t start = line + 2, end = request.find("\r\n", start);
    if (end == std::string::npos || end == start) break;
    const std::size_t colon = request.find(':', start);
    if (colon != std::string::npos && colon < end && colon - start == name.size() &&
        std::equal(name.begin(), name.end(), request.begin() + static_cast<std::ptrdiff_t>(start),
                   [](char a, char b) { return std::tolower(a) == std::tolower(b); })) {
      std::string value = request.substr(colon + 1, end - colon - 1);
      const std::size_t first = value.find_first_not_of(" \t");
      const std::size_t last = value.find_last_not_of(" \t");
      return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
    }
    line = end;
  }
  return std::nullopt;
}

}  // namespace

struct TLocalServer::TConnection {
  enum class TState { Reading, Writing, Closing };
  TConnection(int fd, Clock::time_point now) : Fd(fd), Deadline(now + kRequestTime) {}
  TConnection(const TConnection&) = delete;
  TConnection& operator=(const TConnection&) = delete;
  ~TConnection() { Close(); }
  bool Open() const { return Fd >= 0; }
  void Close() {
    if (File >= 0) close(File);
    if (Fd >= 0) {
      // Unread input would make the close a reset, which can cost the
      // client an answer it has not read yet.
      char drain[4096];
      for (int i = 0; i < 16 && recv(Fd, drain, sizeof drain, MSG_DONTWAIT) > 0; ++i) {
      }
      close(Fd);
    }
    File = Fd = -1;
  }
  // The answer: its head (with a short body), then `length` bytes of `file`.
  void Reply(std::string head, int file = -1, std::uintmax_t length = 0) {
    Out = std::move(head);
    File = file;
    Left = file >= 0 ? length : 0;
    State = TState::Writing;
    Deadline = Clock::now() + kStallTime;
    In.clear();
    In.shrink_to_fit();
  }

  int Fd;
  TState State = TState::Reading;
  std::string In;   // the request so far: at most kMaxHeader and one read
  std::string Out;  // what is left of the head
  int File = -1;
  off_t Offset = 0;
  std::uintmax_t Left = 0;     // file bytes still to send
  Clock::time_point Deadline;  // for the request, the answer's next move, or the linger
};

TLocalServer::~TLocalServer() {
  Stop();
}

TResult TLocalServer::Start(const std::string& folder, std::uint16_t port) {
  Stop();
  auto fail = [](const std::string& why) { return TResult::Fail(TErrorCode::NotFound, why); };
  std::error_code ec;
  const fs::path root = fs::canonical(folder, ec);
  if (ec || !fs::is_directory(root, ec)) return fail(folder + ": no such folder");
  if (root == root.root_path()) {
    return fail(folder + ": will not serve the whole file system; name the page set's folder");
  }
  if (access(root.c_str(), R_OK | X_OK) != 0) {
    return fail(folder + ": cannot read the folder (" + std::strerror(errno) + ")");
  }
  Root = root.string();
  Listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  WakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int yes = 1;
  setsockopt(Listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  socklen_t size = sizeof address;
  if (Listener < 0 || WakeFd < 0 ||
      bind(Listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(Listener, SOMAXCONN) != 0 ||
      getsockname(Listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    const std::string why = std::string("cannot listen on 127.0.0.1: ") + std::strerror(errno);
    Stop();
    return fail(why);
  }
  BoundPort = ntohs(address.sin_port);
  Worker = std::thread([this] { Loop(); });
  return {};
}

void TLocalServer::Stop() {
  if (Worker.joinable()) {
    const std::uint64_t one = 1;
    if (write(WakeFd, &one, sizeof one) < 0) {
      // a full counter wakes the loop as well
    }
    Worker.join();
  }
  if (WakeFd >= 0) close(WakeFd);
  if (Listener >= 0) close(Listener);
  WakeFd = Listener = -1;
}

std::string TLocalServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(BoundPort) + "/" + path;
}

bool TLocalServer::HostAllowed(const std::string& host) const {
  const std::string port = ":" + std::to_string(BoundPort);
  return host == "127.0.0.1" + port || host == "localhost" + port;
}

void TLocalServer::Loop() {
  using TState = TConnection::TState;
  std::list<TConnection> connections;
  std::vector<pollfd> fds;
  std::vector<TConnection*> polled;
  std::vector<char> scratch(kChunk);  // file bytes on their way out, for every connection
  bool accepting = true;
  for (;;) {
    fds.assign({{WakeFd, POLLIN, 0}, {accepting ? Listener : -1, POLLIN, 0}});
    polled.clear();
    Clock::time_point next = Clock::now() + std::chrono::seconds(1);
    for (TConnection& c : connections) {
      fds.push_back({c.Fd, static_cast<short>(c.State == TState::Writing ? POLLOUT : POLLIN), 0});
      polled.push_back(&c);
      next = std::min(next, c.Deadline);
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
    const int ready =
        poll(fds.data(), fds.size(), static_cast<int>(std::max<decltype(wait)>(wait, 0)));
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0 && fds[0].revents != 0) break;  // Stop
    for (std::size_t i = 0; ready > 0 && i < polled.size(); ++i) {
      if (fds[i + 2].revents == 0) continue;
      TConnection& c = *polled[i];
      if (c.State != TState::Writing) Read(c);
      // an answer leaves at once, as far as the socket takes it
      if (c.Open() && c.State == TState::Writing) Write(c, scratch);
    }
    if (ready > 0 && fds[1].revents != 0) accepting = Accept(connections);
    const Clock::time_point now = Clock::now();
    const std::size_t before = connections.size();
    connections.remove_if([now](const TConnection& c) { return !c.Open() || now >= c.Deadline; });
    // Out of descriptors: the listener waits until a connection has ended.
    if (connections.size() < before) accepting = true;
  }
}

bool TLocalServer::Accept(std::list<TConnection>& connections) const {
  using TState = TConnection::TState;
  // When a new connection needs a place, one ends: an answered client that
  // keeps its connection open, else the one that has waited longest for
  // its request, else the answer stuck the longest. Nobody is turned away.
  auto rank = [](TState state) {
    return state == TState::Closing ? 0 : state == TState::Reading ? 1 : 2;
  };
  for (;;) {
    TConnection* victim = nullptr;
    int open = 0;
    for (TConnection& c : connections) {
      if (!c.Open()) continue;
      ++open;
      if (!victim ||
          std::pair(rank(c.State), c.Deadline) < std::pair(rank(victim->State), victim->Deadline))
        victim = &c;
    }
    const int fd = accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno != EMFILE && errno != ENFILE) return true;  // none waiting
      if (!victim) return false;
      victim->Close();
      continue;
    }
    if (open >= kMaxClients && victim) victim->Close();
    connections.emplace_back(fd, Clock::now());
  }
}

void TLocalServer::Read(TConnection& c) const {
  using TState = TConnection::TState;
  char buffer[4096];
  const ssize_t n = recv(c.Fd, buffer, sizeof buffer, 0);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (n <= 0) {
    c.Close();
    return;
  }
  if (c.State == TState::Closing) return;  // the rest of a request already answered
  c.In.append(buffer, static_cast<std::size_t>(n));
  const std::size_t lineEnd = c.In.find("\r\n");
  const std::size_t headEnd = c.In.find("\r\n\r\n");
  if ((lineEnd == std::string::npos ? c.In.size() : lineEnd) > kMaxRequestLine) {
    c.Reply(Response(414, "URI Too Long", "text/plain", 0));
  } else if ((headEnd == std::string::npos ? c.In.size() : headEnd) > kMaxHeader) {
    c.Reply(Response(431, "Request Header Fields Too Large", "text/plain", 0));
  } else if (headEnd != std::string::npos) {
    Answer(c);
  }
}

void TLocalServer::Write(TConnection& c, std::vector<char>& scratch) const {
  std::uintmax_t sent = 0;
  while (sent < kTurn) {
    ssize_t n = 0;
    if (!c.Out.empty()) {
      n = send(c.Fd, c.Out.data(), c.Out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) c.Out.erase(0, static_cast<std::size_t>(n));
    } else if (c.Left > 0) {
      // Read into the shared buffer and sent from there; bytes the socket
      // did not take are read again next time.
      const ssize_t got =
          pread(c.File, scratch.data(), std::min<std::uintmax_t>(scratch.size(), c.Left), c.Offset);
      if (got <= 0) {  // the file shrank: the promised length cannot be kept
        c.Close();
        return;
      }
      n = send(c.Fd, scratch.data(), static_cast<std::size_t>(got), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        c.Offset += n;
        c.Left -= static_cast<std::uintmax_t>(n);
      }
    } else {
      // All sent: no more from us, and the rest of the client's bytes are
      // read and dropped until it closes.
      shutdown(c.Fd, SHUT_WR);
      if (c.File >= 0) close(c.File);
      c.File = -1;
      c.State = TConnection::TState::Closing;
      c.Deadline = Clock::now() + kLingerTime;
      return;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n <= 0) {
      c.Close();
      return;
    }
    sent += static_cast<std::uintmax_t>(n);
  }
  if (sent > 0) c.Deadline = Clock::now() + kStallTime;
}

void TLocalServer::Answer(TConnection& c) const {
  const std::string& request = c.In;
  const std::size_t sp1 = request.find(' '), sp2 = request.find(' ', sp1 + 1);
  const std::size_t lineEnd = request.find("\r\n");
  if (sp1 == std::string::npos || sp2 == std::string::npos || sp2 > lineEnd) {
    c.Reply(Response(400, "Bad Request", "text/plain", 0));
    return;
  }
  const std::string method = request.substr(0, sp1);
  if (method != "GET" && method != "HEAD") {
    c.Reply(Response(405, "Method Not Allowed", "text/plain", 0));
    return;
  }
  const std::optional<std::string> host = HeaderValue(request, "Host");
  if (!host || !HostAllowed(*host)) {
    c.Reply(Response(403, "Forbidden", "text/plain", 0));
    return;
  }
  std::string path = DecodePath(request.substr(sp1 + 1, sp2 - sp1 - 1));
  if (path.empty() || path[0] != '/') {
    c.Reply(Response(400, "Bad Request", "text/plain", 0));
    return;
  }
  if (path.back() == '/') path += "velzoom.html";
  // Resolved, then required to lie inside the folder: no "..", no links out.
  std::error_code ec;
  const fs::path file = fs::weakly_canonical(fs::path(Root) / path.substr(1), ec);
  const std::string resolved = file.string();
  const bool inside = !ec && resolved.size() > Root.size() &&
                      resolved.compare(0, Root.size(), Root) == 0 && resolved[Root.size()] == '/';
  // Opened without following a link put there meanwhile, and without
  // waiting on a pipe; only a plain file is served.
  int fd = inside ? open(resolved.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK) : -1;
  struct stat info {};
  if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
    close(fd);
    fd = -1;
  }
  if (fd < 0) {
    const std::string body = "not found\n";
    c.Reply(Response(404, "Not Found", "text/plain", body.size()) + (method == "GET" ? body : ""));
    return;
  }
  const auto length = static_cast<std::uintmax_t>(info.st_size);
  std::string head = Response(200, "OK", ContentTypeOf(resolved), length);
  if (method == "HEAD") {
    close(fd);
    c.Reply(std::move(head));
  } else {
    // Never more than announced, even if the file grows meanwhile.
    c.Reply(std::move(head), fd, length);
  }
}

}  // namespace kalvane
