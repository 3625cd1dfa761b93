#pragma once
// TBlockListMatcher: the block list prepared for matching. Patterns are found without regard to
// ASCII case anywhere in a URL; exception entries ("! " + text) are found byte for byte. Built by
// every published settings snapshot from its own lists (Prefs.h), immutable after construction and
// searched by any number of connection threads at once.

#include <string>
#include <string_view>
#include <vector>

#include "text/SubstringSet.h"

namespace tarnwick {

class TBlockListMatcher {
 public:
  // Takes the checked entries of `items`; `checked` may be shorter than `items`.
  TBlockListMatcher(const std::vector<std::string>& items, const std::vector<bool>& checked);
  TBlockListMatcher(const TBlockListMatcher&) = delete;
  TBlockListMatcher& operator=(const TBlockListMatcher&) = delete;

  // Pattern pass: whether any checked entry occurs in `url`, ignoring ASCII case. Exception entries
  // take part like any other text (they hold "! " and so match little).
  bool AnyPatternIn(std::string_view url) const;
  // Exception pass: whether a checked exception's text occurs in one of the three texts, in the
  // order given, case-sensitively. An exception without text never applies.
  bool AnyExceptionIn(std::string_view url, std::string_view referer, std::string_view requestUrl) const;
  // The exception pass over one text.
  bool AnyExceptionIn(std::string_view text) const { return Exceptions.FoundIn(text); }

  // How many patterns and exception texts it was built from (empty ones left out).
  std::size_t PatternCount() const { return PatternTotal; }
  std::size_t ExceptionCount() const { return ExceptionTotal; }

 private:
  TBlockListMatcher(std::vector<std::string> patterns, std::vector<std::string> exceptions);

  std::size_t PatternTotal;
  std::size_t ExceptionTotal;
  TSubstringSet Patterns;    // every checked entry, exceptions included, ASCII case ignored
  TSubstringSet Exceptions;  // the texts after "! " of checked exceptions, byte for byte
};

}  // namespace tarnwick
