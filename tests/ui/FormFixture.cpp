#include "FormFixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <fstream>
#include <sstream>

#include "ui/Pages.h"

namespace tarnwick::test {

TFormFixture::TFormFixture(const char* ini, bool create, std::shared_ptr<TLanguage> language)
    : Language(std::move(language)) {
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
  Window = std::make_unique<TMainForm>(std::move(context));
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

void TFormFixture::WriteIni(const std::string& text) const {
  std::ofstream(Path("TARNWICK.INI"), std::ios::binary) << text;
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
