#include "engine/HeaderList.h"

#include <algorithm>

#include "text/UrlText.h"

namespace tarnwick {

namespace {

std::string_view NameOf(std::string_view entry) { return entry.substr(0, entry.find('=')); }

bool SameName(std::string_view a, std::string_view b) { return SameTextIgnoringCase(a, b); }

}  // namespace

void THeaderList::AddLine(std::string_view line) {
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) {
    Entries.emplace_back(line);
    return;
  }
  std::string_view value = line.substr(colon + 1);
  if (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  std::string entry;
  entry.reserve(line.size());
  entry.append(line.substr(0, colon)).append("=").append(value);
  Entries.push_back(std::move(entry));
}

std::vector<std::string>::iterator THeaderList::Find(std::string_view name) {
  return std::find_if(Entries.begin(), Entries.end(),
                      [name](const std::string& entry) { return SameName(NameOf(entry), name); });
}

std::vector<std::string>::const_iterator THeaderList::Find(std::string_view name) const {
  return std::find_if(Entries.begin(), Entries.end(),
                      [name](const std::string& entry) { return SameName(NameOf(entry), name); });
}

std::string THeaderList::Get(std::string_view name) const {
  const auto found = Find(name);
  if (found == Entries.end()) return {};
  const size_t equals = found->find('=');
  return equals == std::string::npos ? std::string() : found->substr(equals + 1);
}

bool THeaderList::Has(std::string_view name) const { return Find(name) != Entries.end(); }

void THeaderList::Set(std::string_view name, std::string_view value) {
  const auto found = Find(name);
  if (value.empty()) {
    if (found != Entries.end()) Entries.erase(found);
    return;
  }
  std::string entry = std::string(name) + "=" + std::string(value);
  if (found != Entries.end()) {
    *found = std::move(entry);
  } else {
    Entries.push_back(std::move(entry));
  }
}

void THeaderList::SetOnly(std::string_view name, std::string_view value) {
  const auto found = Find(name);
  if (found == Entries.end()) {
    Set(name, value);
    return;
  }
  *found = std::string(name) + "=" + std::string(value);
  for (auto later = found + 1; later != Entries.end();) {
    later = SameName(NameOf(*later), name) ? Entries.erase(later) : later + 1;
  }
}

void THeaderList::RemoveAll(std::string_view name) {
  std::erase_if(Entries, [name](const std::string& entry) { return SameName(NameOf(entry), name); });
}

std::string THeaderList::LineOf(std::string_view entry) {
  const size_t equals = entry.find('=');
  if (equals == std::string_view::npos) return ": " + std::string(entry);
  std::string line;
  line.reserve(entry.size() + 1);
  line.append(entry.substr(0, equals)).append(": ").append(entry.substr(equals + 1));
  return line;
}

std::string THeaderList::HeadText() const {
  std::string text;
  for (const auto& entry : Entries) text.append(LineOf(entry)).append("\r\n");
  return text;
}

}  // namespace tarnwick
