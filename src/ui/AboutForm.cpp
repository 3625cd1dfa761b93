#include "ui/AboutForm.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace tarnwick {

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutForm"));
  setWindowTitle(QStringLiteral("#About Tarnwick"));
  auto* name = new QLabel(QStringLiteral("Tarnwick"), this);
  name->setObjectName(QStringLiteral("ProductName"));
  QFont large = name->font();
  large.setPointSize(large.pointSize() * 2);
  large.setBold(true);
  name->setFont(large);
  name->setAlignment(Qt::AlignCenter);
  name->setMinimumWidth(280);
  auto* version = new QLabel(QString::fromLatin1(kProductVersion), this);
  version->setObjectName(QStringLiteral("Version"));
  version->setAlignment(Qt::AlignCenter);
  auto* purpose = new QLabel(QStringLiteral("#A personal web filter"), this);
  purpose->setAlignment(Qt::AlignCenter);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->setCenterButtons(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* column = new QVBoxLayout(this);
  column->addWidget(name);
  column->addWidget(version);
  column->addWidget(purpose);
  column->addSpacing(8);
  column->addWidget(buttons);
  column->setContentsMargins(24, 20, 24, 16);
  column->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tarnwick
