// The copy-data socket: the local socket on which another program (the
// colour-correction tool) sends the main window its messages.
//
// A message is a little-endian u32 byte count followed by that many bytes;
// each one is answered with the handler's result as a little-endian u32, in
// order. Messages of up to keptBytes bytes reach the handler with their
// data; longer ones are read through and reach it with no data.
//
// The server is served by the event loop of the thread that owns it, and it
// stands up to clients that misbehave:
// - a second program never takes the socket from a running one: a socket
//   file is replaced only when no server answers on it (it is stale after a
//   crash), and a file that is not a socket is never replaced;
// - the socket is for the user who runs the program only;
// - a client whose unread answers pass MaxUnreadAnswerBytes is disconnected,
//   so a client that sends but never reads cannot make memory grow;
// - at most MaxConnections clients are served at once, and a client that
//   connects is always served: at the bound, the client that has sent
//   nothing for the longest time is dropped to make room, so clients that
//   connect and stay silent cannot keep the colour tool out;
// - a client that sends nothing for the idle time-out is disconnected;
// - a failed accept (out of file descriptors) never ends listening: the
//   server tries again a little later.
#ifndef APP_COPYDATASERVER_H
#define APP_COPYDATASERVER_H

#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/handle.h"

class QLocalSocket;
class QSocketNotifier;
class QTimer;

class TCopyDataServer : public QObject {
  Q_OBJECT
 public:
  using Handler = std::function<std::int32_t(std::uint32_t size, const void* data)>;

  static constexpr int MaxConnections = 16;
  static constexpr std::int64_t MaxUnreadAnswerBytes = 64 * 1024;
  // Pause before accepting again after an accept failed for lack of
  // resources.
  static constexpr int AcceptRetryMs = 100;
  // A served client that sends nothing for this long is disconnected.
  static constexpr int DefaultIdleTimeoutMs = 5000;

  TCopyDataServer(Handler handler, std::uint32_t keptBytes, QObject* parent = nullptr);
  ~TCopyDataServer() override;

  // Stops listening, then listens on name: an absolute path, or a name in
  // the temporary folder (as QLocalSocket::connectToServer resolves it).
  // False when another server answers there, when something other than a
  // socket has that path, or when the socket cannot be made.
  bool Listen(const QString& name);
  // Stops listening and removes the socket file; served clients stay.
  void Close();
  bool IsListening() const { return listenSocket_.valid(); }
  QString ServerName() const { return serverName_; }
  QString FullServerName() const { return path_; }
  // Clients being served now.
  int ConnectionCount() const { return static_cast<int>(clients_.size()); }
  // Sets the idle time-out; clients served now start their wait anew.
  void SetIdleTimeout(int milliseconds);

 private:
  void AcceptPending();
  void Serve(platform::UniqueFd client);
  // A client sent something: it becomes the last to be dropped for room.
  void Touch(QLocalSocket* client);
  // A client leaves the served ones (it disconnected, or it is dropped).
  void Forget(const QObject* client);
  void Drop(QLocalSocket* client);

  Handler handler_;
  std::uint32_t keptBytes_;
  QString serverName_;
  QString path_;
  platform::UniqueFd listenSocket_;
  QSocketNotifier* notifier_ = nullptr;
  QTimer* retry_ = nullptr;
  // The clients served, the one silent for the longest time first.
  std::vector<QLocalSocket*> clients_;
  int idleTimeoutMs_ = DefaultIdleTimeoutMs;
};

// The message framing of the socket, apart from the socket: bytes go in as
// they arrive, split at any point, and each complete message reaches the
// handler once, with its data when it is no longer than keptBytes.
class TCopyDataFramer {
 public:
  using Handler = std::function<std::int32_t(std::uint32_t size, const void* data)>;
  // Takes the handler's result of each message; false stops the feed (the
  // client is dropped).
  using Answer = std::function<bool(std::int32_t result)>;

  TCopyDataFramer(Handler handler, std::uint32_t keptBytes);

  // Takes bytes until all n are taken or an answer stops the feed; returns
  // the number taken.
  std::size_t Feed(const char* bytes, std::size_t n, const Answer& answer);

 private:
  bool Kept() const { return size_ <= keptBytes_; }

  Handler handler_;
  std::uint32_t keptBytes_;
  char countBuffer_[4] = {};
  std::size_t countBytes_ = 0;
  std::uint32_t size_ = 0;
  std::uint32_t received_ = 0;
  std::vector<char> data_;
};

#endif
