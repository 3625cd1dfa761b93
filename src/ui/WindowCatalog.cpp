#include "ui/WindowCatalog.h"

#include <QWidget>

#include "ui/AboutForm.h"
#include "ui/MainForm.h"
#include "ui/StatsForm.h"

namespace tarnwick {

std::vector<TWindowEntry> ProgramWindows() {
  return {
      {QStringLiteral("statistics"),
       [](TMainForm&) -> std::unique_ptr<QWidget> {
         auto stats = std::make_unique<TStatsForm>();
         stats->UpdateDisplay({"FltImagesCnt=312", "FltFormsCnt=4", "FltFramesCnt=17", "FltLayersCnt=2",
                               "FltScriptsCnt=145", "FltTextCnt=9", "FltWindowsCnt=23", "ImgCnt=1024", "ConnCnt=5230",
                               "SentCnt=1536000", "RecvCnt=3221225472", "RecvProxyCnt=0", "SinceDate=3 March 2025"},
                              3);
         return stats;
       }},
      {QStringLiteral("about"), [](TMainForm& form) -> std::unique_ptr<QWidget> { return std::make_unique<TAboutForm>(&form); }},
  };
}

}  // namespace tarnwick
