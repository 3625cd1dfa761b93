#include "ui/RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

#include <algorithm>

namespace tarnwick {

TRadioGroup::TRadioGroup(const QString& objectName, const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), Grid(new QGridLayout(this)), Group(new QButtonGroup(this)) {
  setObjectName(objectName);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    Group->addButton(button, i);
    Grid->addWidget(button, i, 0);
    Buttons.push_back(button);
  }
  Grid->setColumnStretch(2, 1);
  connect(Group, &QButtonGroup::idClicked, this, &TRadioGroup::ItemIndexChanged);
}

QStringList TRadioGroup::Items() const {
  QStringList items;
  for (const auto* button : Buttons) items << button->text();
  return items;
}

int TRadioGroup::ItemIndex() const { return Group->checkedId(); }

void TRadioGroup::SetItemIndex(int index) {
  index = std::clamp(index, -1, static_cast<int>(Buttons.size()) - 1);
  if (index >= 0) {
    Buttons[static_cast<size_t>(index)]->setChecked(true);
    return;
  }
  // An exclusive group never lets its last checked button go; "none chosen" needs a moment
  // without exclusivity.
  Group->setExclusive(false);
  for (auto* button : Buttons) button->setChecked(false);
  Group->setExclusive(true);
}

void TRadioGroup::AddBuddy(int index, QWidget* widget) { Grid->addWidget(widget, index, 1); }

}  // namespace tarnwick
