#include "ui/TricksForm.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdint>

#include "prefs/RegistryValues.h"
#include "ui/Widgets.h"

namespace tarnwick {

TTricksForm::TTricksForm(TRegistryValues& values, TLookup lookup, std::function<void()> save, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      Values(values),
      Lookup(std::move(lookup)),
      Save(std::move(save)) {
  setObjectName(QStringLiteral("TricksForm"));
  setWindowTitle(QStringLiteral("#Tip of the day title"));
  setModal(true);

  auto* heading = new QLabel(QStringLiteral("#Did you know ..."), this);
  QFont large = heading->font();
  large.setPointSize(large.pointSize() + 3);
  large.setBold(true);
  heading->setFont(large);
  TipLabel = Named(new QLabel(this), QStringLiteral("TipLabel"));
  TipLabel->setWordWrap(true);
  TipLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  TipLabel->setFixedSize(360, 110);
  auto* panel = new QFrame(this);
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setStyleSheet(QStringLiteral("QFrame { background: #fffbe8; }"));
  auto* panelColumn = new QVBoxLayout(panel);
  panelColumn->addWidget(heading);
  panelColumn->addWidget(TipLabel);

  ShowTipCheckBox = MakeCheck(QStringLiteral("ShowTipCheckBox"), QStringLiteral("#Show tips"), this);
  ShowTipCheckBox->setChecked(Values.ShowTips);
  PrevBtn = MakeButton(QStringLiteral("PrevBtn"), QStringLiteral("#<Previous"), this);
  NextBtn = MakeButton(QStringLiteral("NextBtn"), QStringLiteral("#Next>"), this);
  CancelBtn = MakeButton(QStringLiteral("CancelBtn"), QStringLiteral("#Cancel"), this);
  NextBtn->setDefault(true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ShowTipCheckBox);
  buttons->addStretch(1);
  buttons->addWidget(PrevBtn);
  buttons->addWidget(NextBtn);
  buttons->addWidget(CancelBtn);
  auto* column = new QVBoxLayout(this);
  column->addWidget(panel);
  column->addLayout(buttons);
  column->setSizeConstraint(QLayout::SetFixedSize);

  connect(PrevBtn, &QPushButton::clicked, this, &TTricksForm::PreviousClick);
  connect(NextBtn, &QPushButton::clicked, this, &TTricksForm::NextClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(ShowTipCheckBox, &QCheckBox::toggled, this, [this](bool checked) { Values.ShowTips = checked; });

  ShowTip();
  NextBtn->setFocus();
}

bool TTricksForm::ShowTip() {
  const auto text = Lookup ? Lookup(QStringLiteral("##Tip ") + QString::number(Values.TipsIdx)) : std::nullopt;
  if (!text) return false;
  TipLabel->setText(*text);
  return true;
}

void TTricksForm::NextClick() {
  // An index past the end (or one that overflowed) starts again at the first tip.
  Values.TipsIdx = Values.TipsIdx < INT32_MAX ? Values.TipsIdx + 1 : 1;
  if (ShowTip()) return;
  Values.TipsIdx = 1;
  ShowTip();
}

void TTricksForm::PreviousClick() {
  Values.TipsIdx = Values.TipsIdx > 1 ? Values.TipsIdx - 1 : 1;
  ShowTip();
}

void TTricksForm::done(int result) {
  Values.ShowTips = ShowTipCheckBox->isChecked();
  if (Save) Save();
  QDialog::done(result);
}

}  // namespace tarnwick
