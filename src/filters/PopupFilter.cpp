#include "filters/PopupFilter.h"

#include <algorithm>

#include "text/UrlText.h"

namespace tarnwick {

namespace {

constexpr std::string_view kCall = "window.open";
constexpr std::string_view kDummy = "KVXOpen";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kCommentOpen = "<!--";
constexpr std::string_view kCommentClose = "-->";
constexpr std::string_view kDoctype = "<!doctype";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// `text` begins with `word` (ASCII case ignored), or with a part of it when `text` ends first.
enum class TPrefix { No, Partly, Whole };
TPrefix PrefixOf(std::string_view text, std::string_view word) {
  const std::size_t n = std::min(text.size(), word.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (LowerAscii(text[i]) != word[i]) return TPrefix::No;
  }
  return n == word.size() ? TPrefix::Whole : TPrefix::Partly;
}

}  // namespace

std::optional<std::size_t> OpeningScriptPlace(std::string_view start, bool complete) {
  const std::optional<std::size_t> undecided = complete ? std::optional<std::size_t>(0) : std::nullopt;
  std::size_t at = 0;
  switch (PrefixOf(start, kByteOrderMark)) {
    case TPrefix::Whole:
      at = kByteOrderMark.size();
      break;
    case TPrefix::Partly:
      return undecided;
    case TPrefix::No:
      break;
  }
  for (;;) {
    while (at < start.size() && IsBlank(start[at])) ++at;
    const std::string_view rest = start.substr(at);
    if (rest.empty()) return undecided;
    const TPrefix comment = PrefixOf(rest, kCommentOpen);
    const TPrefix doctype = PrefixOf(rest, kDoctype);
    if (comment == TPrefix::Partly || doctype == TPrefix::Partly) return undecided;
    if (comment == TPrefix::Whole) {
      const std::size_t close = rest.find(kCommentClose, kCommentOpen.size());
      if (close == std::string_view::npos) return undecided;
      at += close + kCommentClose.size();
      continue;
    }
    if (doctype == TPrefix::Whole) {
      const std::size_t end = rest.find('>');
      if (end == std::string_view::npos) return undecided;
      return at + end + 1;
    }
    return 0;
  }
}

void ReplaceWindowOpen(std::string& tag) {
  size_t at = tag.find(kCall);
  while (at != std::string::npos) {
    tag.replace(at, kCall.size(), kDummy);
    at = tag.find(kCall, at + kDummy.size());
  }
}

}  // namespace tarnwick
