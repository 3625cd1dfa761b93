#include "ui/UpdateForms.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCryptographicHash>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/Widgets.h"

namespace tarnwick {

namespace {

QLabel* MakeValue(const QString& name, QWidget* parent) {
  auto* label = Named(new QLabel(parent), name);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

TCheckUpDateForm::TCheckUpDateForm(const TUpdateContext& context, QWidget* parent)
    : QDialog(parent), Context(context), Client(new TUpdateClient(context.Proxy, this)) {
  setObjectName(QStringLiteral("CheckUpDateForm"));
  setWindowTitle(QStringLiteral("#Looking for Updates"));
  CompanyLabel = MakeValue(QStringLiteral("CompanyLabel"), this);
  CompanyLabel->setText(context.CompanyText);
  InfoLabel = Named(new QLabel(QStringLiteral("#Looking for a newer version..."), this), QStringLiteral("InfoLabel"));
  Animation = Named(new QProgressBar(this), QStringLiteral("Animate"));
  Animation->setTextVisible(false);
  Animation->setMinimumWidth(320);
  auto* column = new QVBoxLayout(this);
  column->addWidget(CompanyLabel);
  column->addWidget(InfoLabel);
  column->addWidget(Animation);
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TCheckUpDateForm::Animate(bool on) {
  // A bar without a range runs its busy animation.
  Animation->setRange(0, on ? 0 : 1);
}

bool TCheckUpDateForm::Run(const QString& installed) {
  show();
  Animate(true);
  const bool fetched = Client->Get(QUrl(Context.BaseUrl + Context.IniName), Context.IniPath());
  Animate(false);
  hide();
  if (!fetched || !QFile::exists(Context.IniPath())) return false;
  std::string offered = ReadVersionFile(Context.IniPath().toStdString()).CurVer;
  if (offered.empty()) offered = installed.toStdString();
  return IsNewerVersion(installed.toStdString(), offered);
}

void TCheckUpDateForm::closeEvent(QCloseEvent* event) {
  // Closing the window (or the session ending) gives up the fetch.
  Client->Abort();
  QDialog::closeEvent(event);
}

TDownloadForm::TDownloadForm(const TUpdateContext& context, const QString& installed, QWidget* parent)
    : QDialog(parent), Context(context), Version(ReadVersionFile(context.IniPath().toStdString())) {
  setObjectName(QStringLiteral("DownloadForm"));
  setWindowTitle(QStringLiteral("#Update Wizard"));
  FileName = QString::fromStdString(DownloadFileName(Version.DownloadURL));

  NewVerLabel = MakeValue(QStringLiteral("NewVerLabel"), this);
  NewVerLabel->setText(QString::fromStdString(Version.CurVer));
  CurVerLabel = MakeValue(QStringLiteral("CurVerLabel"), this);
  CurVerLabel->setText(installed);
  ProductLabel = MakeValue(QStringLiteral("ProductLabel"), this);
  ProductLabel->setText(QString::fromStdString(ProductLine(Version)));
  AutomaticCheckBox = MakeCheck(QStringLiteral("AutomaticCheckBox"), QStringLiteral("#Automatic Installation"), this);
  AutomaticCheckBox->setToolTip(QStringLiteral("#HAutomatic Installation"));
  AutomaticCheckBox->setChecked(true);
  ProgressBar = Named(new QProgressBar(this), QStringLiteral("ProgressBar"));
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setMinimumWidth(340);
  DownloadBtn = MakeButton(QStringLiteral("DownloadBtn"), QStringLiteral("#Download"), this);
  CancelBtn = MakeButton(QStringLiteral("CancelBtn"), QStringLiteral("#Cancel"), this);

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("#A new version is available:"), this), 0, 0, 1, 2);
  grid->addWidget(ProductLabel, 1, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("#New version:"), this), 2, 0);
  grid->addWidget(NewVerLabel, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("#Installed version:"), this), 3, 0);
  grid->addWidget(CurVerLabel, 3, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(DownloadBtn);
  buttons->addWidget(CancelBtn);
  auto* column = new QVBoxLayout(this);
  column->addLayout(grid);
  column->addWidget(AutomaticCheckBox);
  column->addWidget(ProgressBar);
  column->addLayout(buttons);
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  connect(DownloadBtn, &QPushButton::clicked, this, &TDownloadForm::DownloadBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TDownloadForm::CancelBtnClick);
}

QString TDownloadForm::DownloadedFile() const { return Context.Directory + QLatin1Char('/') + FileName; }

void TDownloadForm::DownloadBtnClick() {
  if (Busy) return;
  Success = false;
  ChecksumMismatch = false;
  FirstPacket = true;
  Busy = true;
  Automatic = AutomaticCheckBox->isChecked();
  DownloadBtn->setEnabled(false);
  AutomaticCheckBox->setEnabled(false);
  // A version file without a usable file name offers nothing to save.
  if (!FileName.isEmpty()) {
    TUpdateClient client(Context.Proxy);
    Client = &client;
    connect(&client, &TUpdateClient::Progress, this, &TDownloadForm::OnProgress);
    Success = client.Get(QUrl(QString::fromStdString(Version.DownloadURL)), DownloadedFile());
    Client = nullptr;
  }
  if (Success && !ChecksumMatches()) {
    QFile::remove(DownloadedFile());
    Success = false;
    ChecksumMismatch = true;
  }
  Busy = false;
  done(Success ? Accepted : Rejected);
}

void TDownloadForm::CancelBtnClick() {
  if (Busy && Client) Client->Abort();
  done(Rejected);
}

void TDownloadForm::closeEvent(QCloseEvent* event) {
  if (Busy && Client) Client->Abort();
  QDialog::closeEvent(event);
}

void TDownloadForm::OnProgress(qint64 received, qint64 announced) {
  if (FirstPacket) {
    FirstPacket = false;
    // Without an announced length the bar can only show that something is arriving.
    ProgressBar->setRange(0, announced > 0 ? static_cast<int>(std::min<qint64>(announced, INT32_MAX)) : 0);
  }
  if (ProgressBar->maximum() > 0)
    ProgressBar->setValue(static_cast<int>(std::min<qint64>(received, ProgressBar->maximum())));
}

bool TDownloadForm::ChecksumMatches() const {
  if (Version.Sha256.empty()) return true;
  QFile file(DownloadedFile());
  if (!file.open(QIODevice::ReadOnly)) return false;
  QCryptographicHash hash(QCryptographicHash::Sha256);
  if (!hash.addData(&file)) return false;
  return hash.result().toHex() == QByteArray::fromStdString(Version.Sha256);
}

}  // namespace tarnwick
