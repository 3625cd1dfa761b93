// The desktop integration commands of the main window: pointing the browsers at the proxy and away,
// the first-start offers (settings import, ISP proxy, browsers) and the update check.

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QUrl>

#include <cstdio>

#include "desktop/BrowserConfiguration.h"
#include "desktop/SettingsImport.h"
#include "desktop/UpdateRules.h"
#include "language/Language.h"
#include "platform/UserStore.h"
#include "prefs/Prefs.h"
#include "prefs/Statistics.h"
#include "prefs/StoredProperties.h"
#include "ui/DocumentOpener.h"
#include "ui/ListEditors.h"
#include "ui/MainForm.h"
#include "ui/Messages.h"
#include "ui/Pages.h"
#include "ui/StringHolder.h"
#include "ui/TranslateForm.h"
#include "ui/UpdateForms.h"
#include "ui/UserDialogs.h"

namespace tarnwick {

bool TMainForm::ConfigureBrowsers(bool enable) {
  const TBrowserRequest request{enable, "localhost", std::to_string(PrefsObject->Settings()->ListenPort)};
  const auto environment =
      UserBrowserEnvironment(Context.UserStore.get(), Context.SettingsDirectory, Context.Commands.get());
  const auto result = tarnwick::ConfigureBrowsers(request, environment);
  if (result.Ok()) return true;
  Messages().ShowErrorMsg(TranslatedBlock(Language(), "##errBrowserConfig") + QStringLiteral("\n\n") +
                          QString::fromStdString(result.FailedStore + ": " + result.Error));
  return false;
}

void TMainForm::m_BrowserWithTarnwickClick() {
  if (ConfigureBrowsers(true)) {
    Messages().ShowInformationMsg(TranslatedBlock(Language(), "##for surfing with Tarnwick ok"));
  }
}

void TMainForm::m_BrowseNormalClick() {
  if (ConfigureBrowsers(false)) {
    Messages().ShowInformationMsg(TranslatedBlock(Language(), "##for normal surfing ok"));
  }
}

void TMainForm::FirstStart() {
  if (!ImportWebWasherSettings()) OfferIspProxy();
  if (Messages().AskYesNo(TranslatedBlock(Language(), "##Firststart automatic Browsers Configuration"))) {
    m_BrowserWithTarnwickClick();
  }
  Context.Registry.IsFirstStart = false;
  SaveRegistryValues();
}

bool TMainForm::ImportWebWasherSettings() {
  if (!Context.UserStore) return false;
  const auto path = FindWebWasherIni(*Context.UserStore);
  if (!path) return false;
  if (!Messages().AskYesNo(TranslatedBlock(Language(), "##WebWasher Import"))) return false;
  ApplyImportedSettings(ReadWebWasherSettings(*path));
  SaveListStates();
  SaveStats(*PrefsObject, StatStrings->Strings);
  Apply();
  Messages().ShowInformationMsg(TranslatedBlock(Language(), "##WebWasher Import Done"));
  return true;
}

void TMainForm::ApplyImportedSettings(const TWebWasherSettings& s) {
  const auto text = [](const std::string& value) { return QString::fromStdString(value); };
  ProxyPage->Port->setText(text(s.Port));
  ProxyPage->AllowOthers->setChecked(s.AllowOthers);
  ProxyPage->ProxyName->setText(text(s.ProxyName));
  ProxyPage->ProxyPort->setText(text(s.ProxyPort));
  ProxyPage->UseProxy->setChecked(s.UseProxy);
  ProxyPage->UpdateProxyEdits();
  BlockListPage->flt_Images->setChecked(s.FltImages);
  BlockListPage->flt_Windows->setChecked(s.FltWindows);
  BlockListPage->flt_Scripts->setChecked(s.FltScripts);
  BlockListPage->flt_Frames->setChecked(s.FltFrames);
  BlockListPage->flt_Forms->setChecked(s.FltForms);
  BlockListPage->flt_Text->setChecked(s.FltText);
  BlockListPage->flt_Layers->setChecked(s.FltLayers);
  ImagesPage->FilterByDim->setChecked(s.FilterByDim);
  ImagesPage->ReplaceTrans->setChecked(s.ReplaceTrans);
  ImagesPage->IgnoreNoDims->setChecked(s.IgnoreNoDims);
  auto& p = *PrefsObject;
  p.FltImagesCnt = static_cast<std::int32_t>(s.FltImagesCnt);
  p.FltWindowsCnt = static_cast<std::int32_t>(s.FltWindowsCnt);
  p.FltScriptsCnt = static_cast<std::int32_t>(s.FltScriptsCnt);
  p.FltFramesCnt = static_cast<std::int32_t>(s.FltFramesCnt);
  p.FltLayersCnt = static_cast<std::int32_t>(s.FltLayersCnt);
  p.FltFormsCnt = static_cast<std::int32_t>(s.FltFormsCnt);
  p.ImgCnt = static_cast<std::int32_t>(s.ImgCnt);
  p.ConnCnt = static_cast<std::int32_t>(s.ConnCnt);
  p.SentCnt = s.SentCnt;
  p.RecvCnt = s.RecvCnt;
  p.RecvProxyCnt = s.RecvProxyCnt;
  for (const auto& [width, height] : s.Sizes) Editors().AddImageSize(width, height);
  for (const auto& entry : s.BlockEntries) Editors().AddBlockPattern(text(entry));
  for (const auto& entry : s.RedirEntries) Editors().AddRedirEntry(text(entry), QString::fromLatin1(kHomePageAddress));
}

void TMainForm::OfferIspProxy() {
  if (!Context.UserStore) return;
  const auto found = DetectIspSoftware(*Context.UserStore);
  if (found.Aol && found.TOnline) {
    const auto answer = Dialogs().AskYesNoCancel(Translated(Language(), "#InformationMsg"),
                                                 TranslatedBlock(Language(), "##AOL or T-Online Proxy"));
    if (answer == TAnswer::Yes) UseIspProxy(kAolProxyHost);
    if (answer == TAnswer::No) UseIspProxy(kTOnlineProxyHost);
  } else if (found.Aol) {
    if (Messages().AskYesNo(TranslatedBlock(Language(), "##AOL Proxy"))) UseIspProxy(kAolProxyHost);
  } else if (found.TOnline) {
    if (Messages().AskYesNo(TranslatedBlock(Language(), "##T-Online Proxy"))) UseIspProxy(kTOnlineProxyHost);
  }
}

void TMainForm::UseIspProxy(const char* host) {
  ProxyPage->ProxyName->setText(QString::fromLatin1(host));
  ProxyPage->ProxyPort->setText(QString::fromLatin1(kIspProxyPort));
  ProxyPage->UseProxy->setChecked(true);
  ProxyPage->UpdateProxyEdits();
  Apply();
}

void TMainForm::CheckForUpdate() {
  TUpdateContext update;
  // A folder of its own, so that no name a version file gives can replace a file of the program.
  update.Directory = QString::fromStdString(Context.SettingsDirectory) + QStringLiteral("/updates");
  QDir().mkpath(update.Directory);
  update.IniName = QString::fromStdString(VersionFileName(Language().TranslateText("#Update INI")));
  update.BaseUrl = QString::fromStdString(UpdateBaseUrl());
  update.CompanyText = QString::fromLatin1(kUpdateCompanyText);
  const auto settings = PrefsObject->Settings();
  if (settings->UseProxy) update.Proxy = {QString::fromStdString(settings->ProxyName), settings->ProxyPort};
  Context.Registry.LastUpdate = DateTimeNow();
  SaveRegistryValues();

  const QString installed = QString::fromStdString(InstalledVersionText(kCurrentVersion));
  bool newer = false;
  {
    TCheckUpDateForm check(update, this);
    TranslateForm(check, Language());
    newer = check.Run(installed);
  }
  if (newer && Context.Headless) {
    const auto offered = ReadVersionFile(update.IniPath().toStdString());
    std::fprintf(stderr, "tarnwick: a newer version %s is available at %s\n", offered.CurVer.c_str(),
                 offered.DownloadURL.c_str());
  } else if (newer) {
    TDownloadForm download(update, installed, this);
    TranslateForm(download, Language());
    download.exec();
    if (download.ChecksumRefused()) {
      Messages().ShowErrorMsg(TranslatedBlock(Language(), "##errUpdateChecksum"));
    } else if (download.Succeeded()) {
      // The download is never run by us: the desktop opens it, or the folder that holds it.
      const QString file = download.DownloadedFile();
      const QUrl target = QUrl::fromLocalFile(download.AutomaticInstall() ? file : QFileInfo(file).absolutePath());
      Launcher().OpenUrl(target);
      Messages().ShowInformationMsg(TranslatedBlock(Language(), "##Update downloaded") + QStringLiteral("\n\n") + file);
    }
  }
  QFile::remove(update.IniPath());
}

void TMainForm::AutoCheckForUpdate() {
  if (!Context.UserStore) return;
  const double now = DateTimeNow();
  switch (DecideAutoCheck(Context.Registry.LastUpdate, now)) {
    case TAutoCheck::Nothing:
      return;
    case TAutoCheck::Advance:
      Context.Registry.LastUpdate = now;
      return;
    case TAutoCheck::AdvanceAndCheck:
      Context.Registry.LastUpdate = now;
      CheckForUpdate();
      return;
    case TAutoCheck::ResetAndSave:
      Context.Registry.LastUpdate = now;
      SaveRegistryValues();
      return;
  }
}

}  // namespace tarnwick
