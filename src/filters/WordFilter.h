#pragma once
// Word analysis: while the redirection list holds checked word entries ("<word word ...>"), an HTML
// page is collected whole before anything of it is sent, searched for the entries' words, and then
// sent, or replaced by the answer of the first entry whose words all occur in it.
//
// Memory stays bounded: collection stops at kMaxCollectedPage, and all pages collected at once
// share one budget (the settings' Limits); the words are searched in what was collected, and the
// rest of the page is streamed after it.
//
// Runs on the request's connection thread; reads the request's settings.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tarnwick {

class TFilterProxyControl;
struct TPrefsSettings;

inline constexpr std::int32_t kMaxCollectedPage = 16 * 1024 * 1024;

// The index in RedirEntries of the first checked word entry whose words all occur in `page`, or none.
// With WordCase off, letters match in any case (ASCII). An empty word (two blanks in a row, a blank
// next to a bracket, "<>") is never found, so its entry never matches.
std::optional<std::size_t> FindWordEntry(const TPrefsSettings& settings, std::string_view page);

// The whole-page path of FilterHtml: collects, searches, and answers or sends the page.
void FilterWholePage(TFilterProxyControl& request);

}  // namespace tarnwick
