// Apply: the one road by which the window's settings reach the engine. It builds a whole new typed
// settings object from the controls and the list state holders (the redirection and access lists
// parsed into entries once, here), then publishes it at once; Publish prepares it. A connection
// never sees half of one Apply and half of another.

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>

#include <algorithm>
#include <climits>

#include "prefs/ListStates.h"
#include "prefs/Prefs.h"
#include "text/UrlText.h"
#include "ui/CheckList.h"
#include "ui/MainForm.h"
#include "ui/Pages.h"
#include "ui/RadioGroup.h"
#include "ui/StringHolder.h"

namespace tarnwick {

namespace {

std::string Std(const QString& text) { return text.toStdString(); }

std::int32_t Number(const QLineEdit* edit) { return IntOrZero(Std(edit->text())); }

// Line i is exactly "1"; one element per line of the holder.
std::vector<bool> ExactTicks(const TStringHolder& holder) {
  std::vector<bool> ticks;
  ticks.reserve(holder.Strings.size());
  for (const auto& line : holder.Strings) ticks.push_back(line == "1");
  return ticks;
}

// Whether a checked entry is written as a word in angle brackets.
bool HasCheckedWord(const std::vector<TRedirEntry>& entries) {
  return std::any_of(entries.begin(), entries.end(),
                     [](const TRedirEntry& entry) { return entry.Checked && IsWordEntry(entry); });
}

// Minutes to milliseconds, kept within the 32 bits the engine counts in.
std::int32_t ExpiryMs(int minutes) {
  const long long ms = static_cast<long long>(minutes) * 60 * 1000;
  return static_cast<std::int32_t>(std::clamp<long long>(ms, 0, INT32_MAX));
}

}  // namespace

void TMainForm::Apply() {
  // A copy, so that anything a later feature keeps in the settings survives; every field the window
  // edits is overwritten below. The prepared parts stay behind: Publish prepares the new lists.
  TPrefsSettings settings = *PrefsObject->Settings();

  const int filterType = BlockListPage->FilterType->ItemIndex();
  settings.RequestFilter = filterType == 1 || filterType == 3;
  settings.TagFilter = filterType == 2 || filterType == 3;
  settings.ProxyName = Std(ProxyPage->ProxyName->text());
  settings.ProxyPort = Number(ProxyPage->ProxyPort);

  // A port text that is not a number changes nothing: the server stays where it is.
  std::int32_t port = 0;
  if (ParseInt32(Std(ProxyPage->Port->text()), port)) settings.ListenPort = port;

  settings.Referer = RefererRuleOf(MiscPage->Referer->ItemIndex());
  settings.Popups = PopupRuleOf(MiscPage->Popups->ItemIndex());
  settings.DontFilterWhen = DontFilterWhenOf(BlockListPage->DontFilterWhen->ItemIndex());
  settings.Anims = AnimationRuleOf(ImagesPage->Anims->ItemIndex());
  settings.NumAnims = Number(ImagesPage->NumAnims);

  settings.AllowOthers = ProxyPage->AllowOthers->isChecked();
  settings.UseProxy = ProxyPage->UseProxy->isChecked();
  settings.FltForms = BlockListPage->flt_Forms->isChecked();
  settings.FltFrames = BlockListPage->flt_Frames->isChecked();
  settings.FltImages = BlockListPage->flt_Images->isChecked();
  settings.FltLayers = BlockListPage->flt_Layers->isChecked();
  settings.FltScripts = BlockListPage->flt_Scripts->isChecked();
  settings.FltText = BlockListPage->flt_Text->isChecked();
  settings.FltWindows = BlockListPage->flt_Windows->isChecked();
  settings.FilterByDim = ImagesPage->FilterByDim->isChecked();
  settings.IgnoreNoDims = ImagesPage->IgnoreNoDims->isChecked();
  settings.ReplaceTrans = ImagesPage->ReplaceTrans->isChecked();
  settings.DontUserAgent = m_Options_DontUserAgent->isChecked();
  settings.DontLogMyself = m_Log_DontLogMyself->isChecked();
  settings.EnableRedir = RedirectPage->EnableRedir->isChecked();
  settings.WordCase = m_Options_WordCase->isChecked();
  settings.PassThru = m_Options_Passthru->isChecked();
  settings.Offline = m_Options_Offline->isChecked();

  settings.BlockItems = BlockListPage->BlockList->Lines();
  settings.ImageSizes.clear();
  for (const auto& entry : ImagesPage->SizeList->Lines()) settings.ImageSizes.push_back(ParseImageSizeEntry(entry));

  settings.PassExpireMs = ExpiryMs(AclPage->PassExpire->value());
  settings.LogEnabled = m_Log_Enabled->isChecked();

  settings.BlockChecked = ExactTicks(*BlockListStates);
  settings.SizeChecked = ExactTicks(*SizeListStates);
  settings.RedirEntries = RedirEntriesOf(RedirectPage->RedirList->Lines(), RedirListStates->Strings);
  settings.HasWordEntries = settings.EnableRedir && HasCheckedWord(settings.RedirEntries);
  settings.AclEntries = AclEntriesOf(AclPage->ACLList->Lines(), ACLListStates->Strings);

  // Compared with what the server runs with rather than with the previous Apply, so that a second
  // Apply before the timer has served the first one does not cancel its restart.
  const bool restart = settings.ListenPort != EffectivePort || settings.AllowOthers != EffectiveAllowOthers;
  PrefsObject->Publish(std::move(settings));
  PrefsObject->RestartNeeded = restart;
}

}  // namespace tarnwick
