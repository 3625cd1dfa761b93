#pragma once
// TMainForm: the settings window, and the owner of the program's long-lived objects: the
// statistics window, the preferences object, the access log, the hand-over that lets connection
// threads reach this thread, and the listening server. They are created by FormCreate in the
// order start-up needs and released by the destructor in reverse, the server first.
//
// The window starts hidden; the program lives on in the notification area (or behind the hot key)
// while it is hidden and ends only through the Exit command (or EndSession, the path of the
// session's end and of SIGTERM/SIGINT), which saves everything and then emits ExitRequested for
// the event loop to end. Where nothing could bring a hidden window back, it is never hidden.
//
// User-interface thread only. Connection threads never touch it; they read the preferences object
// and hand their log lines over through the hand-over.

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "prefs/RegistryValues.h"
#include "ui/DocumentOpener.h"
#include "ui/ModePictures.h"
#include "ui/SecurityPassword.h"
#include "ui/TricksForm.h"

class QAction;
class QMenu;
class QPushButton;
class QTabWidget;
class QTimer;
class QUrl;

namespace tarnwick {

class TAccessLog;
class TCommandRunner;
class TAclPage;
class TBlockListPage;
class TCorvanePrefs;
class TGlobalHotKey;
class TTrayIcon;
class TFilterProxy;
class TImagesPage;
class TIniFile;
class TLanguage;
class TListEditors;
class TMessages;
class TMiscPage;
class TProxyPage;
class TRedirectPage;
class TStatsForm;
class TStringHolder;
class TUiHandOver;
class TUserDialogs;
class TUserStore;

struct TMainFormContext {
  std::string SettingsDirectory;
  std::unique_ptr<TUserDialogs> Dialogs;  // never null
  // The language of every window and message; null: a language without a file, whose lookups
  // answer with the keys.
  std::shared_ptr<TLanguage> Language;
  // The per-user store and the values loaded from it at program start; null store: nothing saved.
  std::unique_ptr<TUserStore> UserStore;
  TRegistryValues Registry;
  // Whether a notification area exists; without one, closing the window ends the program.
  bool TrayAvailable = false;
  // No windows at all: the security-password prompt is refused, and the automatic update check
  // only reports a newer version on stderr.
  bool Headless = false;
  // Where help.html (LANGUAGE/<language>/), licence.txt and the other read-only files are.
  std::string ResourceDirectory;
  // Opens documents and addresses; null: the desktop's own.
  std::unique_ptr<TDesktopLauncher> Launcher;
  // The language file's text of a "##" block key (the tips); null or nothing: no such entry.
  TTricksForm::TLookup LookupBlock;
  // Runs the desktop's configuration tools (gsettings); null: the GNOME proxy is left alone.
  std::shared_ptr<TCommandRunner> Commands;
};

class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TMainForm(TMainFormContext context, QWidget* parent = nullptr);
  // Stops and frees the server, then the statistics window, the log and the preferences.
  ~TMainForm() override;

  // Start-up: statistics window, preferences, settings restored and applied, statistics loaded,
  // log opened, server started (an unusable port is reported and the Proxy page shown), main timer.
  void FormCreate();

  // Settings storage (see prefs/StoredProperties.h for the layout).
  void SaveListStates();
  void RestoreListStates();
  void StoreSettings();
  void RestoreSettings(const TIniFile& file);
  // Copies every setting of the window into a new typed settings object and publishes it.
  void Apply();
  // SIGHUP: the settings file as it stands now replaces the window's settings and is applied, as
  // if the user had typed it in and pressed Apply. A file that cannot be read, or holds no
  // settings, leaves everything as it is; the reason is returned (empty on success).
  std::string ReloadSettings();

  // Commands.
  void OpenSettings();
  void but_OkClick();
  void but_CancelClick();
  void ExitCommand();
  // A log-off, or SIGTERM/SIGINT: Exit without a password or a question.
  void EndSession();
  void MainTimerTimer();
  void StatisticsClick();
  void StatsResetClick();
  void OfflineClick();
  void PassthruClick();
  void DontUserAgentClick();
  void DontLogMyselfClick();
  void LogEnabledClick();
  // Empties the access log (after the password check); false when it could not be emptied.
  bool ClearLog();
  void HidePasswordTextClick();
  void SetSecurityPasswordClick();
  void AskForPasswordClick();
  void HideIconClick();
  void LogShowClick();
  void LogClearClick();
  void PluginClick(QAction* item);
  void UpdatePluginPages();
  void ShowAbout();
  // The change of language at run time: the main and statistics windows get their keys back from
  // the old file and are translated from the new one; the choice is saved. Choosing code 0 or the
  // language in use does nothing.
  void SwitchLanguage(std::uint8_t code);
  // The language menu's flag follows the current language.
  void UpdateLanguageMenu();
  void ShowTips();
  void ContentsClick();
  void OnTheWebClick();
  void TestPageClick();
  void SendFeedbackClick();
  void ShowLicenceClick();
  void HotKeyPressed();

  // The tray icon is shown exactly while "Hide Tray Icon" is clear, the hot key is taken exactly
  // while the icon is not shown.
  void UpdateTrayAndHotKey();
  // The pictures of the tray icon and of the windows for a mode.
  void SetIcons(TTrayMode mode);
  // Whether a hidden window could be brought back: by the tray icon in a notification area, or by
  // the hot key when the user hid the icon.
  bool CanBeBroughtBack() const;
  // The last chance to keep the user's work when the process ends without an exit (the display's
  // connection broke): saves everything, touching no window system.
  void SaveOnUnplannedEnd();

  // The security password check: true when the command may go on. Runs the password's Check;
  // replaceable so that a test can answer it.
  std::function<bool()> PasswordCheck;
  TSecurityPassword& Security() { return Password; }

  // Desktop integration (MainFormIntegration.cpp): browsers, first start, update check.
  void m_BrowserWithTarnwickClick();
  void m_BrowseNormalClick();
  // The first-start offers: settings import or ISP proxy, then the browser question; clears
  // IsFirstStart and saves the per-user values.
  void FirstStart();
  bool ImportWebWasherSettings();
  void OfferIspProxy();
  void CheckForUpdate();
  void AutoCheckForUpdate();

  TCorvanePrefs& Prefs() const { return *PrefsObject; }
  TFilterProxy* Proxy() const { return Server.get(); }
  TStatsForm* StatsForm() const { return Stats.get(); }
  TAccessLog& Log() const { return *AccessLog; }
  TUserDialogs& Dialogs() const { return *Context.Dialogs; }
  TMessages& Messages() const { return *MessageBoxes; }
  TLanguage& Language() const { return *Context.Language; }
  TListEditors& Editors() const { return *ListEditors; }
  const TRegistryValues& Registry() const { return Context.Registry; }
  std::string SettingsFilePath() const;
  bool ExitInProgress() const { return Exiting; }
  // The exit has saved everything and asked the event loop to end.
  bool Finished() const { return Exited; }
  // Whether the language file has any tip to show.
  bool HasTips() const;
  const TTricksForm::TLookup& TipLookup() const { return Context.LookupBlock; }
  TDesktopLauncher& Launcher() const { return *Context.Launcher; }
  TRegistryValues& Registry() { return Context.Registry; }
  TTrayIcon* TrayIcon;
  TGlobalHotKey* HotKey;

  QTabWidget* MainPages;
  TProxyPage* ProxyPage;
  TAclPage* AclPage;
  TBlockListPage* BlockListPage;
  TImagesPage* ImagesPage;
  TRedirectPage* RedirectPage;
  TMiscPage* MiscPage;
  QPushButton* but_Ok;
  QPushButton* but_Cancel;
  QTimer* MainTimer;

  TStringHolder* BlockListStates;
  TStringHolder* SizeListStates;
  TStringHolder* RedirListStates;
  TStringHolder* ACLListStates;
  TStringHolder* StatStrings;
  QTimer* StatsSaveTimer;
  int ExitStatus = 0;

  // File menu.
  QAction* m_File_Statistics;
  QAction* m_Log_Enabled;
  QAction* m_Log_Show;
  QAction* m_Log_Clear;
  QAction* m_Log_DontLogMyself;
  QAction* m_File_Exit;
  // Options menu.
  QAction* m_Options_Offline;
  QAction* m_Options_Passthru;
  QAction* m_Options_DontUserAgent;
  QAction* m_Options_WordCase;
  QAction* m_Options_HideIcon;
  QAction* m_Options_Hidesplashscreen;
  QAction* m_DisableWarningonExit;
  QAction* m_SetSecurityPassword;
  QAction* m_AskforaPassword;
  QAction* m_HidePasswordText;
  // Language menu (Options).
  QMenu* m_Language;
  QAction* m_AutomaticLanguage;
  QAction* m_English;
  QAction* m_Deutsch;
  QAction* m_Francais;
  QAction* m_Espanol;
  QAction* m_Italiano;
  // Plugins menu.
  QAction* m_ProxyEngine;
  QAction* m_AccessControl;
  QAction* m_AdvertisingFilter;
  QAction* m_RedirectionWordsAnalysis;
  // Help menu.
  QAction* m_Contents;
  QAction* m_TipoftheDay;
  QAction* m_Tarnwick_on_the_web;
  QAction* m_Advertisingtestpage;
  QAction* m_Sendfeedback;
  QAction* m_Showlicence;
  QAction* m_Help_About;
  QAction* CheckforUpdate1;
  // Options menu, "#Automatic Browsers Configuration".
  QAction* m_BrowserWithTarnwick;
  QAction* m_BrowseNormal;
  // The tray icon's menu.
  QMenu* TrayMenu;
  QAction* tm_Settings;
  QAction* tm_Statistics;
  QAction* tm_AboutTarnwick;
  QAction* tm_Sendfeedback;
  QAction* tm_Passthru;
  QAction* tm_Offline;
  QAction* tm_Exit;

 signals:
  // Everything is saved; the event loop may end.
  void ExitRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreatePages();
  void CreateMenus();
  void CreateTrayMenu();
  void CreateLanguageMenu(QMenu* options);
  void ConnectCommands();
  QAction* MakeAction(QMenu* menu, const QString& name, const QString& caption, bool checkable);
  // Runs `command` on a user's choice of `action`, with the tick as it was before the choice:
  // the command toggles it itself, after its password check has passed.
  void OnCommand(QAction* action, void (TMainForm::*command)());

  void StartServer();
  void RestartServer();
  void ShowBindError();
  void ReportListening();

 public:
  // Writes the statistics lines into TARNWICK.INI alone; false (and a message) when it cannot.
  // Called every kStatsSaveInterval, so that a killed program loses at most that much.
  bool SaveStatsToFile();
  static constexpr int kStatsSaveIntervalMs = 5 * 60 * 1000;
  // The program's exit status: 1 once the settings could not be written at exit.
  int ExitCode() const { return ExitStatus; }

 private:
  // A stored port that is empty, not a number or outside 1-65535: listen on kFallbackPort, and say so.
  void ReplaceUnusablePort();
  static constexpr int kFallbackPort = 8080;
  void ShowOnProxyPage();
  // The section "Tarnwick.Limits" of `file` put into force; the window does not show it, so Apply
  // keeps what was published last.
  void PublishLimits(const TIniFile& file);
  // The upstream proxy the window names is this very proxy (its port, an address of this machine):
  // every request would come back to it.
  bool UpstreamIsSelf() const;
  void OpenLog();
  void PublishLogEnabled(bool enabled);
  // The exit's saving: statistics, list states, settings, statistics window placement, registry.
  void FormClose();
  void SaveRegistryValues();
  void RefreshStats();
  void ApplyHidePasswordText();
  void CreateTray();
  void UpdateModeDisplay();
  // Ends the program once the boxes open when the session ended have closed.
  void FinishSession();
  // The prompt of the security password, over the window in front.
  std::optional<QString> PromptForPassword();
  QString HelpFilePath() const;
  // False when a store failed (the error has been shown).
  bool ConfigureBrowsers(bool enable);
  void ApplyImportedSettings(const struct TWebWasherSettings& settings);
  void UseIspProxy(const char* host);

  TMainFormContext Context;
  std::unique_ptr<TMessages> MessageBoxes;
  TSecurityPassword Password;
  // Not a child object: as a member it goes before the pages whose signals it serves.
  std::unique_ptr<TListEditors> ListEditors;
  std::unique_ptr<TIniFile> SettingsFile;
  std::unique_ptr<TStatsForm> Stats;
  std::shared_ptr<TCorvanePrefs> PrefsObject;
  std::shared_ptr<TAccessLog> AccessLog;
  std::shared_ptr<TUiHandOver> UiThread;
  std::unique_ptr<TFilterProxy> Server;
  // What the server was last started with: Apply asks for a restart while the settings differ.
  int EffectivePort = 0;
  bool EffectiveAllowOthers = false;
  bool Exiting = false;
  bool ShutdownUnderWay = false;
  bool SessionEndQueued = false;
  // Everything is saved and ExitRequested emitted: nothing may run the exit again.
  bool Exited = false;
  // False while the window is open for editing: a close request then acts as Cancel.
  bool CanClose = true;
};

}  // namespace tarnwick
