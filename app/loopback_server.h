// A web server of the program's own on 127.0.0.1, answering from a thread
// of its own, so that the work of the GUI thread (a listing being parsed, a
// dialog) never holds up a page.
#pragma once

#include <QString>

#include <memory>

class QAbstractHttpServer;
class QThread;

namespace vantrelis {

class LoopbackServer {
 public:
  // Takes `server` (not yet listening) to a thread named `name`.
  LoopbackServer(std::unique_ptr<QAbstractHttpServer> server, const QString& name);
  // Deletes the server (and its sockets) on its thread, then ends it.
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Listens on `port` of 127.0.0.1 (0: a free one); the port listened on,
  // 0 when it cannot.
  quint16 listen(quint16 port);

 private:
  QThread* m_thread;
  QAbstractHttpServer* m_server;  // lives on m_thread
};

}  // namespace vantrelis
