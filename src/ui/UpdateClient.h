#pragma once
// TUpdateClient: the HTTP client of the update check. Get fetches one address into a file, directly
// or through the upstream proxy, and returns when the transfer has ended; the user interface keeps
// running meanwhile (a nested event loop), so a Cancel button can call Abort. The file is replaced
// only by a complete, successful (2xx) answer; otherwise it is left as it was. Only http and https
// addresses are fetched.
//
// User-interface thread only. One transfer at a time.

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

namespace tarnwick {

struct TUpdateProxy {
  QString Host;  // empty: direct
  int Port = 80;
};

class TUpdateClient : public QObject {
  Q_OBJECT

 public:
  explicit TUpdateClient(TUpdateProxy proxy, QObject* parent = nullptr);
  ~TUpdateClient() override;

  bool Get(const QUrl& url, const QString& file);
  // Ends the transfer in progress, which then fails; nothing when none is running.
  void Abort();
  bool Busy() const { return Reply != nullptr; }

 signals:
  // For each piece received: bytes so far, and the announced length (0 when none was announced).
  void Progress(qint64 received, qint64 announced);

 private:
  QNetworkAccessManager Network;
  QPointer<QNetworkReply> Reply;
  QEventLoop* Loop = nullptr;  // the wait of the running Get
  bool Aborted = false;
};

}  // namespace tarnwick
