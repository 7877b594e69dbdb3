#include "export/LocalServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace kalvane {

namespace fs = std::filesystem;

namespace {

void SendAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
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
  return "application/octet-stream";
}

TLocalServer::~TLocalServer() {
  Stop();
}

bool TLocalServer::Start(const std::string& folder, std::uint16_t port, std::string* error) {
  Stop();
  std::error_code ec;
  const fs::path root = fs::canonical(folder, ec);
  if (ec || !fs::is_directory(root)) {
    if (error) *error = folder + ": no such folder";
    return false;
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
      listen(Listener, 16) != 0 ||
      getsockname(Listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    if (error) *error = std::string("cannot listen on 127.0.0.1: ") + std::strerror(errno);
    if (Listener >= 0) close(Listener);
    Listener = -1;
    return false;
  }
  BoundPort = ntohs(address.sin_port);
  Running = true;
  Worker = std::thread([this] {
    while (Running) {
      pollfd p{Listener, POLLIN, 0};
      if (poll(&p, 1, 200) <= 0) continue;
      const int client = accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      Serve(client);
      close(client);
    }
  });
  return true;
}

void TLocalServer::Stop() {
  Running = false;
  if (Worker.joinable()) Worker.join();
  if (Listener >= 0) close(Listener);
  Listener = -1;
}

std::string TLocalServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(BoundPort) + "/" + path;
}

void TLocalServer::Serve(int client) const {
  timeval timeout{5, 0};
  setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
    const ssize_t n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    request.append(buffer, static_cast<std::size_t>(n));
  }
  const std::size_t sp1 = request.find(' '), sp2 = request.find(' ', sp1 + 1);
  if (sp1 == std::string::npos || sp2 == std::string::npos) return;
  const std::string method = request.substr(0, sp1);
  if (method != "GET" && method != "HEAD") {
    SendAll(client, Response(405, "Method Not Allowed", "text/plain", 0));
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
  if (!inside || !fs::is_regular_file(file, ec)) {
    const std::string body = "not found\n";
    SendAll(client,
            Response(404, "Not Found", "text/plain", body.size()) + (method == "GET" ? body : ""));
    return;
  }
  const std::uintmax_t length = fs::file_size(file, ec);
  SendAll(client, Response(200, "OK", ContentTypeOf(resolved), length));
  if (method == "HEAD") return;
  std::ifstream in(file, std::ios::binary);
  std::vector<char> chunk(1 << 16);
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    if (in.gcount() > 0)
      SendAll(client, std::string(chunk.data(), static_cast<std::size_t>(in.gcount())));
  }
}

}  // namespace kalvane
