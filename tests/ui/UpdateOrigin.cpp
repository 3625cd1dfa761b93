#include "UpdateOrigin.h"

#include <QTcpSocket>
#include <QUrl>

namespace tarnwick::test {

TUpdateOrigin::TUpdateOrigin() {
  Server.listen(QHostAddress::LocalHost, 0);
  connect(&Server, &QTcpServer::newConnection, this, [this] {
    while (QTcpSocket* socket = Server.nextPendingConnection()) {
      socket->setParent(this);
      connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Answer(socket); });
      connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
  });
}

void TUpdateOrigin::Serve(const QString& path, const QByteArray& body, int holdAfter) {
  Files[path] = body;
  Holds[path] = holdAfter;
}

void TUpdateOrigin::Answer(QTcpSocket* socket) {
  QByteArray head = socket->property("head").toByteArray() + socket->readAll();
  socket->setProperty("head", head);
  if (!head.contains("\r\n\r\n") || socket->property("answered").toBool()) return;
  socket->setProperty("answered", true);
  const QString target = QString::fromLatin1(head.left(head.indexOf("\r\n")).split(' ').value(1));
  Targets << target;
  const QString path = target.startsWith('/') ? target : QUrl(target).path();
  if (!Files.contains(path)) {
    socket->write("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    socket->disconnectFromHost();
    return;
  }
  const QByteArray& body = Files[path];
  socket->write("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n");
  const int hold = Holds.value(path, -1);
  if (hold >= 0) {
    socket->write(body.left(hold));
    connect(socket, &QTcpSocket::disconnected, this, [this] { ++ClosedWhileHeld; });
    return;  // the rest never comes; the client has to give up
  }
  socket->write(body);
  socket->disconnectFromHost();
}

}  // namespace tarnwick::test
