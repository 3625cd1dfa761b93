#include "prefs/BlockListImport.h"

#include <algorithm>
#include <unordered_set>

#include "platform/IniFile.h"
#include "prefs/StoredProperties.h"
#include "text/UrlText.h"

namespace tarnwick {

namespace {

enum class TLineKind { Ignored, Entry, Skipped };

struct TLineResult {
  TLineKind Kind = TLineKind::Ignored;
  std::vector<std::string> Entries;
};

bool IsHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '.' || c == '-' || c == '_';
}

// A name a block-list entry can stand for: letters, digits, "-", "_" and dots, with at least one
// dot inside it. Names without a dot (localhost, broadcasthost, ip6-loopback) name this machine or
// its network in hosts files, never an advertiser.
bool IsBlockableHost(std::string_view host) {
  if (host.empty() || host.size() > 253) return false;
  if (!std::all_of(host.begin(), host.end(), IsHostCharacter)) return false;
  if (host.front() == '.' || host.back() == '.' || host.front() == '-') return false;
  if (host.find('.') == std::string_view::npos) return false;
  const std::string lower = LowerAscii(host);
  return lower != "localhost.localdomain" && lower != "0.0.0.0" && lower != "127.0.0.1";
}

// The addresses a hosts file sends unwanted names to. A line with any other address maps a name
// somewhere real and is not a block.
bool IsSinkAddress(std::string_view address) {
  return address == "0.0.0.0" || address == "0" || address == "127.0.0.1" || address == "::" || address == "::1" ||
         address == "0:0:0:0:0:0:0:0" || address == "0:0:0:0:0:0:0:1";
}

bool LooksLikeAddress(std::string_view token) {
  if (token.find(':') != std::string_view::npos) return true;
  return !token.empty() && std::all_of(token.begin(), token.end(), [](char c) { return IsDigit(c) || c == '.'; });
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// "||host^" (and "@@||host^" with `prefix` "! "): only the plain domain form, which says "this
// host and everything below it"; paths, wildcards and options mean more than a list entry can.
TLineResult ParseDomainRule(std::string_view rule, std::string_view prefix) {
  if (rule.size() < 2 || rule.back() != '^') return {TLineKind::Skipped, {}};
  const std::string_view host = rule.substr(0, rule.size() - 1);
  if (!IsBlockableHost(host)) return {TLineKind::Skipped, {}};
  return {TLineKind::Entry, {std::string(prefix) + LowerAscii(host)}};
}

TLineResult ParseHostsLine(const std::vector<std::string_view>& words) {
  if (!IsSinkAddress(words.front())) return {TLineKind::Skipped, {}};
  TLineResult result;
  for (size_t i = 1; i < words.size(); ++i) {
    if (IsBlockableHost(words[i])) result.Entries.push_back(LowerAscii(words[i]));
  }
  // "127.0.0.1 localhost" and its kin name this machine: nothing to import, nothing lost.
  result.Kind = result.Entries.empty() ? TLineKind::Ignored : TLineKind::Entry;
  return result;
}

TLineResult ParseLine(std::string_view line) {
  line = TrimBlanks(line);
  if (!line.empty() && line.back() == '\r') line = TrimBlanks(line.substr(0, line.size() - 1));
  // "##.banner" and "##[id]" hide page elements: a rule kind of its own, not a comment.
  if (line.size() > 2 && line.rfind("##", 0) == 0 && std::string_view(".[*:").find(line[2]) != std::string_view::npos) {
    return {TLineKind::Skipped, {}};
  }
  if (line.empty() || line.front() == '#' || line.front() == '!' || line.front() == '[') return {};
  if (line.rfind("@@||", 0) == 0) return ParseDomainRule(line.substr(4), "! ");
  if (line.rfind("||", 0) == 0) return ParseDomainRule(line.substr(2), "");
  // A comment may follow the names of a hosts or domain line, after a blank; a "#" inside a word
  // belongs to a rule ("example.com##.ad") that is no name.
  if (const size_t hash = line.find(" #"); hash != std::string_view::npos) line = line.substr(0, hash);
  if (const size_t hash = line.find("\t#"); hash != std::string_view::npos) line = line.substr(0, hash);
  const auto words = Words(line);
  if (words.empty()) return {};
  if (words.size() > 1 || LooksLikeAddress(words.front())) {
    return words.size() > 1 && LooksLikeAddress(words.front()) ? ParseHostsLine(words)
                                                               : TLineResult{TLineKind::Skipped, {}};
  }
  if (!IsBlockableHost(words.front())) return {TLineKind::Skipped, {}};
  return {TLineKind::Entry, {LowerAscii(words.front())}};
}

// The settings window's list order: ASCII letter case aside, byte by byte.
bool ComesBefore(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(LowerAscii(a[i]));
    const auto y = static_cast<unsigned char>(LowerAscii(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

bool WriteFreshInstallation(TIniFile& settings) {
  const TIniFile fresh = TIniFile::InMemory(FreshInstallSettingsText());
  if (!settings.WriteSection(kSettingsSection, fresh.ReadSection(kSettingsSection))) return false;
  for (const auto& property : StoredProperties()) {
    const std::string section = ListSectionName(property.Key);
    if (property.Form == TPropertyForm::List && fresh.SectionExists(section) &&
        !settings.WriteSection(section, fresh.ReadSection(section))) {
      return false;
    }
  }
  return true;
}

}  // namespace

TParsedBlockList ParseBlockListText(std::string_view text) {
  TParsedBlockList parsed;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    TLineResult line = ParseLine(text.substr(start, end - start));
    if (line.Kind == TLineKind::Skipped) ++parsed.Skipped;
    for (auto& entry : line.Entries) parsed.Entries.push_back(std::move(entry));
    start = end + 1;
  }
  return parsed;
}

TImportCounts MergeIntoBlockList(std::vector<std::string>& items, std::vector<std::string>& states,
                                 const std::vector<std::string>& entries) {
  TImportCounts counts;
  std::unordered_set<std::string> present;
  present.reserve(items.size() + entries.size());
  for (const auto& item : items) present.insert(LowerAscii(item));

  std::vector<std::string> fresh;
  for (const auto& entry : entries) {
    if (present.insert(LowerAscii(entry)).second) {
      fresh.push_back(entry);
    } else {
      ++counts.AlreadyPresent;
    }
  }
  counts.Added = static_cast<std::int32_t>(fresh.size());
  if (fresh.empty()) return counts;
  std::stable_sort(fresh.begin(), fresh.end(), ComesBefore);

  // An entry goes before the first existing entry it sorts strictly before, as the window's own
  // insertion does; a stored list that was not in order keeps its order.
  states.resize(items.size(), "0");
  std::vector<std::string> mergedItems;
  std::vector<std::string> mergedStates;
  mergedItems.reserve(items.size() + fresh.size());
  mergedStates.reserve(items.size() + fresh.size());
  size_t next = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    while (next < fresh.size() && ComesBefore(fresh[next], items[i])) {
      mergedItems.push_back(std::move(fresh[next++]));
      mergedStates.emplace_back("1");
    }
    mergedItems.push_back(std::move(items[i]));
    mergedStates.push_back(std::move(states[i]));
  }
  for (; next < fresh.size(); ++next) {
    mergedItems.push_back(std::move(fresh[next]));
    mergedStates.emplace_back("1");
  }
  items = std::move(mergedItems);
  states = std::move(mergedStates);
  return counts;
}

TFileImportResult ImportIntoSettingsFile(TIniFile& settings, std::string_view text) {
  TFileImportResult result;
  const TParsedBlockList parsed = ParseBlockListText(text);
  if (settings.Text().empty() && !WriteFreshInstallation(settings)) return result;
  const std::string itemsSection = ListSectionName("BlockList_Items");
  const std::string statesSection = ListSectionName("BlockListStates_Strings");
  std::vector<std::string> items;
  std::vector<std::string> states;
  ReadListSection(settings, itemsSection, items);
  ReadListSection(settings, statesSection, states);
  result.Counts = MergeIntoBlockList(items, states, parsed.Entries);
  result.Counts.Skipped = parsed.Skipped;
  result.Ok = result.Counts.Added == 0 ||
              (WriteListSection(settings, itemsSection, items) && WriteListSection(settings, statesSection, states));
  return result;
}

}  // namespace tarnwick
