#pragma once
// TCheckList: a list of texts with a check box each, kept sorted without regard to letter case, as
// the user lists of the settings window are. User-interface thread only.

#include <QListWidget>

#include <string>
#include <vector>

namespace tarnwick {

class TCheckList : public QListWidget {
  Q_OBJECT

 public:
  TCheckList(const QString& objectName, QWidget* parent = nullptr);

  // Inserts `text` at its sorted place (after equal texts) and returns its index.
  int AddSorted(const QString& text, bool checked = false);
  // Index of the first entry equal to `text` without regard to case, or -1.
  int IndexOfText(const QString& text) const;
  bool IsChecked(int index) const;
  void SetChecked(int index, bool checked);
  QString Text(int index) const;
  int Selected() const { return currentRow(); }
  void Select(int index);

  // Every entry's text in display order; SetLines replaces all entries (unchecked, sorted).
  std::vector<std::string> Lines() const;
  void SetLines(const std::vector<std::string>& lines);
  // Replaces all entries by `lines` in the order given, entry i ticked by ticks[i] (missing: not).
  void SetEntries(const std::vector<std::string>& lines, const std::vector<bool>& ticks);

 signals:
  // The Delete key was pressed in the list.
  void DeletePressed();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void AddUnchecked(const QString& text);
};

}  // namespace tarnwick
