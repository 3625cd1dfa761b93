// The pages of the filter lists: block list with the tag filter, image sizes, redirection.

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "prefs/StoredProperties.h"
#include "ui/CheckList.h"
#include "ui/Pages.h"
#include "ui/RadioGroup.h"
#include "ui/Widgets.h"

namespace tarnwick {

namespace {

// An edit with its Add and Del buttons above a list.
QVBoxLayout* ListColumn(QLineEdit* edit, QPushButton* add, QPushButton* del, TCheckList* list) {
  auto* row = new QHBoxLayout;
  row->addWidget(edit, 1);
  row->addWidget(add);
  row->addWidget(del);
  auto* column = new QVBoxLayout;
  column->addLayout(row);
  column->addWidget(list, 1);
  return column;
}

}  // namespace

TBlockListPage::TBlockListPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("tab_BlockList"));
  AddBlockText = MakeEdit(QStringLiteral("AddBlockText"), this);
  AddBlockText->setToolTip(QStringLiteral("#HAddBlockText"));
  but_AddBlock = MakeButton(QStringLiteral("but_AddBlock"), QStringLiteral("#Add"), this);
  but_DelBlock = MakeButton(QStringLiteral("but_DelBlock"), QStringLiteral("#Del"), this);
  BlockList = new TCheckList(QStringLiteral("BlockList"), this);
  but_ImportBlock = MakeButton(QStringLiteral("but_ImportBlock"), QStringLiteral("#Import..."), this);
  but_ImportBlock->setToolTip(QStringLiteral("#HImport..."));

  FilterType = new TRadioGroup(
      QStringLiteral("FilterType"), QStringLiteral("#Filter Type"),
      {QStringLiteral("#None"), QStringLiteral("#Request-based (most efficient)"),
       QStringLiteral("#HTML tag-based (less efficient)"), QStringLiteral("#Use both (most effective)")},
      this);
  DontFilterWhen =
      new TRadioGroup(QStringLiteral("DontFilterWhen"), QStringLiteral("#Don't filter objects when..."),
                      {QStringLiteral("#They are on the same domain"), QStringLiteral("#They are on the same path"),
                       QStringLiteral("#Don't care - always filter")},
                      this);
  FilterType->setToolTip(QStringLiteral("#HFilter Type"));
  DontFilterWhen->setToolTip(QStringLiteral("#HDon't filter objects when..."));

  auto* tags = new QGroupBox(QStringLiteral("#Filter these tags:"), this);
  flt_Images = MakeCheck(QStringLiteral("flt_Images"), QStringLiteral("#Images"), tags);
  flt_Frames = MakeCheck(QStringLiteral("flt_Frames"), QStringLiteral("#Frames"), tags);
  flt_Layers = MakeCheck(QStringLiteral("flt_Layers"), QStringLiteral("#Layers"), tags);
  flt_Windows = MakeCheck(QStringLiteral("flt_Windows"), QStringLiteral("#Windows"), tags);
  flt_Forms = MakeCheck(QStringLiteral("flt_Forms"), QStringLiteral("#Forms"), tags);
  flt_Scripts = MakeCheck(QStringLiteral("flt_Scripts"), QStringLiteral("#Scripts"), tags);
  flt_Text = MakeCheck(QStringLiteral("flt_Text"), QStringLiteral("#Text-links"), tags);
  auto* tagGrid = new QGridLayout(tags);
  QCheckBox* const order[] = {flt_Images, flt_Frames, flt_Layers, flt_Windows, flt_Forms, flt_Scripts, flt_Text};
  for (int i = 0; i < 7; ++i) tagGrid->addWidget(order[i], i % 4, i / 4);

  auto* options = new QVBoxLayout;
  options->addWidget(FilterType);
  options->addWidget(new QLabel(QStringLiteral("#Tag filter options"), this));
  options->addWidget(DontFilterWhen);
  options->addWidget(tags);
  options->addStretch(1);
  auto* columns = new QHBoxLayout(this);
  auto* listColumn = ListColumn(AddBlockText, but_AddBlock, but_DelBlock, BlockList);
  listColumn->addWidget(but_ImportBlock, 0, Qt::AlignLeft);
  columns->addLayout(listColumn, 1);
  columns->addLayout(options, 1);
}

TImagesPage::TImagesPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("tab_Images"));
  SizeList = new TCheckList(QStringLiteral("SizeList"), this);
  im_Width = MakeEdit(QStringLiteral("im_Width"), this);
  im_Height = MakeEdit(QStringLiteral("im_Height"), this);
  im_Width->setMaximumWidth(70);
  im_Height->setMaximumWidth(70);
  im_Width->setToolTip(QStringLiteral("#HImage size"));
  im_Height->setToolTip(QStringLiteral("#HImage size"));
  but_ImAdd = MakeButton(QStringLiteral("but_ImAdd"), QStringLiteral("#Add"), this);
  but_ImDel = MakeButton(QStringLiteral("but_ImDel"), QStringLiteral("#Del"), this);

  FilterByDim = MakeCheck(QStringLiteral("FilterByDim"), QStringLiteral("#Filter by image dimensions"), this);
  FilterByDim->setToolTip(QStringLiteral("#HFilter by image dimensions"));
  auto* optionBox = new QGroupBox(QStringLiteral("#Options"), this);
  ReplaceTrans = MakeCheck(QStringLiteral("ReplaceTrans"),
                           QStringLiteral("#Replace filtered images with a transparent one"), optionBox);
  IgnoreNoDims = MakeCheck(QStringLiteral("IgnoreNoDims"),
                           QStringLiteral("#Ignore images without specified dimensions"), optionBox);
  auto* optionColumn = new QVBoxLayout(optionBox);
  optionColumn->addWidget(ReplaceTrans);
  optionColumn->addWidget(IgnoreNoDims);

  Anims = new TRadioGroup(
      QStringLiteral("Anims"), QStringLiteral("#Animated Images"),
      {QStringLiteral("#Leave animated images alone"), QStringLiteral("#Show only the first animation frame"),
       QStringLiteral("#Repeat the animation this many times:")},
      this);
  Anims->SetItemIndex(0);
  NumAnims = MakeEdit(QStringLiteral("NumAnims"), Anims);
  NumAnims->setMaximumWidth(60);
  NumAnims->setToolTip(QStringLiteral("#HNumAnims"));
  Anims->AddBuddy(2, NumAnims);

  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(MakeLabel(QStringLiteral("#Width:"), im_Width, this));
  sizeRow->addWidget(im_Width);
  sizeRow->addWidget(new QLabel(QStringLiteral("X"), this));
  sizeRow->addWidget(MakeLabel(QStringLiteral("#Height:"), im_Height, this));
  sizeRow->addWidget(im_Height);
  sizeRow->addStretch(1);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addWidget(but_ImAdd);
  buttonRow->addWidget(but_ImDel);
  buttonRow->addStretch(1);
  auto* left = new QVBoxLayout;
  left->addWidget(SizeList, 1);
  left->addLayout(sizeRow);
  left->addLayout(buttonRow);
  auto* right = new QVBoxLayout;
  right->addWidget(FilterByDim);
  right->addWidget(optionBox);
  right->addWidget(Anims);
  right->addStretch(1);
  auto* columns = new QHBoxLayout(this);
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);
}

TRedirectPage::TRedirectPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("tab_Redirect"));
  EnableRedir = MakeCheck(QStringLiteral("EnableRedir"), QStringLiteral("#Enable redirection processing"), this);
  EnableRedir->setToolTip(QStringLiteral("#HEnable redirection processing"));
  AddRedirText = MakeEdit(QStringLiteral("AddRedirText"), this);
  AddRedirText->setToolTip(QStringLiteral("#HAddRedirText"));
  but_AddRedir = MakeButton(QStringLiteral("but_AddRedir"), QStringLiteral("#Add"), this);
  but_DelRedir = MakeButton(QStringLiteral("but_DelRedir"), QStringLiteral("#Del"), this);
  RedirList = new TCheckList(QStringLiteral("RedirList"), this);

  auto* method = new QGroupBox(QStringLiteral("#Redirection Method"), this);
  rdt_Pass = MakeRadio(QStringLiteral("rdt_Pass"), QStringLiteral("#Don't do anything - pass requests"), method);
  rdt_Block = MakeRadio(QStringLiteral("rdt_Block"), QStringLiteral("#Block matching URL's, do not redirect"), method);
  rdt_Redir = MakeRadio(QStringLiteral("rdt_Redir"), QStringLiteral("#Always redirect matching URL's to:"), method);
  rdt_Password = MakeRadio(QStringLiteral("rdt_Password"), QStringLiteral("#Username/Password-based access"), method);
  rdt_Pass->setChecked(true);
  RedirToText = MakeEdit(QStringLiteral("RedirToText"), method);
  RedirToText->setText(QString::fromLatin1(kHomePageAddress));
  RedirToText->setToolTip(QStringLiteral("#HRedirToText"));
  Username = MakeEdit(QStringLiteral("Username"), method);
  Password = MakeEdit(QStringLiteral("Password"), method);
  auto* grid = new QGridLayout(method);
  grid->addWidget(rdt_Pass, 0, 0, 1, 3);
  grid->addWidget(rdt_Block, 1, 0, 1, 3);
  grid->addWidget(rdt_Redir, 2, 0, 1, 3);
  grid->addWidget(RedirToText, 3, 1, 1, 2);
  grid->addWidget(rdt_Password, 4, 0, 1, 3);
  grid->addWidget(MakeLabel(QStringLiteral("#Username:"), Username, method), 5, 1);
  grid->addWidget(Username, 5, 2);
  grid->addWidget(MakeLabel(QStringLiteral("#Password:"), Password, method), 6, 1);
  grid->addWidget(Password, 6, 2);
  grid->setColumnMinimumWidth(0, 16);
  grid->setColumnStretch(2, 1);

  auto* left = ListColumn(AddRedirText, but_AddRedir, but_DelRedir, RedirList);
  left->insertWidget(0, EnableRedir);
  auto* right = new QVBoxLayout;
  right->addWidget(method);
  right->addStretch(1);
  auto* columns = new QHBoxLayout(this);
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);
}

}  // namespace tarnwick
