#include "export/LocalServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

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

// True while the server keeps the connection open and has sent nothing.
bool WaitingOnUs(int fd) {
  char c;
  return recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

// Clients that send their requests a byte at a time, a byte every few
// milliseconds, up to the last byte; there they stop by themselves until
// Finish() sends it and reads the answers.
class TSlowClients {
 public:
  TSlowClients(std::uint16_t port, int count)
      : Request("GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n") {
    for (int i = 0; i < count; ++i)
      Fds.push_back(Connect(port));
    Dripper = std::thread([this] {
      for (std::size_t at = 0; at + 1 < Request.size(); ++at) {
        for (int fd : Fds)
          send(fd, &Request[at], 1, MSG_NOSIGNAL);
        std::unique_lock<std::mutex> lock(Lock);
        Sent = at + 1;
        Changed.notify_all();
        if (Changed.wait_for(lock, std::chrono::milliseconds(20), [this] { return Stopping; }))
          return;
      }
    });
  }
  ~TSlowClients() {
    StopDripping();
    for (int fd : Fds)
      close(fd);
  }
  // Once every client has sent part of its request.
  void WaitUntilStarted() {
    std::unique_lock<std::mutex> lock(Lock);
    Changed.wait(lock, [this] { return Sent >= 3; });
  }
  bool AllWaiting() const {
    return std::all_of(Fds.begin(), Fds.end(), [](int fd) { return fd >= 0 && WaitingOnUs(fd); });
  }
  // The rest of each request at once; the answers.
  std::vector<std::string> Finish() {
    StopDripping();
    std::vector<std::string> answers;
    for (int fd : Fds) {
      send(fd, Request.data() + Sent, Request.size() - Sent, MSG_NOSIGNAL);
      std::string answer;
      char buffer[4096];
      for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, static_cast<std::size_t>(n));
      answers.push_back(answer);
    }
    return answers;
  }

 private:
  void StopDripping() {
    {
      std::lock_guard<std::mutex> lock(Lock);
      Stopping = true;
      Changed.notify_all();
    }
    if (Dripper.joinable()) Dripper.join();
  }
  const std::string Request;
  std::vector<int> Fds;
  std::mutex Lock;
  std::condition_variable Changed;
  std::size_t Sent = 0;
  bool Stopping = false;
  std::thread Dripper;
};

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

// Twenty clients sending a byte now and then, thirty idle ones and one that
// never reads a large answer, all at once: every normal request is served
// while they all still hold their connections, and the slow ones are
// served too once their requests are complete.
TEST_F(Server, SlowAndIdleClientsLockNobodyOut) {
  std::ofstream(dir.File("site/large.bin")) << std::string(8 << 20, 'x');
  TSlowClients slow(server.Port(), 20);
  std::vector<int> idle;
  for (int i = 0; i < 30; ++i) {
    idle.push_back(Connect(server.Port()));
    send(idle.back(), "GET / HT", 8, MSG_NOSIGNAL);
  }
  const int hog = Connect(server.Port());
  const std::string large =
      "GET /large.bin HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n\r\n";
  send(hog, large.data(), large.size(), MSG_NOSIGNAL);
  slow.WaitUntilStarted();
  for (int i = 0; i < 20; ++i) {
    const std::string r = Get(server.Port(), "GET / HTTP/1.1\r\nHOST\r\n\r\n", 10);
    EXPECT_EQ(r.rfind("HTTP/1.1 200 OK", 0), 0u) << "request " << i << ": " << r;
  }
  // the same large answer, whole, while the first taker does not read
  const std::string whole = Get(server.Port(), large, 10);
  EXPECT_EQ(whole.rfind("HTTP/1.1 200 OK", 0), 0u);
  EXPECT_EQ(whole.size() - whole.find("\r\n\r\n") - 4, std::size_t{8} << 20);
  EXPECT_TRUE(slow.AllWaiting());
  for (int fd : idle)
    EXPECT_TRUE(WaitingOnUs(fd));
  char c;
  EXPECT_EQ(recv(hog, &c, 1, MSG_PEEK | MSG_DONTWAIT), 1);  // its answer began and waits
  for (const std::string& answer : slow.Finish())
    EXPECT_NE(answer.find("<p>page</p>"), std::string::npos) << answer;
  for (int fd : idle)
    close(fd);
  close(hog);
}

// More idle connections than places: the newest push out the oldest, so a
// normal request is still served.
TEST_F(Server, IdleClientsBeyondThePlacesMakeRoom) {
  constexpr int kExtra = 10;
  std::vector<int> idle;
  for (int i = 0; i < TLocalServer::kMaxClients + kExtra; ++i) {
    idle.push_back(Connect(server.Port()));
    ASSERT_GE(idle.back(), 0);
    send(idle.back(), "GET / HT", 8, MSG_NOSIGNAL);
  }
  EXPECT_NE(Get(server.Port(), "GET / HTTP/1.1\r\nHOST\r\n\r\n", 10).find("<p>page</p>"),
            std::string::npos);
  // the oldest made room, one of them for the request just served
  for (int i = 0; i < kExtra + 1; ++i) {
    char c;
    EXPECT_EQ(recv(idle[static_cast<std::size_t>(i)], &c, 1, 0), 0) << i;
  }
  for (std::size_t i = kExtra + 1; i < idle.size(); ++i)
    EXPECT_TRUE(WaitingOnUs(idle[i])) << i;
  for (int fd : idle)
    close(fd);
}

// Every place held by a client that has its answer and keeps the
// connection open: a new request is still answered.
TEST_F(Server, AnsweredClientsThatStayMakeRoom) {
  const std::string head =
      "HEAD / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n\r\n";
  std::vector<int> held;
  for (int i = 0; i < TLocalServer::kMaxClients; ++i) {
    held.push_back(Connect(server.Port()));
    ASSERT_GE(held.back(), 0);
    send(held.back(), head.data(), head.size(), MSG_NOSIGNAL);
  }
  for (int fd : held) {
    std::string answer;
    char buffer[512];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
      answer.append(buffer, static_cast<std::size_t>(n));
    EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK", 0), 0u);
  }
  EXPECT_EQ(Get(server.Port(), "GET / HTTP/1.1\r\nHOST\r\n\r\n", 10).rfind("HTTP/1.1 200 OK", 0),
            0u);
  for (int fd : held)
    close(fd);
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
