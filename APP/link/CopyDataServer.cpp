#include "APP/link/CopyDataServer.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The object name of each client's idle timer.
const QString IdleTimerName = QStringLiteral("idleTimer");

// One connection: reads what arrives, hands it to the framer and writes
// each answer.
class TCopyDataReader : public QObject {
 public:
  TCopyDataReader(QLocalSocket* socket, TCopyDataServer::Handler handler, std::uint32_t keptBytes)
      : QObject(socket), socket_(socket), framer_(std::move(handler), keptBytes) {
    connect(socket, &QLocalSocket::readyRead, this, &TCopyDataReader::Read);
  }

  void Read() {
    char buffer[4096];
    const auto answer = [this](std::int32_t result) { return Answer(result); };
    while (socket_->state() == QLocalSocket::ConnectedState && socket_->bytesAvailable() > 0) {
      const qint64 n = socket_->read(buffer, sizeof buffer);
      if (n <= 0) return;
      // Fewer bytes taken than read: the client was dropped.
      if (framer_.Feed(buffer, static_cast<std::size_t>(n), answer) < static_cast<std::size_t>(n))
        return;
    }
  }

 private:
  // Writes one answer; false when the client is dropped because it leaves
  // too many answers unread.
  bool Answer(std::int32_t result) {
    const char answer[4] = {char(result & 0xff), char((result >> 8) & 0xff),
                            char((result >> 16) & 0xff), char((result >> 24) & 0xff)};
    socket_->write(answer, 4);
    socket_->flush();
    if (socket_->bytesToWrite() <= TCopyDataServer::MaxUnreadAnswerBytes) return true;
    socket_->abort();
    socket_->deleteLater();
    return false;
  }

  QLocalSocket* socket_;
  TCopyDataFramer framer_;
};

// Whether the path is free for a new socket: nothing there, or a socket on
// which no server answers any more (left by a crash), which is removed.
bool ClaimSocketPath(const sockaddr_un& address) {
  struct stat info;
  if (::lstat(address.sun_path, &info) != 0) return errno == ENOENT;
  if (!S_ISSOCK(info.st_mode)) return false;
  const platform::UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!probe) return false;
  const int connected =
      ::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int error = errno;
  // Connected, or a full queue (EAGAIN): a server runs there. Only a refusal
  // shows a socket that nobody serves.
  if (connected == 0 || error != ECONNREFUSED) return false;
  return ::unlink(address.sun_path) == 0;
}

}  // namespace

TCopyDataFramer::TCopyDataFramer(Handler handler, std::uint32_t keptBytes)
    : handler_(std::move(handler)), keptBytes_(keptBytes), data_(keptBytes) {}

std::size_t TCopyDataFramer::Feed(const char* bytes, std::size_t n, const Answer& answer) {
  std::size_t taken = 0;
  while (taken < n) {
    if (countBytes_ < 4) {
      const std::size_t k = std::min(4 - countBytes_, n - taken);
      std::memcpy(countBuffer_ + countBytes_, bytes + taken, k);
      countBytes_ += k;
      taken += k;
      if (countBytes_ < 4) break;
      size_ = std::uint32_t(std::uint8_t(countBuffer_[0])) |
              std::uint32_t(std::uint8_t(countBuffer_[1])) << 8 |
              std::uint32_t(std::uint8_t(countBuffer_[2])) << 16 |
              std::uint32_t(std::uint8_t(countBuffer_[3])) << 24;
      received_ = 0;
    } else {
      const std::size_t k =
          static_cast<std::size_t>(std::min<std::uint64_t>(size_ - received_, n - taken));
      // A longer message is read through without its data.
      if (Kept() && k > 0) std::memcpy(data_.data() + received_, bytes + taken, k);
      received_ += static_cast<std::uint32_t>(k);
      taken += k;
    }
    if (countBytes_ == 4 && received_ == size_) {
      const std::int32_t result = handler_(size_, Kept() ? data_.data() : nullptr);
      countBytes_ = 0;
      received_ = 0;
      size_ = 0;
      if (!answer(result)) break;
    }
  }
  return taken;
}

TCopyDataServer::TCopyDataServer(Handler handler, std::uint32_t keptBytes, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), keptBytes_(keptBytes) {
  retry_ = new QTimer(this);
  retry_->setSingleShot(true);
  retry_->setInterval(AcceptRetryMs);
  connect(retry_, &QTimer::timeout, this, [this] {
    if (notifier_ == nullptr) return;
    notifier_->setEnabled(true);
    AcceptPending();
  });
}

TCopyDataServer::~TCopyDataServer() { Close(); }

bool TCopyDataServer::Listen(const QString& name) {
  Close();
  const QString path =
      name.startsWith(QLatin1Char('/')) ? name : QDir::tempPath() + QLatin1Char('/') + name;
  const QByteArray encoded = QFile::encodeName(path);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (encoded.isEmpty() || static_cast<std::size_t>(encoded.size()) >= sizeof address.sun_path)
    return false;
  std::memcpy(address.sun_path, encoded.constData(), static_cast<std::size_t>(encoded.size()));
  if (!ClaimSocketPath(address)) return false;

  platform::UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!socket) return false;
  if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    return false;
  // Only this user may connect; nobody can before listen() below.
  if (::chmod(address.sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(socket.get(), SOMAXCONN) != 0) {
    ::unlink(address.sun_path);
    return false;
  }
  listenSocket_ = std::move(socket);
  serverName_ = name;
  path_ = path;
  notifier_ =
      new QSocketNotifier(static_cast<qintptr>(listenSocket_.get()), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TCopyDataServer::AcceptPending);
  return true;
}

void TCopyDataServer::Close() {
  if (!listenSocket_) return;
  retry_->stop();
  // The notifier goes before the descriptor it watches.
  delete notifier_;
  notifier_ = nullptr;
  listenSocket_.reset();
  ::unlink(QFile::encodeName(path_).constData());
  serverName_.clear();
  path_.clear();
}

void TCopyDataServer::SetIdleTimeout(int milliseconds) {
  idleTimeoutMs_ = milliseconds;
  for (QTimer* idle : findChildren<QTimer*>(IdleTimerName)) idle->start(milliseconds);
}

void TCopyDataServer::AcceptPending() {
  while (listenSocket_) {
    platform::UniqueFd client(
        ::accept4(listenSocket_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!client) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return;
      // Out of descriptors or memory: the connection stays queued. Waiting
      // a little, instead of being woken for it again at once, keeps the
      // program responsive; listening goes on.
      notifier_->setEnabled(false);
      retry_->start();
      return;
    }
    // At the bound, the longest-silent client makes room: a program that
    // connects is always served.
    if (clients_.size() >= std::size_t{MaxConnections}) Drop(clients_.front());
    Serve(std::move(client));
  }
}

void TCopyDataServer::Touch(QLocalSocket* client) {
  const auto it = std::find(clients_.begin(), clients_.end(), client);
  if (it != clients_.end()) std::rotate(it, it + 1, clients_.end());
}

void TCopyDataServer::Forget(const QObject* client) {
  const auto it = std::find(clients_.begin(), clients_.end(), client);
  if (it != clients_.end()) clients_.erase(it);
}

void TCopyDataServer::Drop(QLocalSocket* client) {
  Forget(client);
  client->abort();
  client->deleteLater();
}

void TCopyDataServer::Serve(platform::UniqueFd client) {
  auto* socket = new QLocalSocket(this);
  if (!socket->setSocketDescriptor(client.get())) {
    delete socket;
    return;
  }
  client.release();  // the socket owns it now
  clients_.push_back(socket);
  // Served until it leaves, whichever way: it disconnects, or it is dropped
  // (for room, for silence, for answers it does not read).
  connect(socket, &QObject::destroyed, this, [this](QObject* gone) { Forget(gone); });
  connect(socket, &QLocalSocket::disconnected, this, [this, socket] { Forget(socket); });
  connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  // Every arrival starts the idle wait anew; a client silent for the whole
  // wait is dropped.
  auto* idle = new QTimer(socket);
  idle->setObjectName(IdleTimerName);
  idle->setSingleShot(true);
  connect(idle, &QTimer::timeout, socket, [socket] {
    socket->abort();
    socket->deleteLater();
  });
  connect(socket, &QLocalSocket::readyRead, idle, [this, idle, socket] {
    idle->start(idleTimeoutMs_);
    Touch(socket);
  });
  idle->start(idleTimeoutMs_);
  auto* reader = new TCopyDataReader(socket, handler_, keptBytes_);
  reader->Read();
}
