#pragma once
// TStatsForm: the small statistics window that stays on top: the filtered-object counts, images,
// connections, kilobytes moved, the current connections, the start of the period and a gauge of
// filtered among received images. It shows statistics lines (see prefs/Statistics.h) and knows
// nothing of where they come from. User-interface thread only.

#include <QLocale>
#include <QWidget>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "prefs/RecentBlocks.h"

class QGridLayout;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace tarnwick {

// bytes / 1024, remainder dropped, with the thousands separator of `locale` ("#,##0").
QString FormatKilobytes(std::int64_t bytes, const QLocale& locale);

class TStatsForm : public QWidget {
  Q_OBJECT

 public:
  explicit TStatsForm(QWidget* parent = nullptr);

  // Fills the value labels from the lines and the number of open connections. When a value that
  // must be a number is not one, the labels from there on keep their previous texts.
  void UpdateDisplay(const std::vector<std::string>& lines, std::int32_t connections);
  // The requests refused lately, oldest first: their time, address and the entry that decided.
  void ShowRecentBlocks(const std::vector<TBlockedRequest>& blocked);
  // The locale of the kilobyte figures and of the date shown for an empty period start.
  void SetLocale(const QLocale& locale) { Locale = locale; }

  QLabel* Value(const QString& name) const { return Values.at(name); }
  QProgressBar* ProgressBar;
  QListWidget* RecentlyBlocked;
  QPushButton* ResetButton;
  QPushButton* OkButton;

 signals:
  // The window was closed by its close box or "#Ok".
  void Closed();
  void ResetClicked();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* AddRow(QGridLayout* grid, int row, const QString& caption, const QString& valueName, int indent = 0);

  std::map<QString, QLabel*> Values;
  QLocale Locale = QLocale::system();
};

}  // namespace tarnwick
