#include "filters/BlockList.h"

#include "engine/FilterProxyControl.h"
#include "filters/UrlText.h"
#include "prefs/Prefs.h"

namespace tarnwick {

namespace {

constexpr std::string_view kExceptionMark = "! ";

bool IsException(std::string_view entry) { return entry.starts_with(kExceptionMark); }

std::vector<std::string> CheckedPatterns(const std::vector<std::string>& items, const std::vector<bool>& checked) {
  std::vector<std::string> patterns;
  for (size_t i = 0; i < items.size(); ++i) {
    if (IsChecked(checked, i)) patterns.push_back(items[i]);
  }
  return patterns;
}

std::vector<std::string> CheckedExceptions(const std::vector<std::string>& items,
                                           const std::vector<bool>& checked) {
  std::vector<std::string> texts;
  for (size_t i = 0; i < items.size(); ++i) {
    if (IsChecked(checked, i) && IsException(items[i])) texts.push_back(items[i].substr(kExceptionMark.size()));
  }
  return texts;
}

// The per-entry rule itself, for settings that were never prepared.
bool PlainPatternIn(const TPrefsSettings& settings, std::string_view url) {
  for (size_t i = 0; i < settings.BlockItems.size(); ++i) {
    if (IsChecked(settings.BlockChecked, i) && ContainsText(settings.BlockItems[i], url, false) != 0) return true;
  }
  return false;
}

bool PlainExceptionIn(const TPrefsSettings& settings, std::string_view url, std::string_view referer,
                      std::string_view requestUrl) {
  for (size_t i = 0; i < settings.BlockItems.size(); ++i) {
    const std::string& entry = settings.BlockItems[i];
    if (!IsChecked(settings.BlockChecked, i) || !IsException(entry)) continue;
    const std::string_view text = std::string_view(entry).substr(kExceptionMark.size());
    if (ContainsText(text, url, true) != 0 || ContainsText(text, referer, true) != 0 ||
        ContainsText(text, requestUrl, true) != 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

TBlockListMatcher::TBlockListMatcher(const std::vector<std::string>& items, const std::vector<bool>& checked)
    : Patterns(CheckedPatterns(items, checked), TSubstringSet::TCase::IgnoreAscii),
      Exceptions(CheckedExceptions(items, checked), TSubstringSet::TCase::Sensitive) {}

bool TBlockListMatcher::AnyPatternIn(std::string_view url) const { return Patterns.FoundIn(url); }

bool TBlockListMatcher::AnyExceptionIn(std::string_view url, std::string_view referer,
                                       std::string_view requestUrl) const {
  return Exceptions.FoundIn(url) || Exceptions.FoundIn(referer) || Exceptions.FoundIn(requestUrl);
}

const TBlockListMatcher* PreparedFor(const TPrefsSettings& settings) {
  return settings.PreparedBlockList.get();
}

std::shared_ptr<const TBlockListMatcher> PrepareBlockList(const TPrefsSettings& settings) {
  return std::make_shared<const TBlockListMatcher>(settings.BlockItems, settings.BlockChecked);
}

bool MatchBlockList(TFilterProxyControl& request, std::string_view url) {
  const TPrefsSettings& settings = *request.Settings;
  bool blocked = false;
  bool excepted = false;
  // Both passes always run: an exception marks the connection even when no pattern matched.
  if (const TBlockListMatcher* matcher = PreparedFor(settings)) {
    blocked = matcher->AnyPatternIn(url);
    excepted = matcher->AnyExceptionIn(url, request.RequestReferer, request.Url);
  } else {
    blocked = PlainPatternIn(settings, url);
    excepted = PlainExceptionIn(settings, url, request.RequestReferer, request.Url);
  }
  if (excepted) {
    request.ExceptionHit = true;
    return false;
  }
  return blocked;
}

bool BlockCheck(TFilterProxyControl& request) {
  request.ExceptionHit = false;
  return MatchBlockList(request, request.Url);
}

}  // namespace tarnwick
