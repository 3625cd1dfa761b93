#pragma once
// The one list of the program's windows other than the settings window (which lives for the whole
// run and is reached through TMainForm). Each entry makes its window as the program does, still
// carrying its language keys, so that the screenshots and the translation tests go through every
// window from here: a window that is missing here is neither drawn nor checked. User-interface
// thread only.

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace tarnwick {

class TMainForm;

struct TWindowEntry {
  QString Name;  // the file name of its screenshot
  std::function<std::unique_ptr<QWidget>(TMainForm&)> Make;
};

std::vector<TWindowEntry> ProgramWindows();

}  // namespace tarnwick
