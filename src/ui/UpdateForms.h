#pragma once
// The two windows of the update check: TCheckUpDateForm, shown while the version file is fetched,
// and TDownloadForm, which offers the newer version and downloads it with a progress bar.
// Both only show and relay; the rules live in desktop/UpdateRules.h and the transfer in
// TUpdateClient. User-interface thread only.

#include <QDialog>

#include "desktop/UpdateRules.h"
#include "ui/UpdateClient.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace tarnwick {

// Where and how one check fetches: the directory that receives the files, the version file's name
// and base address, and the upstream proxy.
struct TUpdateContext {
  QString Directory;
  QString IniName;
  QString BaseUrl;
  TUpdateProxy Proxy;
  QString CompanyText;

  QString IniPath() const { return Directory + QLatin1Char('/') + IniName; }
};

class TCheckUpDateForm : public QDialog {
  Q_OBJECT
 public:
  explicit TCheckUpDateForm(const TUpdateContext& context, QWidget* parent = nullptr);

  // Fetches the version file; true when it offers a newer version than `installed`.
  bool Run(const QString& installed);
  void Animate(bool on);

  QLabel* CompanyLabel;
  QLabel* InfoLabel;
  QProgressBar* Animation;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  TUpdateContext Context;
  TUpdateClient* Client;
};

class TDownloadForm : public QDialog {
  Q_OBJECT
 public:
  // Reads the version file that the check left in the context's directory.
  TDownloadForm(const TUpdateContext& context, const QString& installed, QWidget* parent = nullptr);

  void DownloadBtnClick();
  void CancelBtnClick();

  bool Succeeded() const { return Success; }
  // The checksum given by the version file did not match: the file was deleted.
  bool ChecksumRefused() const { return ChecksumMismatch; }
  bool AutomaticInstall() const { return Automatic; }
  QString DownloadedFile() const;
  TUpdateClient* Transfer() const { return Client; }

  QLabel* NewVerLabel;
  QLabel* CurVerLabel;
  QLabel* ProductLabel;
  QCheckBox* AutomaticCheckBox;
  QProgressBar* ProgressBar;
  QPushButton* DownloadBtn;
  QPushButton* CancelBtn;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnProgress(qint64 received, qint64 announced);
  bool ChecksumMatches() const;

  TUpdateContext Context;
  TVersionFile Version;
  QString FileName;
  TUpdateClient* Client = nullptr;
  bool Success = false;
  bool Busy = false;
  bool FirstPacket = true;
  bool Automatic = true;
  bool ChecksumMismatch = false;
};

}  // namespace tarnwick
