#include "FormFixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <fstream>
#include <sstream>

#include "engine/SockStream.h"
#include "platform/UserStore.h"
#include "ui/Pages.h"

namespace tarnwick::test {

TFormFixture::TFormFixture(const char* ini, bool create, std::shared_ptr<TLanguage> language, TPrepare prepare)
    : Language(std::move(language)), Prepare(std::move(prepare)) {
  if (ini) WriteIni(ini);
  Make(create);
}

TFormFixture::~TFormFixture() = default;

void TFormFixture::Make(bool create) {
  TMainFormContext context;
  context.SettingsDirectory = Home.path().toStdString();
  auto recorder = std::make_unique<TRecordingDialogs>();
  Recorder = recorder.get();
  context.Dialogs = std::move(recorder);
  context.TrayAvailable = true;
  context.Language = Language;
  context.UserStore = std::make_unique<TUserStore>(UserStorePath());
  context.ResourceDirectory = Home.filePath(QStringLiteral("program")).toStdString();
  auto launcher = std::make_unique<TRecordingLauncher>();
  Desktop = launcher.get();
  context.Launcher = std::move(launcher);
  context.LookupBlock = [this](const QString& key) -> std::optional<QString> {
    for (int i = 1; i <= TipCount; ++i) {
      if (key == QStringLiteral("##Tip %1").arg(i)) return QStringLiteral("tip %1").arg(i);
    }
    return std::nullopt;
  };
  // The first-start questions and the automatic update check come only where a test asks for them.
  context.Registry.IsFirstStart = false;
  context.Registry.LastUpdate = DateTimeNow();
  if (Prepare) Prepare(context, Home.path().toStdString());
  Window = std::make_unique<TMainForm>(std::move(context));
  // Tests set and check many passwords; the least hashing work keeps them quick.
  Window->Security().HashCost = TSecurityPassword::LightestCost();
  if (create) Window->FormCreate();
}

void TFormFixture::Restart(bool create) {
  Window.reset();
  Make(create);
}

std::string TFormFixture::IniText() const {
  std::ifstream in(Path("TARNWICK.INI"), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {

// A loopback port free at this moment. Port 0 is not a usable stored port (the program would fall
// back to 8080), so the tests' "Port_Text=0" stands for "any free port".
std::string FreePort() {
  TSockStream probe;
  probe.Listen("", "127.0.0.1", 0, 1);
  return std::to_string(probe.LocalPort());
}

}  // namespace

void TFormFixture::WriteIni(const std::string& text) {
  std::string written = text;
  const std::string anyPort = "Port_Text=0\n";
  if (const auto at = written.find(anyPort); at != std::string::npos) {
    written.replace(at, anyPort.size(), "Port_Text=" + FreePort() + "\n");
  }
  std::ofstream(Path("TARNWICK.INI"), std::ios::binary) << written;
  Written = written;
}

void TFormFixture::Click(QPushButton* button) { button->click(); }

void TFormFixture::AddBlock(const QString& text) {
  Window->BlockListPage->AddBlockText->setText(text);
  Click(Window->BlockListPage->but_AddBlock);
}

void TFormFixture::AddSize(const QString& width, const QString& height) {
  Window->ImagesPage->im_Width->setText(width);
  Window->ImagesPage->im_Height->setText(height);
  Click(Window->ImagesPage->but_ImAdd);
}

void TFormFixture::AddRedir(const QString& text) {
  Window->RedirectPage->AddRedirText->setText(text);
  Click(Window->RedirectPage->but_AddRedir);
}

void TFormFixture::AddAcl(const QString& text) {
  Window->AclPage->AddACLText->setText(text);
  Click(Window->AclPage->but_AddACL);
}

}  // namespace tarnwick::test
