// The copy-data socket against clients that misbehave: a second server on a
// running one's name, stale and foreign files at its path, a client that
// never reads its answers, too many clients, clients that stay silent, accepts that fail for lack
// of file descriptors.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "APP/link/CopyDataServer.h"
#include "APP/tests/AppTestSupport.h"

namespace {

// Runs the event loop until done() or five seconds have passed.
bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  for (QDeadlineTimer limit(ms); !done();) {
    if (limit.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

sockaddr_un Address(const QString& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray encoded = QFile::encodeName(path);
  std::memcpy(address.sun_path, encoded.constData(), static_cast<std::size_t>(encoded.size()));
  return address;
}

// A non-blocking client socket, connected unless connect is false.
int Client(const QString& path, bool connectNow = true) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const sockaddr_un address = Address(path);
  if (connectNow &&
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

QByteArray Message(std::uint32_t size) {
  QByteArray m(static_cast<int>(4 + size), '\x11');
  std::memcpy(m.data(), &size, 4);
  return m;
}

// Sends bytes and reads `answers` u32 answers, serving the server meanwhile;
// fewer when the server closes the connection.
std::vector<std::int32_t> Exchange(int fd, const QByteArray& bytes, int answers) {
  EXPECT_EQ(::send(fd, bytes.constData(), static_cast<std::size_t>(bytes.size()), MSG_NOSIGNAL),
            bytes.size());
  QByteArray received;
  bool closed = false;
  WaitFor([&] {
    char buffer[64];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n > 0) received.append(buffer, static_cast<int>(n));
    closed = n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    return closed || received.size() >= 4 * answers;
  });
  std::vector<std::int32_t> result(static_cast<std::size_t>(received.size() / 4));
  std::memcpy(result.data(), received.constData(), result.size() * 4);
  return result;
}

// Whether the server closed the connection (end of file, or reset).
bool ClosedByServer(int fd) {
  char byte;
  const ssize_t n = ::recv(fd, &byte, 1, 0);
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

class CopyDataServerTest : public ::testing::Test {
 protected:
  CopyDataServerTest()
      : server(
            [this](std::uint32_t size, const void* data) {
              sizes.push_back(data != nullptr ? static_cast<std::int32_t>(size) : -1);
              return 2006;
            },
            96) {
    TestApplication();
    name = QStringLiteral("QDV47B5.CopyData.unit.%1").arg(::getpid());
  }
  ~CopyDataServerTest() override {
    for (int fd : clients) ::close(fd);
  }
  int Connect() {
    clients.push_back(Client(server.FullServerName()));
    return clients.back();
  }

  std::vector<std::int32_t> sizes;
  TCopyDataServer server;
  QString name;
  std::vector<int> clients;
};

TEST_F(CopyDataServerTest, ASecondServerNeverTakesARunningOnesSocket) {
  ASSERT_TRUE(server.Listen(name));
  EXPECT_EQ(server.FullServerName(), QDir::tempPath() + "/" + name);
  struct stat info;
  ASSERT_EQ(::stat(QFile::encodeName(server.FullServerName()).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  TCopyDataServer second([](std::uint32_t, const void*) { return 0; }, 96);
  EXPECT_FALSE(second.Listen(name));
  const int fd = Connect();
  EXPECT_EQ(Exchange(fd, Message(96) + Message(100) + Message(3), 3),
            (std::vector<std::int32_t>{2006, 2006, 2006}));
  EXPECT_EQ(sizes, (std::vector<std::int32_t>{96, -1, 3}));
  server.Close();
  EXPECT_FALSE(QFile::exists(QDir::tempPath() + "/" + name));
  EXPECT_TRUE(second.Listen(name));
  second.Close();

  // A socket left by a crash is replaced; a file that is no socket is not.
  const QString stale = QDir::tempPath() + "/" + name + ".stale";
  const int left = Client(stale, false);
  const sockaddr_un address = Address(stale);
  ASSERT_EQ(::bind(left, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::close(left);
  EXPECT_TRUE(server.Listen(stale));
  EXPECT_EQ(Exchange(Connect(), Message(0), 1), std::vector<std::int32_t>{2006});
  const QString foreign = QDir::tempPath() + "/" + name + ".file";
  QFile(foreign).open(QIODevice::WriteOnly);
  EXPECT_FALSE(server.Listen(foreign));
  EXPECT_TRUE(QFile::remove(foreign));
}

TEST_F(CopyDataServerTest, AClientThatNeverReadsIsDisconnected) {
  ASSERT_TRUE(server.Listen(name));
  const int fd = Connect();
  const QByteArray empty(4096, '\0');  // 1,024 messages of no bytes
  bool dropped = false;
  for (QDeadlineTimer limit(20000); !dropped && !limit.hasExpired();) {
    const ssize_t n = ::send(fd, empty.constData(), empty.size(), MSG_NOSIGNAL);
    dropped = n < 0 && errno != EAGAIN && errno != EWOULDBLOCK;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  EXPECT_TRUE(dropped);
  // The answers the server kept were bounded: it stopped after what the
  // socket buffers and 64 KiB of its own hold.
  EXPECT_GT(sizes.size(), std::size_t{64 * 1024 / 4});
  EXPECT_LT(sizes.size(), std::size_t{4 * 1024 * 1024 / 4});
  EXPECT_TRUE(WaitFor([&] { return server.ConnectionCount() == 0; }));
}

// Sixteen clients held and a seventeenth arrives: it is served, and the
// client silent for the longest time makes room for it; every other one is
// still served.
TEST_F(CopyDataServerTest, AClientBeyondTheBoundIsServedInTheLongestSilentOnesPlace) {
  ASSERT_TRUE(server.Listen(name));
  server.SetIdleTimeout(60000);
  for (int i = 0; i < TCopyDataServer::MaxConnections; ++i) Connect();
  ASSERT_TRUE(WaitFor([&] { return server.ConnectionCount() == TCopyDataServer::MaxConnections; }));
  // All but the first send: the first is now the longest silent.
  const std::size_t held = clients.size();
  for (std::size_t i = 1; i < held; ++i)
    ASSERT_EQ(Exchange(clients[i], Message(96), 1), std::vector<std::int32_t>{2006}) << i;
  ASSERT_EQ(Exchange(Connect(), Message(96), 1), std::vector<std::int32_t>{2006});
  EXPECT_TRUE(WaitFor([&] { return ClosedByServer(clients.front()); }));
  EXPECT_EQ(server.ConnectionCount(), TCopyDataServer::MaxConnections);
  for (std::size_t i = 1; i < held; ++i) {
    EXPECT_FALSE(ClosedByServer(clients[i])) << i;
    EXPECT_EQ(Exchange(clients[i], Message(3), 1), std::vector<std::int32_t>{2006}) << i;
  }
  for (int fd : clients) ::close(fd);
  clients.clear();
  EXPECT_TRUE(WaitFor([&] { return server.ConnectionCount() == 0; }));
}

// Clients that stay silent are dropped past the idle time-out, while a
// client that keeps sending stays.
TEST_F(CopyDataServerTest, IdleClientsAreDroppedAndActiveOnesKept) {
  ASSERT_TRUE(server.Listen(name));
  server.SetIdleTimeout(60000);
  for (int i = 0; i < TCopyDataServer::MaxConnections; ++i) Connect();
  ASSERT_TRUE(WaitFor([&] { return server.ConnectionCount() == TCopyDataServer::MaxConnections; }));

  constexpr int IdleMs = 1000;
  server.SetIdleTimeout(IdleMs);
  const int active = clients.front();
  // A message every tenth of the time-out, for two and a half time-outs.
  for (int i = 0; i < 25; ++i) {
    WaitFor([] { return false; }, IdleMs / 10);
    ASSERT_EQ(Exchange(active, Message(96), 1), std::vector<std::int32_t>{2006}) << i;
  }
  EXPECT_EQ(server.ConnectionCount(), 1);
  for (std::size_t i = 1; i < std::size_t{TCopyDataServer::MaxConnections}; ++i)
    EXPECT_TRUE(ClosedByServer(clients[i])) << i;
  EXPECT_EQ(Exchange(Connect(), Message(96), 1), std::vector<std::int32_t>{2006});
  EXPECT_EQ(Exchange(active, Message(96), 1), std::vector<std::int32_t>{2006});
}

TEST_F(CopyDataServerTest, AFailedAcceptKeepsListening) {
  ASSERT_TRUE(server.Listen(name));
  const int fd = Client(server.FullServerName(), false);
  clients.push_back(fd);
  // Every file descriptor in use: the server cannot accept the connection.
  rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = 256;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  std::vector<int> fillers;
  for (int f; (f = ::dup(0)) >= 0;) fillers.push_back(f);
  const sockaddr_un address = Address(server.FullServerName());
  EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  WaitFor([] { return false; }, 3 * TCopyDataServer::AcceptRetryMs);
  EXPECT_TRUE(server.IsListening());
  EXPECT_EQ(server.ConnectionCount(), 0);
  for (int f : fillers) ::close(f);
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_TRUE(WaitFor([&] { return server.ConnectionCount() == 1; }));
  EXPECT_EQ(Exchange(fd, Message(96), 1), std::vector<std::int32_t>{2006});
}

}  // namespace

// The framing alone: a stream of an empty message, a kept one and a longer
// one (read through without data), cut once at every point, gives the same
// three messages; an answer that drops the client stops the feed right
// after its message.
TEST(CopyDataFramer, MessagesSurviveEveryCutAndADropStopsTheFeed) {
  QByteArray stream = Message(0);
  QByteArray kept = Message(3);
  kept[4] = 'a', kept[5] = 'b', kept[6] = 'c';
  stream += kept + Message(9);
  struct Seen {
    std::uint32_t size;
    QByteArray data;
    bool operator==(const Seen&) const = default;
  };
  const std::vector<Seen> expected = {{0, ""}, {3, "abc"}, {9, QByteArray()}};
  for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
    std::vector<Seen> seen;
    TCopyDataFramer framer(
        [&seen](std::uint32_t size, const void* data) {
          seen.push_back({size, data != nullptr ? QByteArray(static_cast<const char*>(data), size)
                                                : QByteArray()});
          return static_cast<std::int32_t>(size);
        },
        8);
    const auto answer = [](std::int32_t) { return true; };
    EXPECT_EQ(framer.Feed(stream.constData(), static_cast<std::size_t>(cut), answer),
              static_cast<std::size_t>(cut));
    framer.Feed(stream.constData() + cut, static_cast<std::size_t>(stream.size() - cut), answer);
    EXPECT_EQ(seen, expected) << "cut at " << cut;
  }
  TCopyDataFramer framer([](std::uint32_t, const void*) { return 1; }, 8);
  EXPECT_EQ(framer.Feed(stream.constData(), static_cast<std::size_t>(stream.size()),
                        [](std::int32_t) { return false; }),
            4u);  // the empty message's count only
}
