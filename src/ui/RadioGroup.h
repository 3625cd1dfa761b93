#pragma once
// TRadioGroup: a titled group of radio buttons chosen by index, like the radio groups the settings
// are described with: `Items` are the captions, `ItemIndex` the chosen one (-1: none chosen).
// User-interface thread only.

#include <QGroupBox>
#include <QStringList>

#include <vector>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

namespace tarnwick {

class TRadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  TRadioGroup(const QString& objectName, const QString& caption, const QStringList& items, QWidget* parent = nullptr);

  QStringList Items() const;
  int ItemIndex() const;
  // Out-of-range indexes are clamped to -1 .. Items().size() - 1.
  void SetItemIndex(int index);
  QRadioButton* Button(int index) const { return Buttons.at(static_cast<size_t>(index)); }
  // Puts `widget` on the row of item `index`, right of its button (an edit that belongs to it).
  void AddBuddy(int index, QWidget* widget);

 signals:
  // The user chose another item.
  void ItemIndexChanged(int index);

 private:
  QGridLayout* Grid;
  QButtonGroup* Group;
  std::vector<QRadioButton*> Buttons;
};

}  // namespace tarnwick
