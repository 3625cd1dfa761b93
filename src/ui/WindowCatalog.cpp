#include "ui/WindowCatalog.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QWidget>

#include "desktop/UpdateRules.h"
#include "platform/IniFile.h"
#include "ui/AboutForm.h"
#include "ui/MainForm.h"
#include "ui/PasswordForms.h"
#include "ui/StatsForm.h"
#include "ui/TricksForm.h"
#include "ui/UpdateForms.h"

namespace tarnwick {

namespace {

TUpdateContext SampleUpdate(const QString& directory) {
  TUpdateContext update;
  update.Directory = directory;
  update.IniName = QStringLiteral("update.ini");
  update.CompanyText = QString::fromLatin1(kUpdateCompanyText);
  return update;
}

}  // namespace

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
      {QStringLiteral("about"),
       [](TMainForm& form) -> std::unique_ptr<QWidget> { return std::make_unique<TAboutForm>(&form); }},
      {QStringLiteral("password-prompt"),
       [](TMainForm&) -> std::unique_ptr<QWidget> {
         auto prompt = std::make_unique<TPasswordForm>();
         prompt->PasswordEdit->setText(QStringLiteral("secret"));
         return prompt;
       }},
      {QStringLiteral("password-settings"),
       [](TMainForm& form) -> std::unique_ptr<QWidget> {
         auto settings = std::make_unique<TSetPasswordForm>(form.Security(), nullptr);
         settings->PasswordEdit->setText(QStringLiteral("secret"));
         return settings;
       }},
      {QStringLiteral("tips"),
       [](TMainForm& form) -> std::unique_ptr<QWidget> {
         // The second tip of the current language, or nothing where the file has none.
         form.Registry().TipsIdx = 2;
         return std::make_unique<TTricksForm>(form.Registry(), form.TipLookup(), nullptr);
       }},
      {QStringLiteral("update-check"),
       [](TMainForm& form) -> std::unique_ptr<QWidget> {
         auto check = std::make_unique<TCheckUpDateForm>(SampleUpdate(QString()), &form);
         check->Animate(true);
         return check;
       }},
      {QStringLiteral("update-download"),
       [](TMainForm& form) -> std::unique_ptr<QWidget> {
         // The window reads the version file when it is made; the file can go afterwards.
         QTemporaryDir directory;
         const TUpdateContext update = SampleUpdate(directory.path());
         TIniFile version(update.IniPath().toStdString());
         version.WriteString("Update", "CurVer", "1.5");
         version.WriteString("Update", "Product", "Tarnwick");
         version.WriteString("Update", "Size", "2.4 MB");
         version.WriteString("Update", "DownloadURL", "https://tarnwick.example.org/update/tarnwick-1.5.tar.gz");
         auto download = std::make_unique<TDownloadForm>(
             update, QString::fromStdString(InstalledVersionText(kCurrentVersion)), &form);
         download->ProgressBar->setValue(45);
         return download;
       }},
  };
}

}  // namespace tarnwick
