#include "export/LocalServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "TestImages.h"

namespace kalvane {
namespace {

// A connected socket, or -1.
int Connect(std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// One raw request; the whole response. "HOST" in the request becomes the
// server's own address.
std::string Get(std::uint16_t port, std::string request, int waitSeconds = 0) {
  const int fd = Connect(port);
  if (fd < 0) return "no connection";
  if (waitSeconds > 0) {
    timeval limit{waitSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  }
  if (const std::size_t at = request.find("HOST"); at != std::string::npos)
    request.replace(at, 4, "Host: 127.0.0.1:" + std::to_string(port));
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string response;
  char buffer[4096];
  for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
    response.append(buffer, n);
  close(fd);
  return response;
}

class Server : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir.File("site"));
    std::ofstream(dir.File("site/velzoom.html")) << "<p>page</p>";
    std::ofstream(dir.File("site/veldata.swf")) << "FWS";
    std::ofstream(dir.File("secret.txt")) << "outside";
    std::filesystem::create_symlink(dir.File("secret.txt"), dir.File("site/link.txt"));
    ASSERT_TRUE(test::Ok(server.Start(dir.File("site"), 0)));
  }
  test::TempDir dir;
  TLocalServer server;
  std::string error;
};

TEST_F(Server, ServesTheFolderOnLoopback) {
  EXPECT_EQ(server.Url("velzoom.html"),
            "http://127.0.0.1:" + std::to_string(server.Port()) + "/velzoom.html");
  std::string r = Get(server.Port(), "GET /velzoom.html HTTP/1.1\r\nHOST\r\n\r\n");
  EXPECT_EQ(r.rfind("HTTP/1.1 200 OK", 0), 0u) << r;
  EXPECT_NE(r.find("text/html; charset=utf-8"), std::string::npos);
  EXPECT_EQ(r.substr(r.size() - 11), "<p>page</p>");
  r = Get(server.Port(), "GET / HTTP/1.1\r\nHOST\r\n\r\n");  // the folder: its page
  EXPECT_NE(r.find("<p>page</p>"), std::string::npos);
  r = Get(server.Port(), "HEAD /veldata.swf?x=1 HTTP/1.1\r\nHOST\r\n\r\n");
  EXPECT_NE(r.find("application/x-shockwave-flash"), std::string::npos);
  EXPECT_NE(r.find("Content-Length: 3"), std::string::npos);
  EXPECT_EQ(r.find("FWS"), std::string::npos);
}

TEST_F(Server, NothingOutsideTheFolder) {
  for (const char* target :
       {"/../secret.txt", "/%2e%2e/secret.txt", "/link.txt", "/missing", "/..%2fsecret.txt"}) {
    const std::string r =
        Get(server.Port(), std::string("GET ") + target + " HTTP/1.1\r\nHOST\r\n\r\n");
    EXPECT_EQ(r.rfind("HTTP/1.1 404", 0), 0u) << target << ": " << r;
    EXPECT_EQ(r.find("outside"), std::string::npos) << target;
  }
  EXPECT_EQ(Get(server.Port(), "POST /velzoom.html HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 405", 0), 0u);
  EXPECT_EQ(
      Get(server.Port(), "GET velzoom.html HTTP/1.1\r\nHOST\r\n\r\n").rfind("HTTP/1.1 400", 0), 0u);
  EXPECT_EQ(Get(server.Port(), "GET /%00 HTTP/1.1\r\nHOST\r\n\r\n").rfind("HTTP/1.1 400", 0), 0u);
}

TEST_F(Server, OnlyRequestsAddressedToLoopbackByName) {
  const std::string port = std::to_string(server.Port());
  EXPECT_EQ(Get(server.Port(), "GET / HTTP/1.1\r\nhost: localhost:" + port + "\r\n\r\n")
                .rfind("HTTP/1.1 200", 0),
            0u);
  for (const std::string& host :
       std::vector<std::string>{"Host: evil.example:" + port, "Host: 127.0.0.1", ""}) {
    const std::string r = Get(server.Port(), "GET / HTTP/1.1\r\n" + host + "\r\n\r\n");
    EXPECT_EQ(r.rfind("HTTP/1.1 403", 0), 0u) << host;
    EXPECT_EQ(r.find("page"), std::string::npos);
  }
}

TEST_F(Server, OverlongRequestsAreAnsweredNotReset) {
  const std::string longTarget(TLocalServer::kMaxRequestLine + 10, 'a');
  EXPECT_EQ(Get(server.Port(), "GET /" + longTarget + " HTTP/1.1\r\nHOST\r\n\r\n")
                .rfind("HTTP/1.1 414", 0),
            0u);
  std::string headers = "GET / HTTP/1.1\r\nHOST\r\n";
  while (headers.size() <= TLocalServer::kMaxHeader)
    headers += "X-Padding: " + std::string(100, 'x') + "\r\n";
  EXPECT_EQ(Get(server.Port(), headers + "\r\n").rfind("HTTP/1.1 431", 0), 0u);
}

TEST_F(Server, IdleConnectionsHoldUpNobodyAndStopEndsThem) {
  std::vector<int> idle;
  for (int i = 0; i < 3; ++i) {
    idle.push_back(Connect(server.Port()));
    ASSERT_GE(idle.back(), 0);
    send(idle.back(), "GET / HT", 8, MSG_NOSIGNAL);  // and nothing more
  }
  // Served while three connections wait for their own requests: well
  // within the time the server gives each of them.
  EXPECT_NE(Get(server.Port(), "GET / HTTP/1.1\r\nHOST\r\n\r\n", 3).find("<p>page</p>"),
            std::string::npos);
  server.Stop();  // returns although three clients are in the middle
  for (int fd : idle) {
    char c;
    EXPECT_EQ(recv(fd, &c, 1, 0), 0);  // closed by the server
    close(fd);
  }
}

TEST_F(Server, StopsAndRefusesAMissingFolder) {
  const std::uint16_t port = server.Port();
  server.Stop();
  EXPECT_EQ(Get(port, "GET / HTTP/1.1\r\n\r\n"), "no connection");
  TLocalServer other;
  EXPECT_TRUE(test::Failed(other.Start(dir.File("nowhere"), 0), &error));
  EXPECT_NE(error.find("nowhere"), std::string::npos);
  EXPECT_TRUE(test::Failed(other.Start("/", 0), &error));  // not the whole file system
  EXPECT_NE(error.find("whole file system"), std::string::npos);
}

}  // namespace
}  // namespace kalvane
