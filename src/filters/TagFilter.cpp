#include "filters/TagFilter.h"

#include <array>
#include <atomic>
#include <limits>

#include "engine/FilterProxyControl.h"
#include "filters/BlockList.h"
#include "filters/ImageFilter.h"
#include "filters/UrlText.h"

namespace tarnwick {

namespace {

enum class TTagAction { Remove, DropElement, BlankFrame };

struct TTagKind {
  std::string_view Name;
  bool TPrefsSettings::*Enabled;
  TTagAction Action;
  std::string_view EndTag;  // for DropElement
  std::atomic<std::int32_t> TCorvanePrefs::*Counter;
};

const std::array<TTagKind, 7> kTagKinds = {{
    {"IMG", &TPrefsSettings::FltImages, TTagAction::Remove, "", &TCorvanePrefs::FltImagesCnt},
    {"FORM", &TPrefsSettings::FltForms, TTagAction::DropElement, "/FORM", &TCorvanePrefs::FltFormsCnt},
    {"FRAME", &TPrefsSettings::FltFrames, TTagAction::BlankFrame, "", &TCorvanePrefs::FltFramesCnt},
    {"LAYER", &TPrefsSettings::FltLayers, TTagAction::DropElement, "/LAYER", &TCorvanePrefs::FltLayersCnt},
    {"SCRIPT", &TPrefsSettings::FltScripts, TTagAction::DropElement, "/SCRIPT", &TCorvanePrefs::FltScriptsCnt},
    {"A", &TPrefsSettings::FltText, TTagAction::DropElement, "/A", &TCorvanePrefs::FltTextCnt},
    {"IFRAME", &TPrefsSettings::FltWindows, TTagAction::Remove, "", &TCorvanePrefs::FltWindowsCnt},
}};

const TTagKind* KindOf(std::string_view tagName) {
  for (const TTagKind& kind : kTagKinds) {
    if (kind.Name == tagName) return &kind;
  }
  return nullptr;
}

void Count(TFilterProxyControl& request, const TTagKind& kind) {
  ((*request.Prefs).*kind.Counter).fetch_add(1, std::memory_order_relaxed);
}

enum TByteClass : std::uint8_t { kWordByte, kEndsWord, kQuote };

constexpr std::array<TByteClass, 256> kByteClasses = [] {
  std::array<TByteClass, 256> classes{};
  for (const char c : {'\t', '\n', '\r', ' ', '<', '>'}) classes[static_cast<std::uint8_t>(c)] = kEndsWord;
  for (const char c : {'"', '\''}) classes[static_cast<std::uint8_t>(c)] = kQuote;
  return classes;
}();

TByteClass ClassOf(char c) { return kByteClasses[static_cast<std::uint8_t>(c)]; }
bool EndsWord(char c) { return ClassOf(c) == kEndsWord; }
bool IsQuote(char c) { return ClassOf(c) == kQuote; }

// The words of a tag, with quotes taken out. Words are built in place in `words`, so
// that the strings of earlier tags lend their room.
void SplitWords(std::string_view tag, std::vector<std::string>& words) {
  size_t count = 0;
  bool inWord = false;
  char lastAdded = '\0';
  const auto endWord = [&] {
    if (inWord) ++count;
    inWord = false;
  };
  for (size_t i = 0; i < tag.size();) {
    const char c = tag[i];
    if (EndsWord(c)) {
      endWord();
      ++i;
    } else if (IsQuote(c)) {
      // A quoted value directly after "=" stays with its name.
      if (lastAdded != '=') endWord();
      ++i;
    } else {
      size_t end = i + 1;
      while (end < tag.size() && ClassOf(tag[end]) == kWordByte) ++end;
      if (!inWord) {
        if (count == words.size()) words.emplace_back();
        words[count].clear();
        inWord = true;
      }
      words[count].append(tag.substr(i, end - i));
      lastAdded = tag[end - 1];
      i = end;
    }
  }
  endWord();
  words.resize(count);
}

// NAME = value becomes NAME=value.
void JoinAroundEquals(std::vector<std::string>& words) {
  for (size_t i = 1; i + 1 < words.size();) {
    if (words[i] != "=") {
      ++i;
      continue;
    }
    words[i - 1].append("=").append(words[i + 1]);
    words.erase(words.begin() + static_cast<std::ptrdiff_t>(i), words.begin() + static_cast<std::ptrdiff_t>(i + 2));
  }
}

// The values of the first word of each name that matters (the name is the text before the word's
// first "=", compared without regard to case); null where no word has that name.
struct TNamedValues {
  const std::string* Href = nullptr;
  const std::string* Src = nullptr;
  const std::string* Width = nullptr;
  const std::string* Height = nullptr;
  std::string_view Value(const std::string* word) const {
    const size_t equals = word->find('=');
    return equals == std::string::npos ? std::string_view() : std::string_view(*word).substr(equals + 1);
  }
};

TNamedValues FindNamedValues(const std::vector<std::string>& words) {
  TNamedValues found;
  for (const std::string& word : words) {
    const std::string_view name = std::string_view(word).substr(0, word.find('='));
    const std::string** slot = nullptr;
    if (name.size() == 4 && SameTextIgnoringCase(name, "HREF")) slot = &found.Href;
    if (name.size() == 3 && SameTextIgnoringCase(name, "SRC")) slot = &found.Src;
    if (name.size() == 5 && SameTextIgnoringCase(name, "WIDTH")) slot = &found.Width;
    if (name.size() == 6 && SameTextIgnoringCase(name, "HEIGHT")) slot = &found.Height;
    if (slot != nullptr && *slot == nullptr) *slot = &word;
  }
  return found;
}

// Bytes that equal `lower` in any ASCII case (`lower` a lower-case letter).
inline bool IsLetter(char c, char lower) { return (c | 0x20) == lower; }

bool MayHaveObject(std::string_view tag) {
  const size_t n = tag.size();
  for (size_t i = 0; i + 2 < n; ++i) {
    if (IsLetter(tag[i], 'h')) {
      if (i + 3 < n && IsLetter(tag[i + 1], 'r') && IsLetter(tag[i + 2], 'e') && IsLetter(tag[i + 3], 'f')) return true;
    } else if (IsLetter(tag[i], 's') && IsLetter(tag[i + 1], 'r') && IsLetter(tag[i + 2], 'c')) {
      return true;
    }
  }
  return false;
}

bool WholeNumber(std::string_view text, std::int32_t& value) {
  std::int64_t wide = 0;
  if (!TryParseInteger(text, wide)) return false;
  if (wide < std::numeric_limits<std::int32_t>::min() || wide > std::numeric_limits<std::int32_t>::max()) return false;
  value = static_cast<std::int32_t>(wide);
  return true;
}

// Whether the user exempts objects beside the page from filtering.
bool Exempt(const TFilterProxyControl& request, std::string_view objectUrl) {
  const std::int32_t rule = request.Settings->DontFilterWhen;
  if (rule != 0 && rule != 1) return false;
  const TUrlParts object = SplitUrl(objectUrl);
  if (object.Host == request.Host) return true;
  return rule == 1 && DirectoryOf(object.Path) == DirectoryOf(request.Path);
}

void Act(TFilterProxyControl& request, const TTagKind& kind, std::string& tag) {
  Count(request, kind);
  switch (kind.Action) {
    case TTagAction::Remove:
      tag.clear();
      break;
    case TTagAction::DropElement:
      request.HtmlScan.AwaitedEndTag = kind.EndTag;
      request.HtmlScan.OutputOn = false;
      tag.clear();
      break;
    case TTagAction::BlankFrame:
      tag = kBlankFrameTag;
      break;
  }
}

}  // namespace

void ParseTag(std::string_view tag, TParsedTag& parsed) {
  SplitWords(tag, parsed.TagAttrs);
  JoinAroundEquals(parsed.TagAttrs);
  const auto& words = parsed.TagAttrs;
  parsed.TagName.clear();
  if (!words.empty()) {
    for (const char c : words.front()) parsed.TagName.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
  }

  const TNamedValues named = FindNamedValues(words);
  std::string_view url = named.Href != nullptr ? named.Value(named.Href) : std::string_view();
  if (url.empty() && named.Src != nullptr) url = named.Value(named.Src);
  parsed.ObjectUrl.assign(url);

  parsed.TagWidth = 0;
  parsed.TagHeight = 0;
  if (named.Width != nullptr && !WholeNumber(named.Value(named.Width), parsed.TagWidth)) return;
  if (named.Height != nullptr) WholeNumber(named.Value(named.Height), parsed.TagHeight);
}

bool FilterTagKeeps(const THtmlScanState& scan, std::string_view tag) {
  return scan.AwaitedEndTag.empty() && !MayHaveObject(tag);
}

void FilterTag(TFilterProxyControl& request, std::string& tag) {
  if (tag == "<>") return;
  THtmlScanState& scan = request.HtmlScan;
  // Most tags point at nothing; outside a dropped element they are left as they are.
  if (FilterTagKeeps(scan, tag)) return;
  TParsedTag& parsed = request.Tag;
  ParseTag(tag, parsed);

  if (!scan.AwaitedEndTag.empty()) {
    if (parsed.TagName == scan.AwaitedEndTag) {
      scan.AwaitedEndTag.clear();
      scan.OutputOn = true;
    } else if (const TTagKind* kind = KindOf(parsed.TagName)) {
      Count(request, *kind);  // each object inside a removed element counts
    }
    tag.clear();
    return;
  }

  if (parsed.ObjectUrl.empty() || Exempt(request, parsed.ObjectUrl)) return;
  const bool hit = MatchBlockList(request, parsed.ObjectUrl);

  const TPrefsSettings& settings = *request.Settings;
  if (settings.FilterByDim && parsed.TagWidth > 0 && parsed.TagHeight > 0 && !request.ExceptionHit &&
      MatchImageSize(settings, parsed.TagWidth, parsed.TagHeight)) {
    tag.clear();
    request.Prefs->FltImagesCnt.fetch_add(1, std::memory_order_relaxed);
    return;
  }

  if (!hit) return;
  const TTagKind* kind = KindOf(parsed.TagName);
  if (kind != nullptr && settings.*kind->Enabled) Act(request, *kind, tag);
}

}  // namespace tarnwick
