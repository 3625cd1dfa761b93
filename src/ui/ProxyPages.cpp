// The pages without filter lists: proxy setup, access control and the miscellaneous options.

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/CheckList.h"
#include "ui/Pages.h"
#include "ui/RadioGroup.h"
#include "ui/Widgets.h"

namespace tarnwick {

namespace {

// The product logo, drawn rather than shipped as a picture file.
QPixmap LogoPixmap() {
  QPixmap pixmap(220, 64);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient fill(0, 0, 0, 64);
  fill.setColorAt(0, QColor(0x2b, 0x5f, 0x9e));
  fill.setColorAt(1, QColor(0x16, 0x35, 0x5c));
  painter.setBrush(fill);
  painter.setPen(Qt::NoPen);
  painter.drawRoundedRect(QRectF(1, 1, 218, 62), 10, 10);
  painter.setBrush(Qt::white);
  painter.drawEllipse(QPointF(34, 32), 18, 12);
  painter.setBrush(QColor(0x2b, 0x5f, 0x9e));
  painter.drawEllipse(QPointF(34, 32), 7, 7);
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setPointSize(18);
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(QRectF(60, 0, 156, 64), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Tarnwick"));
  return pixmap;
}

}  // namespace

TProxyPage::TProxyPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("tab_Proxy"));
  auto* local = new QGroupBox(QStringLiteral("#Local Filtering Proxy"), this);
  Port = MakeEdit(QStringLiteral("Port"), local);
  Port->setMaximumWidth(100);
  Port->setToolTip(QStringLiteral("#HListening port"));
  AllowOthers = MakeCheck(QStringLiteral("AllowOthers"), QStringLiteral("#Allow external access"), local);
  AllowOthers->setToolTip(QStringLiteral("#HAllow external access"));
  auto* localGrid = new QGridLayout(local);
  localGrid->addWidget(MakeLabel(QStringLiteral("#Listening port:"), Port, local), 0, 0);
  localGrid->addWidget(Port, 0, 1);
  localGrid->addWidget(AllowOthers, 1, 0, 1, 2);
  localGrid->setColumnStretch(2, 1);

  auto* upstream = new QGroupBox(QStringLiteral("#Upstream Proxy Configuration"), this);
  ProxyName = MakeEdit(QStringLiteral("ProxyName"), upstream);
  ProxyPort = MakeEdit(QStringLiteral("ProxyPort"), upstream);
  ProxyPort->setMaximumWidth(100);
  ProxyName->setToolTip(QStringLiteral("#HProxy Server Name"));
  ProxyPort->setToolTip(QStringLiteral("#HProxy Port"));
  UseProxy = MakeCheck(QStringLiteral("UseProxy"), QStringLiteral("#Use upstream proxy"), upstream);
  UseProxy->setToolTip(QStringLiteral("#HUse upstream proxy"));
  auto* upstreamGrid = new QGridLayout(upstream);
  upstreamGrid->addWidget(MakeLabel(QStringLiteral("#Proxy Server Name"), ProxyName, upstream), 0, 0);
  upstreamGrid->addWidget(ProxyName, 0, 1, 1, 2);
  upstreamGrid->addWidget(MakeLabel(QStringLiteral("#Proxy Port"), ProxyPort, upstream), 1, 0);
  upstreamGrid->addWidget(ProxyPort, 1, 1);
  upstreamGrid->addWidget(UseProxy, 2, 0, 1, 3);
  upstreamGrid->setColumnStretch(2, 1);

  LogoImage = Named(new QLabel(this), QStringLiteral("LogoImage"));
  LogoImage->setPixmap(LogoPixmap());
  LogoImage->setCursor(Qt::PointingHandCursor);
  LogoImage->setToolTip(QStringLiteral("#HLogo"));
  LogoImage->installEventFilter(this);

  auto* column = new QVBoxLayout(this);
  column->addWidget(local);
  column->addWidget(upstream);
  column->addStretch(1);
  column->addWidget(LogoImage, 0, Qt::AlignRight | Qt::AlignBottom);

  connect(UseProxy, &QCheckBox::toggled, this, &TProxyPage::UpdateProxyEdits);
  UpdateProxyEdits();
}

bool TProxyPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == LogoImage && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    emit LogoClicked();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TProxyPage::UpdateProxyEdits() {
  ProxyName->setEnabled(UseProxy->isChecked());
  ProxyPort->setEnabled(UseProxy->isChecked());
}

TAclPage::TAclPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("tab_ACL"));
  AddACLText = MakeEdit(QStringLiteral("AddACLText"), this);
  AddACLText->setToolTip(QStringLiteral("#HAddACLText"));
  but_AddACL = MakeButton(QStringLiteral("but_AddACL"), QStringLiteral("#Add"), this);
  but_DelACL = MakeButton(QStringLiteral("but_DelACL"), QStringLiteral("#Del"), this);
  ACLList = new TCheckList(QStringLiteral("ACLList"), this);

  auto* method = new QGroupBox(QStringLiteral("#Access Method"), this);
  acl_Grant = MakeRadio(QStringLiteral("acl_Grant"), QStringLiteral("#Always grant access"), method);
  acl_Deny = MakeRadio(QStringLiteral("acl_Deny"), QStringLiteral("#Always deny access"), method);
  acl_Password = MakeRadio(QStringLiteral("acl_Password"), QStringLiteral("#Username/Password-based access"), method);
  acl_Grant->setChecked(true);
  ACLUser = MakeEdit(QStringLiteral("ACLUser"), method);
  ACLPass = MakeEdit(QStringLiteral("ACLPass"), method);
  auto* methodGrid = new QGridLayout(method);
  methodGrid->addWidget(acl_Grant, 0, 0, 1, 2);
  methodGrid->addWidget(acl_Deny, 1, 0, 1, 2);
  methodGrid->addWidget(acl_Password, 2, 0, 1, 2);
  methodGrid->addWidget(MakeLabel(QStringLiteral("#Username:"), ACLUser, method), 3, 0);
  methodGrid->addWidget(ACLUser, 3, 1);
  methodGrid->addWidget(MakeLabel(QStringLiteral("#Password:"), ACLPass, method), 4, 0);
  methodGrid->addWidget(ACLPass, 4, 1);

  auto* expiry = new QGroupBox(QStringLiteral("#Access Password settings"), this);
  PassExpire = Named(new QSpinBox(expiry), QStringLiteral("PassExpire"));
  // Minutes; the upper end is what still fits in the milliseconds the engine counts.
  PassExpire->setRange(0, 35791);
  PassExpire->setToolTip(QStringLiteral("#HPassword expiry timeout"));
  auto* expiryRow = new QGridLayout(expiry);
  expiryRow->addWidget(MakeLabel(QStringLiteral("#Password expiry timeout"), PassExpire, expiry), 0, 0, 1, 3);
  expiryRow->addWidget(PassExpire, 1, 0);
  expiryRow->addWidget(new QLabel(QStringLiteral("#Minutes"), expiry), 1, 1);
  expiryRow->setColumnStretch(2, 1);

  auto* editRow = new QHBoxLayout;
  editRow->addWidget(AddACLText, 1);
  editRow->addWidget(but_AddACL);
  editRow->addWidget(but_DelACL);
  auto* left = new QVBoxLayout;
  left->addLayout(editRow);
  left->addWidget(ACLList, 1);
  auto* right = new QVBoxLayout;
  right->addWidget(method);
  right->addWidget(expiry);
  right->addStretch(1);
  auto* columns = new QHBoxLayout(this);
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);
}

TMiscPage::TMiscPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("tab_Misc"));
  Referer = new TRadioGroup(QStringLiteral("Referer"), QStringLiteral("#Referer"),
                            {QStringLiteral("#Do not remove 'Referer'"), QStringLiteral("#Always remove 'Referer'"),
                             QStringLiteral("#Remove 'Referer' if the domain is different"),
                             QStringLiteral("#Remove 'Referer' if the domain or path is different")},
                            this);
  Referer->SetItemIndex(0);
  Referer->setToolTip(QStringLiteral("#HReferer"));
  Popups = new TRadioGroup(
      QStringLiteral("Popups"), QStringLiteral("#Popup Windows"),
      {QStringLiteral("#Do not filter popup windows"), QStringLiteral("#Filter automatic opened popup windows")}, this);
  Popups->SetItemIndex(0);
  Popups->setToolTip(QStringLiteral("#HPopup Windows"));
  auto* column = new QVBoxLayout(this);
  column->addWidget(Referer);
  column->addWidget(Popups);
  column->addStretch(1);
}

}  // namespace tarnwick
