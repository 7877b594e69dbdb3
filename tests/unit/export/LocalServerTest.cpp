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

// One raw request; the whole response.
std::string Get(std::uint16_t port, const std::string& request) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return "no connection";
  }
  send(fd, request.data(), request.size(), 0);
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
    ASSERT_TRUE(server.Start(dir.File("site"), 0, &error)) << error;
  }
  test::TempDir dir;
  TLocalServer server;
  std::string error;
};

TEST_F(Server, ServesTheFolderOnLoopback) {
  EXPECT_EQ(server.Url("velzoom.html"),
            "http://127.0.0.1:" + std::to_string(server.Port()) + "/velzoom.html");
  std::string r = Get(server.Port(), "GET /velzoom.html HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(r.rfind("HTTP/1.1 200 OK", 0), 0u) << r;
  EXPECT_NE(r.find("text/html; charset=utf-8"), std::string::npos);
  EXPECT_EQ(r.substr(r.size() - 11), "<p>page</p>");
  r = Get(server.Port(), "GET / HTTP/1.1\r\n\r\n");  // the folder: its page
  EXPECT_NE(r.find("<p>page</p>"), std::string::npos);
  r = Get(server.Port(), "HEAD /veldata.swf?x=1 HTTP/1.1\r\n\r\n");
  EXPECT_NE(r.find("application/x-shockwave-flash"), std::string::npos);
  EXPECT_NE(r.find("Content-Length: 3"), std::string::npos);
  EXPECT_EQ(r.find("FWS"), std::string::npos);
}

TEST_F(Server, NothingOutsideTheFolder) {
  for (const char* target :
       {"/../secret.txt", "/%2e%2e/secret.txt", "/link.txt", "/missing", "/..%2fsecret.txt"}) {
    const std::string r = Get(server.Port(), std::string("GET ") + target + " HTTP/1.1\r\n\r\n");
    EXPECT_EQ(r.rfind("HTTP/1.1 404", 0), 0u) << target << ": " << r;
    EXPECT_EQ(r.find("outside"), std::string::npos) << target;
  }
  EXPECT_EQ(Get(server.Port(), "POST /velzoom.html HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 405", 0), 0u);
  EXPECT_EQ(Get(server.Port(), "GET velzoom.html HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 400", 0), 0u);
  EXPECT_EQ(Get(server.Port(), "GET /%00 HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 400", 0), 0u);
}

TEST_F(Server, StopsAndRefusesAMissingFolder) {
  const std::uint16_t port = server.Port();
  server.Stop();
  EXPECT_EQ(Get(port, "GET / HTTP/1.1\r\n\r\n"), "no connection");
  TLocalServer other;
  EXPECT_FALSE(other.Start(dir.File("nowhere"), 0, &error));
  EXPECT_NE(error.find("nowhere"), std::string::npos);
}

}  // namespace
}  // namespace kalvane
