#include "prefs/BlockListMatcher.h"

#include "prefs/Settings.h"

namespace tarnwick {

namespace {

constexpr std::string_view kExceptionMark = "! ";

bool IsException(std::string_view entry) { return entry.starts_with(kExceptionMark); }

std::vector<std::string> CheckedPatterns(const std::vector<std::string>& items, const std::vector<bool>& checked) {
  std::vector<std::string> patterns;
  for (size_t i = 0; i < items.size(); ++i) {
    if (IsChecked(checked, i) && !items[i].empty()) patterns.push_back(items[i]);
  }
  return patterns;
}

std::vector<std::string> CheckedExceptions(const std::vector<std::string>& items, const std::vector<bool>& checked) {
  std::vector<std::string> texts;
  for (size_t i = 0; i < items.size(); ++i) {
    if (IsChecked(checked, i) && IsException(items[i]) && items[i].size() > kExceptionMark.size()) {
      texts.push_back(items[i].substr(kExceptionMark.size()));
    }
  }
  return texts;
}

}  // namespace

TBlockListMatcher::TBlockListMatcher(const std::vector<std::string>& items, const std::vector<bool>& checked)
    : TBlockListMatcher(CheckedPatterns(items, checked), CheckedExceptions(items, checked)) {}

TBlockListMatcher::TBlockListMatcher(std::vector<std::string> patterns, std::vector<std::string> exceptions)
    : PatternTotal(patterns.size()),
      ExceptionTotal(exceptions.size()),
      Patterns(std::move(patterns), TSubstringSet::TCase::IgnoreAscii),
      Exceptions(std::move(exceptions), TSubstringSet::TCase::Sensitive) {}

bool TBlockListMatcher::AnyPatternIn(std::string_view url) const { return Patterns.FoundIn(url); }

bool TBlockListMatcher::AnyExceptionIn(std::string_view url, std::string_view referer,
                                       std::string_view requestUrl) const {
  return Exceptions.FoundIn(url) || Exceptions.FoundIn(referer) || Exceptions.FoundIn(requestUrl);
}

}  // namespace tarnwick
