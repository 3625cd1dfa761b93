#pragma once
// TPrefsSettings: every setting Apply copies from the window, typed once. Radio-group choices are
// enum classes, and the redirection and access-control lists are entries parsed from their state
// lines with their credentials, so that no filter splits a state line or compares a number text.
// The stored forms (INI keys, "check|method|target|credential" lines) are untouched: Apply and the
// helpers in ListStates.h translate between them and these types.
//
// Plain values: build one on the user-interface thread and hand it to TCorvanePrefs::Publish,
// which prepares it and shares it, immutable, with the connection threads.

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

// Which Referer headers the proxy removes.
enum class TRefererRule : std::int32_t { Keep = 0, AlwaysRemove = 1, OtherDomain = 2, OtherDomainOrPath = 3 };
// Whether pages are wrapped in the scripts that stop windows opened by the page itself.
enum class TPopupRule : std::int32_t { Off = 0, FilterOpened = 1 };
// Which objects of a page the tag filter leaves alone; NoChoice (no radio button set) filters all.
enum class TDontFilterWhen : std::int32_t { NoChoice = -1, SameDomain = 0, SamePath = 1, AlwaysFilter = 2 };
// What happens to animated GIF pictures.
enum class TAnimationRule : std::int32_t { Leave = 0, FirstFrameOnly = 1, RepeatNumAnims = 2 };
// The action of a redirection entry (the second field of its state line).
enum class TRedirAction : std::int32_t { Pass = 0, Block = 1, Redirect = 2, Password = 3 };
// The method of an access-control entry (the second field of its state line).
enum class TAccessMethod : std::int32_t { Grant = 0, Deny = 1, Password = 2 };

// The rules for a radio group's ItemIndex (-1 when no button is set). An index the group does not
// have gives the rule that changes nothing: keep, off, filter all, leave.
TRefererRule RefererRuleOf(int itemIndex);
TPopupRule PopupRuleOf(int itemIndex);
TDontFilterWhen DontFilterWhenOf(int itemIndex);
TAnimationRule AnimationRuleOf(int itemIndex);

struct TImageSize {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  friend bool operator==(const TImageSize&, const TImageSize&) = default;
};

// One entry of the redirection list.
struct TRedirEntry {
  // A URL fragment (ASCII case ignored), "[" + server address text (byte for byte), or a word
  // entry "<word word ...>" for the word analysis of whole pages.
  std::string Pattern;
  bool Checked = false;  // unchecked entries never act
  TRedirAction Action = TRedirAction::Pass;
  std::string Target;      // where Redirect sends the browser
  std::string Credential;  // Password: Base64 of "user:password", exactly as stored
  friend bool operator==(const TRedirEntry&, const TRedirEntry&) = default;
};

// "<" ... ">": the entry's words are looked for in whole pages instead of the URL.
bool IsWordEntry(const TRedirEntry& entry);

// One entry of the access-control list.
struct TAclEntry {
  std::string Address;  // dotted IPv4 text, compared byte for byte with the client's
  bool Checked = false;
  TAccessMethod Method = TAccessMethod::Grant;
  std::string Credential;  // Password: Base64 of "user:password", exactly as stored
  friend bool operator==(const TAclEntry&, const TAclEntry&) = default;
};

// Bounds that keep slow or hostile peers from holding the proxy's threads, files and memory. Not in
// the window: they come from the INI section "Tarnwick.Limits" and travel in the snapshot.
struct TLimits {
  std::int32_t HeadTimeoutSec = 60;            // the whole request head must arrive within this
  std::int32_t IdleTimeoutSec = 300;           // no byte either way for this long closes a connection
  std::int32_t TunnelIdleSec = 600;            // the same for an open tunnel
  std::int32_t MaxConnections = 512;           // live connections; the next one is answered 503
  std::int64_t WordBudgetBytes = 256LL << 20;  // pages collected whole for word analysis, all at once
  friend bool operator==(const TLimits&, const TLimits&) = default;
};

// Every setting that Apply copies from the window, in the order of the preferences model.
// Element i of BlockChecked / SizeChecked describes entry i of its list; an array may be shorter
// than its list, and an entry without an element counts as unchecked.
struct TPrefsSettings {
  std::int32_t ListenPort = 0;
  bool AllowOthers = false;
  std::string ProxyName;
  std::int32_t ProxyPort = 0;
  bool UseProxy = false;
  bool RequestFilter = false;
  bool TagFilter = false;
  bool PassThru = false;
  bool Offline = false;
  TRefererRule Referer = TRefererRule::Keep;
  TPopupRule Popups = TPopupRule::Off;
  bool FltForms = false;
  bool FltFrames = false;
  bool FltImages = false;
  bool FltLayers = false;
  bool FltScripts = false;
  bool FltText = false;
  bool FltWindows = false;
  TDontFilterWhen DontFilterWhen = TDontFilterWhen::SameDomain;
  bool FilterByDim = false;
  bool IgnoreNoDims = false;
  bool ReplaceTrans = false;
  TAnimationRule Anims = TAnimationRule::Leave;
  std::int32_t NumAnims = 0;
  bool DontUserAgent = false;
  bool DontLogMyself = false;
  // Redirection is on and a checked redirection entry is a word entry: pages are collected whole.
  bool HasWordEntries = false;
  bool EnableRedir = false;
  bool WordCase = false;
  std::vector<std::string> BlockItems;
  std::vector<bool> BlockChecked;
  std::vector<TImageSize> ImageSizes;
  std::vector<bool> SizeChecked;
  std::vector<TRedirEntry> RedirEntries;  // in display order
  std::vector<TAclEntry> AclEntries;      // in display order
  std::int32_t PassExpireMs = 0;          // 0: an access-password login never expires
  bool LogEnabled = false;
  TLimits Limits;  // kept by Apply as it was read from the settings file
};

// Whether element `index` of a check-mark array is set; missing elements count as unchecked.
inline bool IsChecked(const std::vector<bool>& checked, size_t index) {
  return index < checked.size() && checked[index];
}

}  // namespace tarnwick
