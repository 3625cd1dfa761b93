// The menu commands: modes, log switches, statistics window, plugin pages, password masking.

#include <QAction>
#include <QDate>
#include <QLineEdit>
#include <QTabWidget>

#include "engine/AccessLog.h"
#include "prefs/Prefs.h"
#include "prefs/Statistics.h"
#include "ui/MainForm.h"
#include "ui/Pages.h"
#include "ui/StatsForm.h"
#include "ui/StringHolder.h"

namespace tarnwick {

namespace {

void Toggle(QAction* item) { item->setChecked(!item->isChecked()); }

}  // namespace

void TMainForm::OfflineClick() {
  if (!PasswordCheck()) return;
  Toggle(m_Options_Offline);
  tm_Offline->setChecked(m_Options_Offline->isChecked());
  Apply();
}

void TMainForm::PassthruClick() {
  if (!PasswordCheck()) return;
  Toggle(m_Options_Passthru);
  tm_Passthru->setChecked(m_Options_Passthru->isChecked());
  m_ProxyEngine->setChecked(!m_Options_Passthru->isChecked());
  Apply();
}

void TMainForm::DontUserAgentClick() {
  Toggle(m_Options_DontUserAgent);
  Apply();
}

void TMainForm::DontLogMyselfClick() {
  if (!PasswordCheck()) return;
  Toggle(m_Log_DontLogMyself);
  Apply();
}

void TMainForm::LogEnabledClick() {
  if (!PasswordCheck()) return;
  Toggle(m_Log_Enabled);
  if (!m_Log_Enabled->isChecked()) {
    // The engine stops writing before the file goes.
    PublishLogEnabled(false);
    Log().Close();
    return;
  }
  if (Log().Open()) {
    PublishLogEnabled(true);
    return;
  }
  PublishLogEnabled(true);
  ClearLog();
}

void TMainForm::StatisticsClick() {
  Toggle(m_File_Statistics);
  tm_Statistics->setChecked(m_File_Statistics->isChecked());
  if (!Stats) return;
  if (!m_File_Statistics->isChecked()) {
    Stats->hide();
    return;
  }
  RefreshStats();
  Stats->show();
  Stats->raise();
  Stats->activateWindow();
}

void TMainForm::StatsResetClick() {
  if (!PasswordCheck()) return;
  ResetStats(Prefs(), StatStrings->Strings,
             QLocale::system().toString(QDate::currentDate(), QLocale::LongFormat).toStdString());
  Stats->UpdateDisplay(StatStrings->Strings, Prefs().ActiveConnections.load());
}

void TMainForm::PluginClick(QAction* item) {
  Toggle(item);
  UpdatePluginPages();
}

void TMainForm::UpdatePluginPages() {
  MainPages->setTabVisible(MainPages->indexOf(AclPage), m_AccessControl->isChecked());
  MainPages->setTabVisible(MainPages->indexOf(BlockListPage), m_AdvertisingFilter->isChecked());
  MainPages->setTabVisible(MainPages->indexOf(ImagesPage), m_AdvertisingFilter->isChecked());
  MainPages->setTabVisible(MainPages->indexOf(RedirectPage), m_RedirectionWordsAnalysis->isChecked());
}

void TMainForm::HidePasswordTextClick() {
  if (!PasswordCheck()) return;
  Toggle(m_HidePasswordText);
  ApplyHidePasswordText();
}

void TMainForm::ApplyHidePasswordText() {
  const auto mode = m_HidePasswordText->isChecked() ? QLineEdit::Password : QLineEdit::Normal;
  for (auto* edit : {AclPage->ACLUser, AclPage->ACLPass, RedirectPage->Username, RedirectPage->Password}) {
    edit->setEchoMode(mode);
  }
}

}  // namespace tarnwick
