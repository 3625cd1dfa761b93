#pragma once
// TAboutForm: the About window, also shown without waiting as the splash screen at start-up: the
// product name and version. User-interface thread only.

#include <QDialog>

namespace tarnwick {

inline constexpr char kProductVersion[] = "V1.4";

class TAboutForm : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutForm(QWidget* parent = nullptr);
};

}  // namespace tarnwick
