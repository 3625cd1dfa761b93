#pragma once
// TUpdateOrigin: a small HTTP server on 127.0.0.1 in the test's own event loop, serving files by
// path. It answers absolute-URL requests too, so the same class stands in for an upstream proxy.
// A file can be served in part and then held, to test a cancelled transfer.

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTcpServer>

namespace tarnwick::test {

class TUpdateOrigin : public QObject {
  Q_OBJECT
 public:
  TUpdateOrigin();

  quint16 Port() const { return Server.serverPort(); }
  QString Base() const { return QStringLiteral("http://127.0.0.1:%1/").arg(Port()); }
  // `holdAfter` >= 0: send the head (with the full length) and this many body bytes, then wait.
  void Serve(const QString& path, const QByteArray& body, int holdAfter = -1);

  // The request targets received, in order ("/update.ini", or "http://host/update.ini").
  QStringList Targets;
  // Connections the client closed while a held file was still being sent.
  int ClosedWhileHeld = 0;

 private:
  void Answer(class QTcpSocket* socket);

  QTcpServer Server;
  QMap<QString, QByteArray> Files;
  QMap<QString, int> Holds;
};

}  // namespace tarnwick::test
