#pragma once
// TListEditors: adding, deleting and selecting the entries of the four user lists of the settings
// window (block list, image sizes, redirection, access control), with their error messages and the
// state lines that redirection and access-control entries carry.
//
// The block and size state holders hold one tick per entry and are rebuilt from the list boxes when
// the settings are saved. Between two saves they are kept in step with their lists (a deleted
// entry takes its line along, an added one gets an empty "no state yet" line), so that an Apply
// from a menu or a Cancel never gives an entry the tick of its neighbour.
//
// User-interface thread only.

#include <QObject>

namespace tarnwick {

class TAclPage;
class TBlockListPage;
class TCheckList;
class TImagesPage;
class TLanguage;
class TMessages;
class TRedirectPage;
class TStringHolder;

struct TListHolders {
  TStringHolder* BlockListStates;
  TStringHolder* SizeListStates;
  TStringHolder* RedirListStates;
  TStringHolder* ACLListStates;
};

class TListEditors : public QObject {
  Q_OBJECT

 public:
  TListEditors(TAclPage& acl, TBlockListPage& block, TImagesPage& images, TRedirectPage& redirect, TListHolders holders,
               TMessages& messages, const TLanguage& language, QObject* parent);

  void AddBlock();
  void DelBlock();
  // Asks for a file and imports it.
  void ImportBlock();
  // Adds the hosts of a hosts file, a domain list or an ad-blocking filter list as ticked entries
  // and tells the user how many were added, already present and skipped. False when the file
  // cannot be read.
  bool ImportBlockFile(const QString& path);
  void SelectBlock();
  void AddSize();
  void DelSize();
  void SelectSize();
  void AddRedir();
  void DelRedir();
  void SelectRedir();
  void WriteRedirState();
  void AddAcl();
  void DelAcl();
  void SelectAcl();
  void WriteAclState();

  // The additions of a settings import: no message, false when nothing was added.
  bool AddBlockPattern(const QString& pattern);
  bool AddImageSize(int width, int height);
  bool AddRedirEntry(const QString& pattern, const QString& target);

 private:
  void Connect();
  // Adds a ticked, selected entry and returns its index.
  int AddEntry(TCheckList& list, const QString& text);
  // Deletes the selected entry and its state line; false when none is selected.
  bool DeleteSelected(TCheckList& list, TStringHolder& states);
  void Warn(const char* captionKey, const char* textKey);

  TAclPage& Acl;
  TBlockListPage& Block;
  TImagesPage& Images;
  TRedirectPage& Redirect;
  TListHolders Holders;
  TMessages& Messages;
  const TLanguage& Language;
  // Set while the editors themselves move a list's selection, so that it does not count as the
  // user selecting an entry.
  bool Moving = false;
};

}  // namespace tarnwick
