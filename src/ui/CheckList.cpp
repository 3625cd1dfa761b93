#include "ui/CheckList.h"

#include <QKeyEvent>

#include <algorithm>

namespace tarnwick {

TCheckList::TCheckList(const QString& objectName, QWidget* parent) : QListWidget(parent) {
  setObjectName(objectName);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // A little air around each entry, so that the first check box does not touch the frame.
  setSpacing(1);
}

int TCheckList::AddSorted(const QString& text, bool checked) {
  int index = count();
  for (int i = 0; i < count(); ++i) {
    if (QString::compare(text, item(i)->text(), Qt::CaseInsensitive) < 0) {
      index = i;
      break;
    }
  }
  auto* entry = new QListWidgetItem(text);
  entry->setFlags(entry->flags() | Qt::ItemIsUserCheckable);
  entry->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
  insertItem(index, entry);
  return index;
}

int TCheckList::IndexOfText(const QString& text) const {
  for (int i = 0; i < count(); ++i) {
    if (QString::compare(text, item(i)->text(), Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}

bool TCheckList::IsChecked(int index) const {
  const auto* entry = item(index);
  return entry != nullptr && entry->checkState() == Qt::Checked;
}

void TCheckList::SetChecked(int index, bool checked) {
  if (auto* entry = item(index)) entry->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

QString TCheckList::Text(int index) const {
  const auto* entry = item(index);
  return entry ? entry->text() : QString();
}

void TCheckList::Select(int index) {
  setCurrentRow(index);
  if (auto* entry = item(index)) scrollToItem(entry);
}

std::vector<std::string> TCheckList::Lines() const {
  std::vector<std::string> lines;
  lines.reserve(static_cast<size_t>(count()));
  for (int i = 0; i < count(); ++i) lines.push_back(item(i)->text().toStdString());
  return lines;
}

void TCheckList::SetLines(const std::vector<std::string>& lines) {
  // The order AddSorted would give line by line (a stable sort), without its scan per line: a
  // list of tens of thousands of entries fills at once.
  // Each text is converted once, not at every comparison.
  std::vector<QString> sorted;
  sorted.reserve(lines.size());
  for (const std::string& line : lines) sorted.push_back(QString::fromStdString(line));
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
  clear();
  setUpdatesEnabled(false);
  for (const QString& text : sorted) AddUnchecked(text);
  setUpdatesEnabled(true);
}

void TCheckList::AddUnchecked(const QString& text) {
  auto* entry = new QListWidgetItem(text);
  entry->setFlags(entry->flags() | Qt::ItemIsUserCheckable);
  entry->setCheckState(Qt::Unchecked);
  addItem(entry);
}

void TCheckList::SetEntries(const std::vector<std::string>& lines, const std::vector<bool>& ticks) {
  clear();
  setUpdatesEnabled(false);
  for (size_t i = 0; i < lines.size(); ++i) {
    auto* entry = new QListWidgetItem(QString::fromStdString(lines[i]));
    entry->setFlags(entry->flags() | Qt::ItemIsUserCheckable);
    entry->setCheckState(i < ticks.size() && ticks[i] ? Qt::Checked : Qt::Unchecked);
    addItem(entry);
  }
  setUpdatesEnabled(true);
}

void TCheckList::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete) {
    emit DeletePressed();
    return;
  }
  QListWidget::keyPressEvent(event);
}

}  // namespace tarnwick
