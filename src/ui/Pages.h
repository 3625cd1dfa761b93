#pragma once
// The six pages of the settings window. Each page builds its controls, named by their component
// names; the main window and its list editors reach them through these members. The pages hold no
// behaviour of their own beyond enabling controls. User-interface thread only.

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace tarnwick {

class TCheckList;
class TRadioGroup;

class TProxyPage : public QWidget {
  Q_OBJECT
 public:
  explicit TProxyPage(QWidget* parent = nullptr);
  // ProxyName and ProxyPort are editable only while UseProxy is ticked.
  void UpdateProxyEdits();
  bool eventFilter(QObject* watched, QEvent* event) override;

  QLineEdit* Port;
  QCheckBox* AllowOthers;
  QLineEdit* ProxyName;
  QLineEdit* ProxyPort;
  QCheckBox* UseProxy;
  QLabel* LogoImage;

 signals:
  // A click on the product logo (it opens the home page).
  void LogoClicked();
};

class TAclPage : public QWidget {
  Q_OBJECT
 public:
  explicit TAclPage(QWidget* parent = nullptr);

  QPushButton* but_AddACL;
  QPushButton* but_DelACL;
  QLineEdit* AddACLText;
  TCheckList* ACLList;
  QRadioButton* acl_Grant;
  QRadioButton* acl_Deny;
  QRadioButton* acl_Password;
  QLineEdit* ACLUser;
  QLineEdit* ACLPass;
  QSpinBox* PassExpire;
};

class TBlockListPage : public QWidget {
  Q_OBJECT
 public:
  explicit TBlockListPage(QWidget* parent = nullptr);

  QPushButton* but_AddBlock;
  QPushButton* but_DelBlock;
  QPushButton* but_ImportBlock;
  QLineEdit* AddBlockText;
  TCheckList* BlockList;
  TRadioGroup* FilterType;
  TRadioGroup* DontFilterWhen;
  QCheckBox* flt_Images;
  QCheckBox* flt_Frames;
  QCheckBox* flt_Layers;
  QCheckBox* flt_Windows;
  QCheckBox* flt_Forms;
  QCheckBox* flt_Scripts;
  QCheckBox* flt_Text;
};

class TImagesPage : public QWidget {
  Q_OBJECT
 public:
  explicit TImagesPage(QWidget* parent = nullptr);

  TCheckList* SizeList;
  QLineEdit* im_Width;
  QLineEdit* im_Height;
  QPushButton* but_ImAdd;
  QPushButton* but_ImDel;
  QCheckBox* FilterByDim;
  QCheckBox* ReplaceTrans;
  QCheckBox* IgnoreNoDims;
  TRadioGroup* Anims;
  QLineEdit* NumAnims;
};

class TRedirectPage : public QWidget {
  Q_OBJECT
 public:
  explicit TRedirectPage(QWidget* parent = nullptr);

  QCheckBox* EnableRedir;
  QPushButton* but_AddRedir;
  QPushButton* but_DelRedir;
  QLineEdit* AddRedirText;
  TCheckList* RedirList;
  QRadioButton* rdt_Pass;
  QRadioButton* rdt_Block;
  QRadioButton* rdt_Redir;
  QRadioButton* rdt_Password;
  QLineEdit* RedirToText;
  QLineEdit* Username;
  QLineEdit* Password;
};

class TMiscPage : public QWidget {
  Q_OBJECT
 public:
  explicit TMiscPage(QWidget* parent = nullptr);

  TRadioGroup* Referer;
  TRadioGroup* Popups;
};

}  // namespace tarnwick
