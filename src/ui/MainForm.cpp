// The settings window's widgets and menus, and the release of the long-lived objects at the end.

#include "ui/MainForm.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/AccessLog.h"
#include "engine/FilterProxy.h"
#include "engine/UiHandOver.h"
#include "language/DetectLanguage.h"
#include "language/Language.h"
#include "language/LanguageFile.h"
#include "platform/IniFile.h"
#include "platform/UserStore.h"
#include "platform/Version.h"
#include "prefs/Prefs.h"
#include "ui/AboutForm.h"
#include "ui/CheckList.h"
#include "ui/DocumentOpener.h"
#include "ui/Flags.h"
#include "ui/HotKey.h"
#include "ui/ListEditors.h"
#include "ui/Messages.h"
#include "ui/Pages.h"
#include "ui/StatsForm.h"
#include "ui/StringHolder.h"
#include "ui/TranslateForm.h"
#include "ui/TrayIcon.h"
#include "ui/UserDialogs.h"
#include "ui/Widgets.h"

namespace tarnwick {

TMainForm::TMainForm(TMainFormContext context, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                              Qt::WindowStaysOnTopHint),
      Context(std::move(context)) {
  if (!Context.Language) Context.Language = std::make_shared<TLanguage>(std::string());
  MessageBoxes = std::make_unique<TMessages>(*Context.Dialogs, *Context.Language);
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral(TARNWICK_APP_NAME "   V" TARNWICK_VERSION));
  BlockListStates = new TStringHolder(QStringLiteral("BlockListStates"), this);
  SizeListStates = new TStringHolder(QStringLiteral("SizeListStates"), this);
  RedirListStates = new TStringHolder(QStringLiteral("RedirListStates"), this);
  ACLListStates = new TStringHolder(QStringLiteral("ACLListStates"), this);
  StatStrings = new TStringHolder(QStringLiteral("StatStrings"), this);
  CreatePages();
  CreateMenus();
  CreateTrayMenu();
  CreateTray();
  if (!Context.Launcher) Context.Launcher = MakeDesktopLauncher();
  if (!Context.LookupBlock) {
    // The tips come from the current language file, read at each lookup as every text is.
    Context.LookupBlock = [language = Context.Language](const QString& key) -> std::optional<QString> {
      const auto lines = LoadLanguageLines(language->CurrentLanguageFile());
      if (!lines) return std::nullopt;
      const auto text = LookUpBlock(*lines, key.toStdString());
      if (!text) return std::nullopt;
      return QString::fromStdString(*text).trimmed();
    };
  }
  PasswordCheck = [this] { return Password.Check(); };
  Password.Prompt = [this] { return PromptForPassword(); };
  ListEditors =
      std::make_unique<TListEditors>(*AclPage, *BlockListPage, *ImagesPage, *RedirectPage,
                                     TListHolders{BlockListStates, SizeListStates, RedirListStates, ACLListStates},
                                     *MessageBoxes, *Context.Language, nullptr);
  MainTimer = Named(new QTimer(this), QStringLiteral("MainTimer"));
  MainTimer->setInterval(500);
  StatsSaveTimer = Named(new QTimer(this), QStringLiteral("StatsSaveTimer"));
  StatsSaveTimer->setInterval(kStatsSaveIntervalMs);
  connect(StatsSaveTimer, &QTimer::timeout, this, [this] { SaveStatsToFile(); });
  ConnectCommands();
  // The preferences, the settings file and the log exist from the start so that no command ever
  // meets a missing object; FormCreate fills and opens them.
  PrefsObject = std::make_shared<TCorvanePrefs>();
  SettingsFile = std::make_unique<TIniFile>(SettingsFilePath());
  AccessLog = std::make_shared<TAccessLog>(Context.SettingsDirectory + "/TARNWICK.LOG");
}

TMainForm::~TMainForm() {
  // Connection threads waiting to log are released first: the loop that would serve them is gone.
  if (UiThread) UiThread->Close();
  if (Server) Server->Stop();  // never raises
  Server.reset();
  Stats.reset();
  if (AccessLog) AccessLog->Close();
  AccessLog.reset();
  PrefsObject.reset();
}

void TMainForm::CreatePages() {
  auto* central = new QWidget(this);
  MainPages = Named(new QTabWidget(central), QStringLiteral("MainPages"));
  // Every page's name stays readable in every language: the window grows with its tabs.
  MainPages->setUsesScrollButtons(false);
  MainPages->setElideMode(Qt::ElideNone);
  ProxyPage = new TProxyPage(MainPages);
  AclPage = new TAclPage(MainPages);
  BlockListPage = new TBlockListPage(MainPages);
  ImagesPage = new TImagesPage(MainPages);
  RedirectPage = new TRedirectPage(MainPages);
  MiscPage = new TMiscPage(MainPages);
  MainPages->addTab(ProxyPage, QStringLiteral("#Proxy Setup"));
  MainPages->addTab(AclPage, QStringLiteral("#Access Control"));
  MainPages->addTab(BlockListPage, QStringLiteral("#Blocklist"));
  MainPages->addTab(ImagesPage, QStringLiteral("#Images/anims"));
  MainPages->addTab(RedirectPage, QStringLiteral("#Redirection"));
  MainPages->addTab(MiscPage, QStringLiteral("#Miscellaneous"));

  but_Ok = MakeButton(QStringLiteral("but_Ok"), QStringLiteral("#Apply"), central);
  but_Cancel = MakeButton(QStringLiteral("but_Cancel"), QStringLiteral("#Cancel"), central);
  but_Ok->setToolTip(QStringLiteral("#HApply"));
  but_Cancel->setToolTip(QStringLiteral("#HCancel"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(but_Ok);
  buttons->addWidget(but_Cancel);
  auto* column = new QVBoxLayout(central);
  column->addWidget(MainPages);
  column->addLayout(buttons);
  setCentralWidget(central);
  // The window keeps the size its contents ask for; the user does not resize it.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

QAction* TMainForm::MakeAction(QMenu* menu, const QString& name, const QString& caption, bool checkable) {
  auto* action = Named(new QAction(caption, this), name);
  action->setCheckable(checkable);
  if (menu) menu->addAction(action);
  return action;
}

void TMainForm::CreateMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("#File"));
  file->setObjectName(QStringLiteral("m_File"));
  m_File_Statistics = MakeAction(file, QStringLiteral("m_File_Statistics"), QStringLiteral("#Statistics..."), true);
  QMenu* log = file->addMenu(QStringLiteral("#Access Log..."));
  log->setObjectName(QStringLiteral("m_Log"));
  m_Log_Enabled = MakeAction(log, QStringLiteral("m_Log_Enabled"), QStringLiteral("#Enabled"), true);
  m_Log_Show = MakeAction(log, QStringLiteral("m_Log_Show"), QStringLiteral("#Show..."), false);
  m_Log_Clear = MakeAction(log, QStringLiteral("m_Log_Clear"), QStringLiteral("#Clear"), false);
  log->addSeparator();
  m_Log_DontLogMyself =
      MakeAction(log, QStringLiteral("m_Log_DontLogMyself"), QStringLiteral("#Don't Log Myself"), true);
  file->addSeparator();
  m_File_Exit = MakeAction(file, QStringLiteral("m_File_Exit"), QStringLiteral("#Close Tarnwick"), false);

  QMenu* options = menuBar()->addMenu(QStringLiteral("#Options"));
  options->setObjectName(QStringLiteral("m_Options"));
  m_Options_Offline = MakeAction(options, QStringLiteral("m_Options_Offline"), QStringLiteral("#Offline Mode"), true);
  m_Options_Passthru =
      MakeAction(options, QStringLiteral("m_Options_Passthru"), QStringLiteral("#Pass-Through Mode"), true);
  options->addSeparator();
  m_Options_DontUserAgent = MakeAction(options, QStringLiteral("m_Options_DontUserAgent"),
                                       QStringLiteral("#Don't Change User-Agent Field"), true);
  m_Options_WordCase =
      MakeAction(options, QStringLiteral("m_Options_WordCase"), QStringLiteral("#Wordlists are case-sensitive"), true);
  options->addSeparator();
  m_Options_HideIcon =
      MakeAction(options, QStringLiteral("m_Options_HideIcon"), QStringLiteral("#Hide Tray Icon"), true);
  m_Options_Hidesplashscreen =
      MakeAction(options, QStringLiteral("m_Options_Hidesplashscreen"), QStringLiteral("#Hide Splash Screen"), true);
  m_DisableWarningonExit =
      MakeAction(options, QStringLiteral("m_DisableWarningonExit"), QStringLiteral("#Disable Warning on Exit"), true);
  QMenu* browsers = options->addMenu(QStringLiteral("#Automatic Browsers Configuration"));
  browsers->setObjectName(QStringLiteral("m_BrowserConfiguration"));
  m_BrowserWithTarnwick = MakeAction(browsers, QStringLiteral("m_BrowserWithTarnwick"),
                                     QStringLiteral("#for surfing with Tarnwick"), false);
  m_BrowseNormal = MakeAction(browsers, QStringLiteral("m_BrowseNormal"), QStringLiteral("#for normal surfing"), false);
  QMenu* security = options->addMenu(QStringLiteral("#Security settings"));
  security->setObjectName(QStringLiteral("m_SecuritySettings"));
  m_SetSecurityPassword =
      MakeAction(security, QStringLiteral("m_SetSecurityPassword"), QStringLiteral("#Set Security Password"), false);
  m_AskforaPassword =
      MakeAction(security, QStringLiteral("m_AskforaPassword"), QStringLiteral("#Ask for a Password"), true);
  m_HidePasswordText =
      MakeAction(security, QStringLiteral("m_HidePasswordText"), QStringLiteral("#Hide password text"), true);
  CreateLanguageMenu(options);

  QMenu* plugins = menuBar()->addMenu(QStringLiteral("#Plugins"));
  plugins->setObjectName(QStringLiteral("m_Plugins"));
  m_ProxyEngine = MakeAction(plugins, QStringLiteral("m_ProxyEngine"), QStringLiteral("#Proxy Engine"), true);
  m_AccessControl = MakeAction(plugins, QStringLiteral("m_AccessControl"), QStringLiteral("#Access Control"), true);
  m_AdvertisingFilter =
      MakeAction(plugins, QStringLiteral("m_AdvertisingFilter"), QStringLiteral("#Advertising Filter"), true);
  m_RedirectionWordsAnalysis = MakeAction(plugins, QStringLiteral("m_RedirectionWordsAnalysis"),
                                          QStringLiteral("#Redirection/Words analysis"), true);
  for (auto* item : {m_ProxyEngine, m_AccessControl, m_AdvertisingFilter, m_RedirectionWordsAnalysis})
    item->setChecked(true);

  QMenu* help = menuBar()->addMenu(QStringLiteral("#Help"));
  help->setObjectName(QStringLiteral("m_Help"));
  m_Contents = MakeAction(help, QStringLiteral("m_Contents"), QStringLiteral("#Contents"), false);
  m_TipoftheDay = MakeAction(help, QStringLiteral("m_TipoftheDay"), QStringLiteral("#Tip of the day"), false);
  help->addSeparator();
  m_Tarnwick_on_the_web =
      MakeAction(help, QStringLiteral("m_Tarnwick_on_the_web"), QStringLiteral("#Tarnwick on the web"), false);
  m_Advertisingtestpage =
      MakeAction(help, QStringLiteral("m_Advertisingtestpage"), QStringLiteral("#Advertising test page"), false);
  m_Sendfeedback = MakeAction(help, QStringLiteral("m_Sendfeedback"), QStringLiteral("#Send feedback"), false);
  help->addSeparator();
  m_Showlicence = MakeAction(help, QStringLiteral("m_Showlicence"), QStringLiteral("#Show licence"), false);
  CheckforUpdate1 = MakeAction(help, QStringLiteral("CheckforUpdate1"), QStringLiteral("#Check for Update"), false);
  m_Help_About = MakeAction(help, QStringLiteral("m_Help_About"), QStringLiteral("#About Tarnwick"), false);
}

void TMainForm::CreateLanguageMenu(QMenu* options) {
  m_Language = options->addMenu(QStringLiteral("#Language"));
  m_Language->setObjectName(QStringLiteral("m_Language"));
  m_AutomaticLanguage =
      MakeAction(m_Language, QStringLiteral("m_AutomaticLanguage"), QStringLiteral("#Automatic Language"), false);
  m_AutomaticLanguage->setIcon(AutomaticLanguageIcon());
  m_Language->addSeparator();
  const struct {
    QAction** Item;
    const char* Name;
    const char* Caption;
    std::uint8_t Code;
  } languages[] = {
      {&m_English, "m_English", "#English", kLanguageEnglish},
      {&m_Deutsch, "m_Deutsch", "#Deutsch", kLanguageGerman},
      {&m_Francais, "m_Francais", "#Francais", kLanguageFrench},
      {&m_Espanol, "m_Espanol", "#Espanol", kLanguageSpanish},
      {&m_Italiano, "m_Italiano", "#Italiano", kLanguageItalian},
  };
  for (const auto& language : languages) {
    *language.Item =
        MakeAction(m_Language, QString::fromLatin1(language.Name), QString::fromLatin1(language.Caption), false);
    (*language.Item)->setIcon(LanguageFlag(language.Code));
    connect(*language.Item, &QAction::triggered, this, [this, code = language.Code] { SwitchLanguage(code); });
  }
  connect(m_AutomaticLanguage, &QAction::triggered, this, [this] { SwitchLanguage(DetectLanguage()); });
}

void TMainForm::UpdateLanguageMenu() { m_Language->setIcon(LanguageFlag(Language().Code())); }

void TMainForm::CreateTrayMenu() {
  TrayMenu = Named(new QMenu(this), QStringLiteral("TrayMenu"));
  tm_Settings = MakeAction(TrayMenu, QStringLiteral("tm_Settings"), QStringLiteral("#Settings..."), false);
  TrayMenu->setDefaultAction(tm_Settings);
  tm_Statistics = MakeAction(TrayMenu, QStringLiteral("tm_Statistics"), QStringLiteral("#Statistics..."), true);
  TrayMenu->addSeparator();
  tm_AboutTarnwick = MakeAction(TrayMenu, QStringLiteral("tm_AboutTarnwick"), QStringLiteral("#About Tarnwick"), false);
  tm_Sendfeedback = MakeAction(TrayMenu, QStringLiteral("tm_Sendfeedback"), QStringLiteral("#Send feedback"), false);
  TrayMenu->addSeparator();
  tm_Passthru = MakeAction(TrayMenu, QStringLiteral("tm_Passthru"), QStringLiteral("#Pass-Through Mode"), true);
  tm_Offline = MakeAction(TrayMenu, QStringLiteral("tm_Offline"), QStringLiteral("#Offline Mode"), true);
  TrayMenu->addSeparator();
  tm_Exit = MakeAction(TrayMenu, QStringLiteral("tm_Exit"), QStringLiteral("#Close Tarnwick"), false);
}

void TMainForm::CreateTray() {
  TrayIcon = new TTrayIcon(TrayMenu, this);
  TrayIcon->Icon->setToolTip(QStringLiteral(TARNWICK_APP_NAME_VER));
  HotKey = new TGlobalHotKey(this);
  SetIcons(TTrayMode::Normal);
}

void TMainForm::OnCommand(QAction* action, void (TMainForm::*command)()) {
  connect(action, &QAction::triggered, this, [this, action, command] {
    // Qt has already flipped a checkable item's tick; put it back so that the command decides.
    if (action->isCheckable()) action->setChecked(!action->isChecked());
    (this->*command)();
  });
}

void TMainForm::ConnectCommands() {
  connect(but_Ok, &QPushButton::clicked, this, &TMainForm::but_OkClick);
  connect(but_Cancel, &QPushButton::clicked, this, &TMainForm::but_CancelClick);
  connect(MainTimer, &QTimer::timeout, this, &TMainForm::MainTimerTimer);

  OnCommand(m_File_Statistics, &TMainForm::StatisticsClick);
  OnCommand(tm_Statistics, &TMainForm::StatisticsClick);
  OnCommand(m_Log_Enabled, &TMainForm::LogEnabledClick);
  OnCommand(m_Log_DontLogMyself, &TMainForm::DontLogMyselfClick);
  OnCommand(m_File_Exit, &TMainForm::ExitCommand);
  OnCommand(tm_Exit, &TMainForm::ExitCommand);
  OnCommand(m_Options_Offline, &TMainForm::OfflineClick);
  OnCommand(tm_Offline, &TMainForm::OfflineClick);
  OnCommand(m_Options_Passthru, &TMainForm::PassthruClick);
  OnCommand(tm_Passthru, &TMainForm::PassthruClick);
  OnCommand(m_ProxyEngine, &TMainForm::PassthruClick);
  OnCommand(m_Options_DontUserAgent, &TMainForm::DontUserAgentClick);
  OnCommand(m_HidePasswordText, &TMainForm::HidePasswordTextClick);
  OnCommand(m_SetSecurityPassword, &TMainForm::SetSecurityPasswordClick);
  OnCommand(m_AskforaPassword, &TMainForm::AskForPasswordClick);
  OnCommand(m_Options_HideIcon, &TMainForm::HideIconClick);
  OnCommand(m_Log_Show, &TMainForm::LogShowClick);
  OnCommand(m_Log_Clear, &TMainForm::LogClearClick);
  OnCommand(tm_Settings, &TMainForm::OpenSettings);
  OnCommand(m_Help_About, &TMainForm::ShowAbout);
  OnCommand(tm_AboutTarnwick, &TMainForm::ShowAbout);
  OnCommand(m_BrowserWithTarnwick, &TMainForm::m_BrowserWithTarnwickClick);
  OnCommand(m_BrowseNormal, &TMainForm::m_BrowseNormalClick);
  OnCommand(CheckforUpdate1, &TMainForm::CheckForUpdate);
  OnCommand(m_Contents, &TMainForm::ContentsClick);
  OnCommand(m_TipoftheDay, &TMainForm::ShowTips);
  OnCommand(m_Tarnwick_on_the_web, &TMainForm::OnTheWebClick);
  OnCommand(m_Advertisingtestpage, &TMainForm::TestPageClick);
  OnCommand(m_Sendfeedback, &TMainForm::SendFeedbackClick);
  OnCommand(tm_Sendfeedback, &TMainForm::SendFeedbackClick);
  OnCommand(m_Showlicence, &TMainForm::ShowLicenceClick);
  connect(TrayIcon, &TTrayIcon::SingleClicked, this, [this] {
    if (!Exiting) PassthruClick();
  });
  connect(TrayIcon, &TTrayIcon::DoubleClicked, this, [this] {
    if (!Exiting) OpenSettings();
  });
  connect(HotKey, &TGlobalHotKey::Pressed, this, &TMainForm::HotKeyPressed);
  connect(ProxyPage, &TProxyPage::LogoClicked, this, &TMainForm::OnTheWebClick);
  // m_Options_WordCase, m_Options_Hidesplashscreen and m_DisableWarningonExit only change their
  // own tick, which is read at the next Apply, exit or start.
  for (auto* item : {m_AccessControl, m_AdvertisingFilter, m_RedirectionWordsAnalysis}) {
    connect(item, &QAction::triggered, this, [this, item] {
      item->setChecked(!item->isChecked());
      PluginClick(item);
    });
  }
}

void TMainForm::ShowAbout() {
  TAboutForm about;
  TranslateForm(about, Language());
  PlaceOverWindowInFront(about, this);
  about.exec();
}

std::string TMainForm::SettingsFilePath() const { return Context.SettingsDirectory + "/TARNWICK.INI"; }

}  // namespace tarnwick
