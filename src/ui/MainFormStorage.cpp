// The settings window's own storage: its controls and placement, and the ticks of the four lists
// carried between the list boxes and their state holders.

#include <algorithm>
#include <fstream>
#include <iterator>

#include "engine/AccessLog.h"
#include "platform/IniFile.h"
#include "prefs/Limits.h"
#include "prefs/ListStates.h"
#include "prefs/Prefs.h"
#include "prefs/StoredProperties.h"
#include "ui/CheckList.h"
#include "ui/FormStorage.h"
#include "ui/MainForm.h"
#include "ui/Pages.h"
#include "ui/StringHolder.h"

namespace tarnwick {

namespace {

// Block and size holders: one "1" or "0" per entry, rebuilt from the ticks.
void RebuildTicks(const TCheckList& list, TStringHolder& holder) {
  holder.Strings.clear();
  for (int i = 0; i < list.count(); ++i) holder.Strings.push_back(list.IsChecked(i) ? "1" : "0");
}

// Redirection and access-control holders keep their lines; only the first character follows the tick.
void RewriteChecks(const TCheckList& list, TStringHolder& holder) {
  const size_t common = std::min(holder.Strings.size(), static_cast<size_t>(list.count()));
  for (size_t i = 0; i < common; ++i)
    holder.Strings[i] = WithCheck(holder.Strings[i], list.IsChecked(static_cast<int>(i)));
}

// A block or size line "1" ticks its entry and any other text clears it. An empty line is an entry
// added since the last save, and an entry beyond the holder's end one added before it: both keep
// the tick they have.
void RestoreTicks(TCheckList& list, const TStringHolder& holder) {
  const size_t common = std::min(holder.Strings.size(), static_cast<size_t>(list.count()));
  for (size_t i = 0; i < common; ++i) {
    if (!holder.Strings[i].empty()) list.SetChecked(static_cast<int>(i), holder.Strings[i] == "1");
  }
}

void RestoreStateChecks(TCheckList& list, const TStringHolder& holder) {
  for (int i = 0; i < list.count(); ++i) {
    const bool known = static_cast<size_t>(i) < holder.Strings.size();
    list.SetChecked(i, known && StateLineChecked(holder.Strings[static_cast<size_t>(i)]));
  }
}

}  // namespace

void TMainForm::SaveListStates() {
  RebuildTicks(*BlockListPage->BlockList, *BlockListStates);
  RebuildTicks(*ImagesPage->SizeList, *SizeListStates);
  RewriteChecks(*RedirectPage->RedirList, *RedirListStates);
  RewriteChecks(*AclPage->ACLList, *ACLListStates);
}

void TMainForm::RestoreListStates() {
  RestoreTicks(*BlockListPage->BlockList, *BlockListStates);
  RestoreTicks(*ImagesPage->SizeList, *SizeListStates);
  RestoreStateChecks(*RedirectPage->RedirList, *RedirListStates);
  RestoreStateChecks(*AclPage->ACLList, *ACLListStates);
}

void TMainForm::StoreSettings() {
  // Every key and list changed in memory, then one write of the file.
  TIniFile staged = SettingsFile->Staged();
  StorePlacement(*this, staged, kSettingsSection);
  StoreProperties(*this, staged);
  SettingsFile->WriteAll(staged);
}

void TMainForm::RestoreSettings(const TIniFile& file) {
  RestorePlacement(*this, file, kSettingsSection);
  RestoreProperties(*this, file);
  PublishLimits(file);
}

void TMainForm::PublishLimits(const TIniFile& file) {
  TPrefsSettings settings = *PrefsObject->Settings();
  settings.Limits = ReadLimits(file);
  PrefsObject->Publish(std::move(settings));
}

std::string TMainForm::ReloadSettings() {
  const std::string path = SettingsFilePath();
  std::ifstream in(path, std::ios::binary);
  if (!in) return path + ": cannot be read";
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return path + ": cannot be read";
  const TIniFile file = TIniFile::InMemory(text);
  // Half a file from an editor that is still writing, or some other file put in its place, must
  // not empty every list of a running filter.
  if (text.find('\0') != std::string::npos || !file.SectionExists(kSettingsSection)) {
    return path + ": holds no Tarnwick settings";
  }
  // A list whose section is gone was emptied in the file; at start-up lists begin empty anyway.
  for (auto* holder : {BlockListStates, SizeListStates, RedirListStates, ACLListStates}) holder->Strings.clear();
  for (auto* list : {BlockListPage->BlockList, ImagesPage->SizeList, RedirectPage->RedirList, AclPage->ACLList}) {
    list->clear();
  }
  const bool logWasEnabled = PrefsObject->Settings()->LogEnabled;
  RestoreProperties(*this, file);
  RestoreListStates();
  PublishLimits(file);
  Apply();
  const bool logEnabled = PrefsObject->Settings()->LogEnabled;
  if (logEnabled && !logWasEnabled) OpenLog();
  if (!logEnabled && logWasEnabled) Log().Close();
  // A reloaded Hide Tray Icon tick takes effect as it does at start-up.
  UpdateTrayAndHotKey();
  return {};
}

}  // namespace tarnwick
