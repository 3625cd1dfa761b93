// Apply: the one road by which the window's settings reach the engine. It builds a whole new
// settings snapshot from the controls and the list state holders, then publishes it at once, so a
// connection never sees half of one Apply and half of another.

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>

#include <algorithm>
#include <climits>

#include "filters/Filters.h"
#include "filters/UrlText.h"
#include "prefs/ListStates.h"
#include "prefs/Prefs.h"
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

// Line i begins with "1"; one element per line of the holder.
std::vector<bool> LeadingTicks(const TStringHolder& holder) {
  std::vector<bool> ticks;
  ticks.reserve(holder.Strings.size());
  for (const auto& line : holder.Strings) ticks.push_back(StateLineChecked(line));
  return ticks;
}

// The first checked entry written as a word in angle brackets.
bool HasCheckedWord(const std::vector<std::string>& items, const std::vector<bool>& checked) {
  for (size_t i = 0; i < items.size(); ++i) {
    const auto& item = items[i];
    if (!item.empty() && item.front() == '<' && item.back() == '>' && IsChecked(checked, i)) return true;
  }
  return false;
}

// Minutes to milliseconds, kept within the 32 bits the engine counts in.
std::int32_t ExpiryMs(int minutes) {
  const long long ms = static_cast<long long>(minutes) * 60 * 1000;
  return static_cast<std::int32_t>(std::clamp<long long>(ms, 0, INT32_MAX));
}

}  // namespace

void TMainForm::Apply() {
  const auto current = PrefsObject->Settings();
  // A copy, so that anything a later feature keeps in the settings survives; every field the window
  // edits is overwritten below.
  TPrefsSettings settings = *current;
  settings.PreparedBlockList.reset();

  const int filterType = BlockListPage->FilterType->ItemIndex();
  settings.RequestFilter = filterType == 1 || filterType == 3;
  settings.TagFilter = filterType == 2 || filterType == 3;
  settings.ProxyName = Std(ProxyPage->ProxyName->text());
  settings.ProxyPort = Number(ProxyPage->ProxyPort);

  // A port text that is not a number changes nothing: the server stays where it is.
  std::int64_t port = 0;
  if (TryParseInteger(Std(ProxyPage->Port->text()), port) && port >= INT32_MIN && port <= INT32_MAX) {
    settings.ListenPort = static_cast<std::int32_t>(port);
  }

  settings.Referer = MiscPage->Referer->ItemIndex();
  settings.Popups = MiscPage->Popups->ItemIndex();
  settings.DontFilterWhen = BlockListPage->DontFilterWhen->ItemIndex();
  settings.Anims = ImagesPage->Anims->ItemIndex();
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
  settings.RedirItems = RedirectPage->RedirList->Lines();
  settings.AclItems = AclPage->ACLList->Lines();
  settings.ImageSizes.clear();
  for (const auto& entry : ImagesPage->SizeList->Lines()) settings.ImageSizes.push_back(ParseImageSizeEntry(entry));

  settings.PassExpireMs = ExpiryMs(AclPage->PassExpire->value());
  settings.LogEnabled = m_Log_Enabled->isChecked();

  settings.BlockChecked = ExactTicks(*BlockListStates);
  settings.SizeChecked = ExactTicks(*SizeListStates);
  settings.RedirStates = RedirListStates->Strings;
  settings.RedirChecked = LeadingTicks(*RedirListStates);
  settings.HasWordEntries = settings.EnableRedir && HasCheckedWord(settings.RedirItems, settings.RedirChecked);
  settings.AclStates = ACLListStates->Strings;
  settings.AclChecked = LeadingTicks(*ACLListStates);

  // Compared with what the server runs with rather than with the previous Apply, so that a second
  // Apply before the timer has served the first one does not cancel its restart.
  const bool restart = settings.ListenPort != EffectivePort || settings.AllowOthers != EffectiveAllowOthers;
  PrepareFilters(settings);
  PrefsObject->Publish(std::move(settings));
  PrefsObject->RestartNeeded = restart;
}

}  // namespace tarnwick
