#include "filters/TagFilter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/FilterProxyControl.h"
#include "filters/BlockList.h"
#include "filters/ImageFilter.h"
#include "text/UrlText.h"

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
  (request.Shared().*kind.Counter).fetch_add(1, std::memory_order_relaxed);
}

// Bytes that end a word (blanks, line breaks, "<" and ">") and quotes: together the separators.
constexpr std::array<char, 8> kSeparators = {'\t', '\n', '\r', ' ', '<', '>', '"', '\''};

bool IsQuote(char c) { return c == '"' || c == '\''; }

// Bytes that may follow a text handed to ForEachSeparator: enough for one more lane.
constexpr size_t kSeparatorPadding = 16;

// Calls `visit` with the position of each separator in `text`, in order. Sixteen bytes at a time
// where the processor has SSE2: `text` must be followed in memory by kSeparatorPadding bytes that
// are no separators, so the last lane needs no copy. `visit` may change bytes before the position
// it is given.
template <typename TVisit>
void ForEachSeparator(std::string_view text, TVisit&& visit) {
  size_t base = 0;
#if defined(__SSE2__)
  const auto lane = [](const char* bytes) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const auto is = [v](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
    static_assert(kSeparators.size() == 8);
    const __m128i ends = _mm_or_si128(_mm_or_si128(is('\t'), is('\n')), _mm_or_si128(is('\r'), is(' ')));
    const __m128i rest = _mm_or_si128(_mm_or_si128(is('<'), is('>')), _mm_or_si128(is('"'), is('\'')));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_or_si128(ends, rest)));
  };
  for (; base < text.size(); base += 16) {
    for (std::uint32_t bits = lane(text.data() + base); bits != 0; bits &= bits - 1) {
      visit(base + static_cast<size_t>(__builtin_ctz(bits)));
    }
  }
#else
  for (; base < text.size(); ++base) {
    if (std::find(kSeparators.begin(), kSeparators.end(), text[base]) != kSeparators.end()) visit(base);
  }
#endif
}

// The words of a tag, with quotes taken out, as views into parsed.WordText. The word text is the
// tag copied once; a word made of several runs (a quoted value after "=") is made contiguous by
// moving its first runs up against the next one, over the separators dropped between them, which
// no word uses. Earlier words stand below and are never touched.
void SplitWords(std::string_view tag, TParsedTag& parsed) {
  std::string& text = parsed.WordText;
  std::vector<std::string_view>& words = parsed.TagAttrs;
  text.assign(tag);
  text.append(kSeparatorPadding, '\0');
  char* const bytes = text.data();
  words.clear();
  constexpr size_t kNoWord = std::string::npos;
  size_t wordStart = kNoWord;
  size_t wordEnd = 0;
  char lastAdded = '\0';
  const auto endWord = [&] {
    if (wordStart != kNoWord) words.emplace_back(bytes + wordStart, wordEnd - wordStart);
    wordStart = kNoWord;
  };
  const auto addRun = [&](size_t from, size_t to) {
    if (from == to) return;
    if (wordStart == kNoWord) {
      wordStart = from;
    } else if (wordEnd != from) {
      const size_t length = wordEnd - wordStart;
      std::memmove(bytes + from - length, bytes + wordStart, length);
      wordStart = from - length;
    }
    wordEnd = to;
    lastAdded = tag[to - 1];
  };
  size_t run = 0;
  ForEachSeparator(std::string_view(bytes, tag.size()), [&](size_t at) {
    addRun(run, at);
    run = at + 1;
    // A quoted value directly after "=" stays with its name.
    if (!IsQuote(tag[at]) || lastAdded != '=') endWord();
  });
  addRun(run, tag.size());
  endWord();
}

// NAME = value becomes NAME=value. The three words stand in this order in the word text with only
// separators between them, so NAME and "=" move up against the value and the joined word is the
// stretch they then cover.
void JoinAroundEquals(std::vector<std::string_view>& words, char* text) {
  for (size_t i = 1; i + 1 < words.size();) {
    if (words[i] != "=") {
      ++i;
      continue;
    }
    const std::string_view name = words[i - 1];
    const std::string_view value = words[i + 1];
    char* const valueStart = text + (value.data() - text);
    char* const nameStart = valueStart - 1 - name.size();
    std::memmove(nameStart, name.data(), name.size());
    valueStart[-1] = '=';
    words[i - 1] = std::string_view(nameStart, name.size() + 1 + value.size());
    words.erase(words.begin() + static_cast<std::ptrdiff_t>(i), words.begin() + static_cast<std::ptrdiff_t>(i + 2));
  }
}

// The values of the first word of each name that matters (the name is the text before the word's
// first "=", compared without regard to case; a word without "=" has an empty value). A value
// without data is a name that does not occur.
struct TNamedValues {
  std::string_view Href;
  std::string_view Src;
  std::string_view Width;
  std::string_view Height;
};

bool Present(std::string_view value) { return value.data() != nullptr; }

// Whether `word` starts with `lowerName` (letters only) in any ASCII case.
inline bool StartsWithName(std::string_view word, std::string_view lowerName) {
  if (word.size() < lowerName.size()) return false;
  for (size_t i = 0; i < lowerName.size(); ++i) {
    if ((word[i] | 0x20) != lowerName[i]) return false;  // exact for letters: only A-Z map to a-z
  }
  return true;
}

// Fills `slot` from `word` when the slot is still empty and the word has that name.
inline void TakeIfNamed(std::string_view& slot, std::string_view word, std::string_view lowerName) {
  if (Present(slot) || !StartsWithName(word, lowerName)) return;
  if (word.size() == lowerName.size() || word[lowerName.size()] == '=') {
    slot = word.substr(std::min(word.size(), lowerName.size() + 1));  // never without data
  }
}

TNamedValues FindNamedValues(const std::vector<std::string_view>& words) {
  TNamedValues found;
  for (const std::string_view word : words) {
    switch (word[0] | 0x20) {  // words are never empty
      case 'h':
        TakeIfNamed(found.Href, word, "href");
        TakeIfNamed(found.Height, word, "height");
        break;
      case 's':
        TakeIfNamed(found.Src, word, "src");
        break;
      case 'w':
        TakeIfNamed(found.Width, word, "width");
        break;
      default:
        break;
    }
  }
  return found;
}

// The directory part of a path: up to its last "/" (empty without one).
std::string_view DirectoryPart(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

// Whether the user exempts objects beside the page from filtering.
bool Exempt(const TFilterProxyControl& request, std::string_view objectUrl) {
  const TDontFilterWhen rule = request.Settings().DontFilterWhen;
  if (rule != TDontFilterWhen::SameDomain && rule != TDontFilterWhen::SamePath) return false;
  const TRequestHead& page = request.Request();
  // An address that does not hold the page's host anywhere cannot be on it: most objects of a
  // page from elsewhere are settled without taking their address apart.
  if (rule == TDontFilterWhen::SameDomain && !page.Host.empty() &&
      objectUrl.find(page.Host) == std::string_view::npos) {
    return false;
  }
  const TUrlParts object = SplitUrl(objectUrl);
  if (object.Host == page.Host) return true;
  return rule == TDontFilterWhen::SamePath && DirectoryPart(object.Path) == DirectoryPart(page.Path);
}

void Act(TFilterProxyControl& request, const TTagKind& kind, std::string& tag, THtmlScanState& scan) {
  Count(request, kind);
  switch (kind.Action) {
    case TTagAction::Remove:
      tag.clear();
      break;
    case TTagAction::DropElement:
      scan.AwaitedEndTag = kind.EndTag;
      scan.OutputOn = false;
      tag.clear();
      break;
    case TTagAction::BlankFrame:
      tag = kBlankFrameTag;
      break;
  }
}

}  // namespace

void ParseTag(std::string_view tag, TParsedTag& parsed) {
  SplitWords(tag, parsed);
  JoinAroundEquals(parsed.TagAttrs, parsed.WordText.data());
  const auto& words = parsed.TagAttrs;
  parsed.TagName.clear();
  if (!words.empty()) {
    parsed.TagName.assign(words.front());
    for (char& c : parsed.TagName) c = UpperAscii(c);
  }

  const TNamedValues named = FindNamedValues(words);
  parsed.ObjectUrl = named.Href.empty() ? named.Src : named.Href;

  parsed.TagWidth = 0;
  parsed.TagHeight = 0;
  if (Present(named.Width) && !ParseInt32(named.Width, parsed.TagWidth)) return;
  if (Present(named.Height)) ParseInt32(named.Height, parsed.TagHeight);
}

TPageContext::TPageContext(const TFilterProxyControl& request)
    : RequestTextsExcepted(tarnwick::RequestTextsExcepted(request)) {}

void FilterTag(TFilterProxyControl& request, const TPageContext& page, std::string& tag, THtmlScanState& scan,
               TParsedTag& parsed) {
  if (tag == "<>") return;
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
  const bool hit = MatchBlockList(request, parsed.ObjectUrl, page.RequestTextsExcepted);

  const TPrefsSettings& settings = request.Settings();
  if (settings.FilterByDim && parsed.TagWidth > 0 && parsed.TagHeight > 0 && !request.ExceptionHit() &&
      MatchImageSize(settings, parsed.TagWidth, parsed.TagHeight)) {
    tag.clear();
    request.Shared().FltImagesCnt.fetch_add(1, std::memory_order_relaxed);
    return;
  }

  if (!hit) return;
  const TTagKind* kind = KindOf(parsed.TagName);
  if (kind != nullptr && settings.*kind->Enabled) Act(request, *kind, tag, scan);
}

}  // namespace tarnwick
