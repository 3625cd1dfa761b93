#include "ui/ListEditors.h"

#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <arpa/inet.h>

#include "prefs/BlockListImport.h"
#include "prefs/ListStates.h"
#include "prefs/StoredProperties.h"
#include "text/UrlText.h"
#include "ui/CheckList.h"
#include "ui/Messages.h"
#include "ui/Pages.h"
#include "ui/StringHolder.h"
#include "ui/TranslateForm.h"

namespace tarnwick {

namespace {

std::string Std(const QString& text) { return text.toStdString(); }

bool IsInteger(const QString& text) {
  std::int32_t value = 0;
  return ParseInt32(Std(text), value);
}

// The platform's dotted-address parser; its failure value also turns away 255.255.255.255.
bool IsIpv4Address(const QString& text) { return ::inet_addr(text.toLatin1().constData()) != INADDR_NONE; }

void InsertLine(TStringHolder& holder, int index, std::string line = {}) {
  if (index >= 0 && static_cast<size_t>(index) <= holder.Strings.size()) {
    holder.Strings.insert(holder.Strings.begin() + index, std::move(line));
  }
}

void SetLine(TStringHolder& holder, int index, std::string line) {
  if (index >= 0 && static_cast<size_t>(index) < holder.Strings.size())
    holder.Strings[static_cast<size_t>(index)] = std::move(line);
}

std::string LineAt(const TStringHolder& holder, int index) {
  return index >= 0 && static_cast<size_t>(index) < holder.Strings.size() ? holder.Strings[static_cast<size_t>(index)]
                                                                          : std::string();
}

TRedirAction RedirMethod(const TRedirectPage& page) {
  if (page.rdt_Block->isChecked()) return TRedirAction::Block;
  if (page.rdt_Redir->isChecked()) return TRedirAction::Redirect;
  if (page.rdt_Password->isChecked()) return TRedirAction::Password;
  return TRedirAction::Pass;
}

TAccessMethod AclMethod(const TAclPage& page) {
  if (page.acl_Deny->isChecked()) return TAccessMethod::Deny;
  if (page.acl_Password->isChecked()) return TAccessMethod::Password;
  return TAccessMethod::Grant;
}

}  // namespace

TListEditors::TListEditors(TAclPage& acl, TBlockListPage& block, TImagesPage& images, TRedirectPage& redirect,
                           TListHolders holders, TMessages& messages, const TLanguage& language, QObject* parent)
    : QObject(parent),
      Acl(acl),
      Block(block),
      Images(images),
      Redirect(redirect),
      Holders(holders),
      Messages(messages),
      Language(language) {
  Connect();
}

void TListEditors::Connect() {
  // A click, or moving through the list with the keys, selects an entry.
  auto selecting = [this](TCheckList* list, void (TListEditors::*select)()) {
    connect(list, &QListWidget::itemClicked, this, select);
    connect(list, &QListWidget::currentRowChanged, this, [this, select] {
      if (!Moving) (this->*select)();
    });
  };
  connect(Block.but_AddBlock, &QPushButton::clicked, this, &TListEditors::AddBlock);
  connect(Block.AddBlockText, &QLineEdit::returnPressed, this, &TListEditors::AddBlock);
  connect(Block.but_DelBlock, &QPushButton::clicked, this, &TListEditors::DelBlock);
  connect(Block.but_ImportBlock, &QPushButton::clicked, this, &TListEditors::ImportBlock);
  connect(Block.BlockList, &TCheckList::DeletePressed, this, &TListEditors::DelBlock);
  selecting(Block.BlockList, &TListEditors::SelectBlock);

  connect(Images.but_ImAdd, &QPushButton::clicked, this, &TListEditors::AddSize);
  connect(Images.but_ImDel, &QPushButton::clicked, this, &TListEditors::DelSize);
  connect(Images.SizeList, &TCheckList::DeletePressed, this, &TListEditors::DelSize);
  selecting(Images.SizeList, &TListEditors::SelectSize);

  connect(Redirect.but_AddRedir, &QPushButton::clicked, this, &TListEditors::AddRedir);
  connect(Redirect.AddRedirText, &QLineEdit::returnPressed, this, &TListEditors::AddRedir);
  connect(Redirect.but_DelRedir, &QPushButton::clicked, this, &TListEditors::DelRedir);
  connect(Redirect.RedirList, &TCheckList::DeletePressed, this, &TListEditors::DelRedir);
  selecting(Redirect.RedirList, &TListEditors::SelectRedir);
  // Only the user's own choices rewrite the state line: clicked and textEdited are not emitted when
  // the window fills the controls from a selected entry.
  for (auto* radio : {Redirect.rdt_Pass, Redirect.rdt_Block, Redirect.rdt_Redir, Redirect.rdt_Password}) {
    connect(radio, &QRadioButton::clicked, this, &TListEditors::WriteRedirState);
  }
  for (auto* edit : {Redirect.RedirToText, Redirect.Username, Redirect.Password}) {
    connect(edit, &QLineEdit::textEdited, this, &TListEditors::WriteRedirState);
  }

  connect(Acl.but_AddACL, &QPushButton::clicked, this, &TListEditors::AddAcl);
  connect(Acl.AddACLText, &QLineEdit::returnPressed, this, &TListEditors::AddAcl);
  connect(Acl.but_DelACL, &QPushButton::clicked, this, &TListEditors::DelAcl);
  connect(Acl.ACLList, &TCheckList::DeletePressed, this, &TListEditors::DelAcl);
  selecting(Acl.ACLList, &TListEditors::SelectAcl);
  for (auto* radio : {Acl.acl_Grant, Acl.acl_Deny, Acl.acl_Password}) {
    connect(radio, &QRadioButton::clicked, this, &TListEditors::WriteAclState);
  }
  for (auto* edit : {Acl.ACLUser, Acl.ACLPass})
    connect(edit, &QLineEdit::textEdited, this, &TListEditors::WriteAclState);
}

void TListEditors::Warn(const char* captionKey, const char* textKey) {
  Messages.ShowWarningMsg(Translated(Language, captionKey), Translated(Language, textKey));
}

int TListEditors::AddEntry(TCheckList& list, const QString& text) {
  Moving = true;
  const int index = list.AddSorted(text, true);
  list.Select(index);
  Moving = false;
  return index;
}

bool TListEditors::DeleteSelected(TCheckList& list, TStringHolder& states) {
  const int index = list.Selected();
  if (index < 0) return false;
  Moving = true;
  if (static_cast<size_t>(index) < states.Strings.size()) states.Strings.erase(states.Strings.begin() + index);
  delete list.takeItem(index);
  list.setCurrentRow(-1);
  Moving = false;
  return true;
}

void TListEditors::ImportBlock() {
  const QString path = QFileDialog::getOpenFileName(Block.window(), Translated(Language, "#Import block list"));
  if (!path.isEmpty()) ImportBlockFile(path);
}

bool TListEditors::ImportBlockFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    Messages.ShowErrorMsg(Translated(Language, "#errImportRead").arg(path));
    return false;
  }
  const QByteArray bytes = file.readAll();
  const TParsedBlockList parsed =
      ParseBlockListText(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));

  // Each entry travels through the merge with its tick now and its holder line behind it ("1"
  // alone for a new entry: ticked, no stored state yet), so that both stay with their entry.
  TCheckList& list = *Block.BlockList;
  std::vector<std::string>& holder = Holders.BlockListStates->Strings;
  std::vector<std::string> items = list.Lines();
  std::vector<std::string> states;
  states.reserve(items.size());
  for (int i = 0; i < list.count(); ++i) {
    const size_t index = static_cast<size_t>(i);
    states.push_back((list.IsChecked(i) ? "1" : "0") + (index < holder.size() ? holder[index] : std::string()));
  }
  TImportCounts counts = MergeIntoBlockList(items, states, parsed.Entries);
  counts.Skipped = parsed.Skipped;
  if (counts.Added > 0) {
    std::vector<bool> ticks;
    ticks.reserve(states.size());
    holder.clear();
    for (const auto& state : states) {
      ticks.push_back(!state.empty() && state.front() == '1');
      holder.push_back(state.empty() ? std::string() : state.substr(1));
    }
    Moving = true;
    list.SetEntries(items, ticks);
    Moving = false;
  }
  Messages.ShowInformationMsg(
      Translated(Language, "#ImportResult").arg(counts.Added).arg(counts.AlreadyPresent).arg(counts.Skipped));
  return true;
}

void TListEditors::AddBlock() {
  const QString text = Block.AddBlockText->text();
  if (text.isEmpty()) return;
  if (Block.BlockList->IndexOfText(text) >= 0) return Warn("#errPatExistsCap", "#errPatExists");
  InsertLine(*Holders.BlockListStates, AddEntry(*Block.BlockList, text));
  Block.AddBlockText->clear();
}

void TListEditors::DelBlock() { DeleteSelected(*Block.BlockList, *Holders.BlockListStates); }

void TListEditors::SelectBlock() { Block.AddBlockText->setText(Block.BlockList->Text(Block.BlockList->Selected())); }

void TListEditors::AddSize() {
  const QString width = Images.im_Width->text();
  const QString height = Images.im_Height->text();
  if (!IsInteger(width) || !IsInteger(height)) return Warn("#errImgSizeCap", "#errImgSize");
  const QString entry = QString::fromStdString(ImageSizeText(IntOrZero(Std(width)), IntOrZero(Std(height))));
  if (Images.SizeList->IndexOfText(entry) >= 0) return Warn("#errImgSizeExistsCap", "#errImgSizeExists");
  InsertLine(*Holders.SizeListStates, AddEntry(*Images.SizeList, entry));
  Images.im_Width->clear();
  Images.im_Height->clear();
}

void TListEditors::DelSize() { DeleteSelected(*Images.SizeList, *Holders.SizeListStates); }

void TListEditors::SelectSize() {
  const auto parts = Images.SizeList->Text(Images.SizeList->Selected()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
  Images.im_Width->setText(parts.value(0));
  Images.im_Height->setText(parts.value(2));
}

void TListEditors::AddRedir() {
  const QString text = Redirect.AddRedirText->text();
  if (text.isEmpty()) return;
  if (Redirect.RedirList->IndexOfText(text) >= 0) return Warn("#errPatExistsCap", "#errPatExists");
  InsertLine(*Holders.RedirListStates, AddEntry(*Redirect.RedirList, text));
  if (Redirect.RedirToText->text().trimmed().isEmpty())
    Redirect.RedirToText->setText(QString::fromLatin1(kHomePageAddress));
  Redirect.AddRedirText->clear();
  WriteRedirState();
}

void TListEditors::DelRedir() { DeleteSelected(*Redirect.RedirList, *Holders.RedirListStates); }

void TListEditors::SelectRedir() {
  const int index = Redirect.RedirList->Selected();
  if (index < 0) return;
  Redirect.AddRedirText->setText(Redirect.RedirList->Text(index));
  const TEntryState state = ParseRedirState(LineAt(*Holders.RedirListStates, index));
  QRadioButton* const radios[] = {Redirect.rdt_Pass, Redirect.rdt_Block, Redirect.rdt_Redir, Redirect.rdt_Password};
  if (state.Method >= 0 && state.Method <= 3) radios[state.Method]->setChecked(true);
  Redirect.RedirToText->setText(QString::fromStdString(state.Target));
  Redirect.Username->setText(QString::fromStdString(state.User));
  Redirect.Password->setText(QString::fromStdString(state.Password));
}

void TListEditors::WriteRedirState() {
  const int index = Redirect.RedirList->Selected();
  if (index < 0) return;
  SetLine(*Holders.RedirListStates, index,
          RedirStateLine(Redirect.RedirList->IsChecked(index), RedirMethod(Redirect), Std(Redirect.RedirToText->text()),
                         Std(Redirect.Username->text()), Std(Redirect.Password->text())));
}

void TListEditors::AddAcl() {
  const QString text = Acl.AddACLText->text();
  if (text.isEmpty()) return;
  if (Acl.ACLList->IndexOfText(text) >= 0) return Warn("#errIPExistsCap", "#errIPExists");
  if (!IsIpv4Address(text)) return Warn("#errBadIPCap", "#errBadIP");
  InsertLine(*Holders.ACLListStates, AddEntry(*Acl.ACLList, text));
  Acl.AddACLText->clear();
  WriteAclState();
}

void TListEditors::DelAcl() { DeleteSelected(*Acl.ACLList, *Holders.ACLListStates); }

void TListEditors::SelectAcl() {
  const int index = Acl.ACLList->Selected();
  if (index < 0) return;
  Acl.AddACLText->setText(Acl.ACLList->Text(index));
  const TEntryState state = ParseAclState(LineAt(*Holders.ACLListStates, index));
  QRadioButton* const radios[] = {Acl.acl_Grant, Acl.acl_Deny, Acl.acl_Password};
  if (state.Method >= 0 && state.Method <= 2) radios[state.Method]->setChecked(true);
  Acl.ACLUser->setText(QString::fromStdString(state.User));
  Acl.ACLPass->setText(QString::fromStdString(state.Password));
}

void TListEditors::WriteAclState() {
  const int index = Acl.ACLList->Selected();
  if (index < 0) return;
  SetLine(
      *Holders.ACLListStates, index,
      AclStateLine(Acl.ACLList->IsChecked(index), AclMethod(Acl), Std(Acl.ACLUser->text()), Std(Acl.ACLPass->text())));
}

bool TListEditors::AddBlockPattern(const QString& pattern) {
  if (pattern.isEmpty() || Block.BlockList->IndexOfText(pattern) >= 0) return false;
  InsertLine(*Holders.BlockListStates, AddEntry(*Block.BlockList, pattern));
  return true;
}

bool TListEditors::AddImageSize(int width, int height) {
  const QString entry = QString::fromStdString(ImageSizeText(width, height));
  if (Images.SizeList->IndexOfText(entry) >= 0) return false;
  InsertLine(*Holders.SizeListStates, AddEntry(*Images.SizeList, entry));
  return true;
}

bool TListEditors::AddRedirEntry(const QString& pattern, const QString& target) {
  if (pattern.isEmpty() || Redirect.RedirList->IndexOfText(pattern) >= 0) return false;
  const int index = AddEntry(*Redirect.RedirList, pattern);
  InsertLine(*Holders.RedirListStates, index, RedirStateLine(true, TRedirAction::Redirect, Std(target), "", ""));
  return true;
}

}  // namespace tarnwick
