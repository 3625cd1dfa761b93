#include "ui/UpdateClient.h"

#include <QEventLoop>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>

namespace tarnwick {

namespace {

// A stalled server must not keep the window waiting for ever.
constexpr int kTransferTimeoutMs = 30000;

}  // namespace

TUpdateClient::TUpdateClient(TUpdateProxy proxy, QObject* parent) : QObject(parent) {
  // Only the program's own upstream proxy is used, never one from the environment.
  Network.setProxy(proxy.Host.isEmpty()
                       ? QNetworkProxy(QNetworkProxy::NoProxy)
                       : QNetworkProxy(QNetworkProxy::HttpProxy, proxy.Host, static_cast<quint16>(proxy.Port)));
}

TUpdateClient::~TUpdateClient() { Abort(); }

bool TUpdateClient::Get(const QUrl& url, const QString& file) {
  // Only the web: a version file must not make the client copy a local file (file:) or anything else.
  if (Reply || !url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
    return false;
  }
  QSaveFile output(file);
  if (!output.open(QIODevice::WriteOnly)) return false;

  QNetworkRequest request(url);
  request.setTransferTimeout(kTransferTimeoutMs);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  Aborted = false;
  Reply = Network.get(request);
  QNetworkReply* reply = Reply;
  bool writeFailed = false;
  qint64 received = 0;
  // Progress follows every piece as it arrives: Qt's own progress signal is held back while pieces
  // come quickly, and so could stay silent while a slow server stalls.
  const auto take = [&] {
    if (Aborted || !reply->isOpen()) return;
    const QByteArray piece = reply->readAll();
    if (piece.isEmpty()) return;
    if (output.write(piece) != piece.size()) writeFailed = true;
    received += piece.size();
    const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    emit Progress(received, announced > 0 ? announced : 0);
  };
  connect(reply, &QNetworkReply::readyRead, this, take);
  QEventLoop loop;
  connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  // User input stays live so that a Cancel button can act.
  Loop = &loop;
  if (!reply->isFinished()) loop.exec();
  Loop = nullptr;

  take();
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  const bool ok = !Aborted && !writeFailed && reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
  Reply = nullptr;
  reply->deleteLater();
  if (!ok) {
    output.cancelWriting();
    return false;
  }
  return output.commit();
}

void TUpdateClient::Abort() {
  if (!Reply) return;
  Aborted = true;
  Reply->abort();
  // An abort from inside the reply's own signals does not always finish it at once: end the wait
  // here rather than at the transfer time-out.
  if (Loop) Loop->quit();
}

}  // namespace tarnwick
