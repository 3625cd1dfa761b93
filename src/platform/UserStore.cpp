#include "platform/UserStore.h"

#include <algorithm>
#include <cstdio>

#include "platform/HexDigit.h"

namespace tarnwick {

namespace {

constexpr std::string_view kDword = "dword:";
constexpr std::string_view kBinary = "hex:";
constexpr std::string_view kString = "sz:";

// The data of a value of the given type, or nothing for a missing value or another type.
std::optional<std::string> Typed(const std::optional<std::string>& raw, std::string_view type) {
  if (!raw || raw->compare(0, type.size(), type) != 0) return std::nullopt;
  return raw->substr(type.size());
}

// Key names compare without regard to ASCII case, as the file's section names do.
std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

}  // namespace

bool TUserStore::ValueExists(std::string_view key, std::string_view name) const {
  return File.Read(key, name).has_value();
}

bool TUserStore::KeyExists(std::string_view key) const { return File.SectionExists(key); }

std::vector<std::string> TUserStore::ValueNames(std::string_view key) const {
  std::vector<std::string> names;
  for (auto& [name, value] : File.ReadSection(key)) names.push_back(std::move(name));
  return names;
}

std::vector<std::string> TUserStore::SubKeyNames(std::string_view key) const {
  const std::string prefix = LowerAscii(key) + "\\";
  std::vector<std::string> names;
  std::vector<std::string> seen;
  for (const auto& section : File.SectionNames()) {
    if (section.size() <= prefix.size() || LowerAscii(section.substr(0, prefix.size())) != prefix) continue;
    const std::string rest = section.substr(prefix.size());
    const std::string child = rest.substr(0, rest.find('\\'));
    if (child.empty()) continue;
    const std::string folded = LowerAscii(child);
    if (std::find(seen.begin(), seen.end(), folded) != seen.end()) continue;
    seen.push_back(folded);
    names.push_back(child);
  }
  return names;
}

std::optional<std::uint32_t> TUserStore::ReadInteger(std::string_view key, std::string_view name) const {
  const auto data = Typed(File.Read(key, name), kDword);
  if (!data || data->empty() || data->size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : *data) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return value;
}

std::optional<bool> TUserStore::ReadBool(std::string_view key, std::string_view name) const {
  const auto value = ReadInteger(key, name);
  if (!value) return std::nullopt;
  return *value != 0;
}

std::optional<std::string> TUserStore::ReadBinary(std::string_view key, std::string_view name) const {
  const auto data = Typed(File.Read(key, name), kBinary);
  if (!data) return std::nullopt;
  std::string bytes;
  size_t i = 0;
  while (i < data->size()) {
    if (i + 2 > data->size()) return std::nullopt;
    const int high = HexDigitValue((*data)[i]);
    const int low = HexDigitValue((*data)[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
    if (i < data->size()) {
      if ((*data)[i] != ',') return std::nullopt;
      ++i;
    }
  }
  return bytes;
}

std::optional<std::string> TUserStore::ReadString(std::string_view key, std::string_view name) const {
  return Typed(File.Read(key, name), kString);
}

bool TUserStore::WriteInteger(std::string_view key, std::string_view name, std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", value);
  return File.WriteString(key, name, std::string(kDword) + text);
}

bool TUserStore::WriteBinary(std::string_view key, std::string_view name, std::string_view bytes) {
  std::string text(kBinary);
  for (size_t i = 0; i < bytes.size(); ++i) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(bytes[i]));
    if (i > 0) text += ',';
    text += pair;
  }
  return File.WriteString(key, name, text);
}

bool TUserStore::WriteString(std::string_view key, std::string_view name, std::string_view value) {
  return File.WriteString(key, name, std::string(kString) + std::string(value));
}

}  // namespace tarnwick
