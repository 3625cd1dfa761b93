#pragma once
// TTricksForm: the tip of the day. Tips are the language file's blocks "##Tip 1", "##Tip 2", ...
// numbered without gaps; the window steps through them, wrapping from the last to the first, and
// keeps the tip shown and the "show tips" choice in the per-user values, which are saved whenever
// the window closes. User-interface thread only.

#include <QDialog>

#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace tarnwick {

struct TRegistryValues;

class TTricksForm : public QDialog {
  Q_OBJECT

 public:
  // The text of a block key such as "##Tip 3"; nothing when the language file has no such entry.
  using TLookup = std::function<std::optional<QString>(const QString& key)>;

  // `values` supplies and receives ShowTips and TipsIdx; `save` writes them to the store.
  TTricksForm(TRegistryValues& values, TLookup lookup, std::function<void()> save, QWidget* parent = nullptr);

  void NextClick();
  void PreviousClick();

  QLabel* TipLabel;
  QPushButton* PrevBtn;
  QPushButton* NextBtn;
  QPushButton* CancelBtn;
  QCheckBox* ShowTipCheckBox;

 protected:
  void done(int result) override;

 private:
  // Shows tip TipsIdx when it exists; false when it does not.
  bool ShowTip();

  TRegistryValues& Values;
  TLookup Lookup;
  std::function<void()> Save;
};

}  // namespace tarnwick
