#include "app/loopback_server.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QThread>

namespace vantrelis {

LoopbackServer::LoopbackServer(std::unique_ptr<QAbstractHttpServer> server, const QString& name)
    : m_thread(new QThread), m_server(server.release()) {
  m_thread->setObjectName(name);
  m_server->moveToThread(m_thread);
  m_thread->start();
}

LoopbackServer::~LoopbackServer() {
  // The server and its sockets belong to the server's thread: deleted there.
  QAbstractHttpServer* server = m_server;
  QMetaObject::invokeMethod(
      server, [server] { delete server; }, Qt::BlockingQueuedConnection);
  m_thread->quit();
  m_thread->wait();
  delete m_thread;
}

quint16 LoopbackServer::listen(quint16 port) {
  quint16 listening = 0;
  QAbstractHttpServer* server = m_server;
  QMetaObject::invokeMethod(
      server, [server, port, &listening] { listening = server->listen(QHostAddress::LocalHost, port); },
      Qt::BlockingQueuedConnection);
  return listening;
}

}  // namespace vantrelis
