#include "export/LocalServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

namespace kalvane {

namespace fs = std::filesystem;

namespace {

bool SendAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

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
  Listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int yes = 1;
  setsockopt(Listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  socklen_t size = sizeof address;
  if (Listener < 0 || bind(Listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(Listener, 64) != 0 ||
      getsockname(Listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    const std::string why = std::string("cannot listen on 127.0.0.1: ") + std::strerror(errno);
    if (Listener >= 0) close(Listener);
    Listener = -1;
    return fail(why);
  }
  BoundPort = ntohs(address.sin_port);
  Running = true;
  Acceptor = std::thread([this] { AcceptLoop(); });
  return {};
}

void TLocalServer::AcceptLoop() {
  while (Running) {
    ReapFinished();
    pollfd p{Listener, POLLIN, 0};
    if (poll(&p, 1, 200) <= 0 || !Running) continue;
    const int client = accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    {
      std::lock_guard<std::mutex> lock(ClientsLock);
      if (static_cast<int>(ClientSockets.size()) >= kMaxClients) {
        // Full: the browser tries again; nobody already served is held up.
        SendAll(client, Response(503, "Service Unavailable", "text/plain", 0));
        close(client);
        continue;
      }
      ClientSockets.insert(client);
    }
    TConnection& connection = Connections.emplace_back();
    connection.Thread = std::thread([this, client, &connection] {
      Serve(client);
      {
        std::lock_guard<std::mutex> lock(ClientsLock);
        ClientSockets.erase(client);
      }
      close(client);
      connection.Done = true;
    });
  }
}

void TLocalServer::ReapFinished() {
  for (auto it = Connections.begin(); it != Connections.end();) {
    if (it->Done) {
      it->Thread.join();
      it = Connections.erase(it);
    } else {
      ++it;
    }
  }
}

void TLocalServer::Stop() {
  if (!Running && !Acceptor.joinable()) return;
  Running = false;
  if (Listener >= 0) shutdown(Listener, SHUT_RDWR);  // wakes the acceptor's poll
  if (Acceptor.joinable()) Acceptor.join();
  {
    // Every connection's blocking call returns at once.
    std::lock_guard<std::mutex> lock(ClientsLock);
    for (int client : ClientSockets)
      shutdown(client, SHUT_RDWR);
  }
  for (TConnection& connection : Connections)
    connection.Thread.join();
  Connections.clear();
  if (Listener >= 0) close(Listener);
  Listener = -1;
}

std::string TLocalServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(BoundPort) + "/" + path;
}

bool TLocalServer::HostAllowed(const std::string& host) const {
  const std::string port = ":" + std::to_string(BoundPort);
  return host == "127.0.0.1" + port || host == "localhost" + port;
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

void TLocalServer::Serve(int client) const {
  // Each wait for the client is short, and the whole request has a
  // deadline, so a client sending a byte a second is cut off too.
  timeval receive{5, 0}, sending{10, 0};
  setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &receive, sizeof receive);
  setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &sending, sizeof sending);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const std::size_t lineEnd = request.find("\r\n");
    if ((lineEnd == std::string::npos ? request.size() : lineEnd) > kMaxRequestLine) {
      SendAll(client, Response(414, "URI Too Long", "text/plain", 0));
      return;
    }
    if (request.size() > kMaxHeader) {
      SendAll(client, Response(431, "Request Header Fields Too Large", "text/plain", 0));
      return;
    }
    if (std::chrono::steady_clock::now() > deadline) return;
    const ssize_t n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    request.append(buffer, static_cast<std::size_t>(n));
  }
  if (request.find("\r\n") > kMaxRequestLine) {
    SendAll(client, Response(414, "URI Too Long", "text/plain", 0));
    return;
  }
  if (request.find("\r\n\r\n") > kMaxHeader) {
    SendAll(client, Response(431, "Request Header Fields Too Large", "text/plain", 0));
    return;
  }
  const std::size_t sp1 = request.find(' '), sp2 = request.find(' ', sp1 + 1);
  const std::size_t lineEnd = request.find("\r\n");
  if (sp1 == std::string::npos || sp2 == std::string::npos || sp2 > lineEnd) {
    SendAll(client, Response(400, "Bad Request", "text/plain", 0));
    return;
  }
  const std::string method = request.substr(0, sp1);
  if (method != "GET" && method != "HEAD") {
    SendAll(client, Response(405, "Method Not Allowed", "text/plain", 0));
    return;
  }
  const std::optional<std::string> host = HeaderValue(request, "Host");
  if (!host || !HostAllowed(*host)) {
    SendAll(client, Response(403, "Forbidden", "text/plain", 0));
    return;
  }
  std::string path = DecodePath(request.substr(sp1 + 1, sp2 - sp1 - 1));
  if (path.empty() || path[0] != '/') {
    SendAll(client, Response(400, "Bad Request", "text/plain", 0));
    return;
  }
  if (path.back() == '/') path += "velzoom.html";
  // Resolved, then required to lie inside the folder: no "..", no links out.
  std::error_code ec;
  const fs::path file = fs::weakly_canonical(fs::path(Root) / path.substr(1), ec);
  const std::string resolved = file.string();
  const bool inside = !ec && resolved.size() > Root.size() &&
                      resolved.compare(0, Root.size(), Root) == 0 && resolved[Root.size()] == '/';
  std::ifstream in;
  if (inside && fs::is_regular_file(file, ec)) in.open(file, std::ios::binary);
  if (!in.is_open()) {
    const std::string body = "not found\n";
    SendAll(client,
            Response(404, "Not Found", "text/plain", body.size()) + (method == "GET" ? body : ""));
    return;
  }
  const std::uintmax_t length = fs::file_size(file, ec);
  if (ec) return;
  SendAll(client, Response(200, "OK", ContentTypeOf(resolved), length));
  if (method == "HEAD") return;
  // Never more than announced, even if the file grows meanwhile.
  std::uintmax_t left = length;
  std::vector<char> chunk(1 << 16);
  while (left > 0 && in) {
    in.read(chunk.data(),
            static_cast<std::streamsize>(std::min<std::uintmax_t>(chunk.size(), left)));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got == 0) break;
    if (!SendAll(client, std::string(chunk.data(), got))) return;
    left -= got;
  }
}

}  // namespace kalvane
