#pragma once
// TAboutForm: the About window, also shown without waiting as the splash screen at start-up: the
// product name and version. User-interface thread only.

#include <QDialog>

#include "platform/Version.h"

namespace tarnwick {

inline constexpr char kProductVersion[] = "V" TARNWICK_VERSION;
// The product's web pages: the test page shows whether advertisements are being filtered.
inline constexpr char kTestPageAddress[] = "https://tarnwick.example.org/testpage.html";
inline constexpr char kFeedbackAddress[] = "https://tarnwick.example.org/feedback.html";

class TAboutForm : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutForm(QWidget* parent = nullptr);
};

}  // namespace tarnwick
