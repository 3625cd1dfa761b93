#include "prefs/RegistryValues.h"

#include <bit>
#include <cstring>
#include <ctime>

namespace tarnwick {

namespace {

// Doubles are stored as their eight bytes, least significant first, whatever the host order.
std::string DoubleBytes(double value) {
  auto bits = std::bit_cast<std::uint64_t>(value);
  std::string bytes(8, '\0');
  for (auto& byte : bytes) {
    byte = static_cast<char>(bits & 0xFF);
    bits >>= 8;
  }
  return bytes;
}

std::optional<double> BytesDouble(const std::optional<std::string>& bytes) {
  if (!bytes || bytes->size() != 8) return std::nullopt;
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | static_cast<unsigned char>((*bytes)[static_cast<size_t>(i)]);
  return std::bit_cast<double>(bits);
}

// Reads one value into `target`; a missing one is written from `target` first. False when that
// write fails.
template <typename Read, typename Write>
bool LoadOne(Read read, Write write, auto& target) {
  if (auto value = read()) {
    target = *value;
    return true;
  }
  return write(target);
}

}  // namespace

bool LoadRegistryValues(TUserStore& store, TRegistryValues& values, std::uint8_t language, double now) {
  const std::string_view key = kRegistryKey;
  values.Language = language;
  values.LastUpdate = now;
  bool ok = true;
  ok &= LoadOne([&] { return store.ReadBool(key, "IsFirstStart"); },
                [&](bool v) { return store.WriteBool(key, "IsFirstStart", v); }, values.IsFirstStart);
  ok &= LoadOne([&] { return BytesDouble(store.ReadBinary(key, "IdxVersion")); },
                [&](double v) { return store.WriteBinary(key, "IdxVersion", DoubleBytes(v)); }, values.IdxVersion);
  ok &= LoadOne(
      [&]() -> std::optional<std::uint8_t> {
        const auto bytes = store.ReadBinary(key, "Language");
        if (!bytes || bytes->size() != 1) return std::nullopt;
        return static_cast<std::uint8_t>((*bytes)[0]);
      },
      [&](std::uint8_t v) { return store.WriteBinary(key, "Language", std::string(1, static_cast<char>(v))); },
      values.Language);
  ok &= LoadOne([&] { return store.ReadBool(key, "ShowTips"); },
                [&](bool v) { return store.WriteBool(key, "ShowTips", v); }, values.ShowTips);
  ok &= LoadOne(
      [&]() -> std::optional<std::int32_t> {
        const auto value = store.ReadInteger(key, "TipsIdx");
        if (!value) return std::nullopt;
        return static_cast<std::int32_t>(*value);
      },
      [&](std::int32_t v) { return store.WriteInteger(key, "TipsIdx", static_cast<std::uint32_t>(v)); },
      values.TipsIdx);
  ok &= LoadOne([&] { return BytesDouble(store.ReadBinary(key, "LastUpdate")); },
                [&](double v) { return store.WriteBinary(key, "LastUpdate", DoubleBytes(v)); }, values.LastUpdate);
  return ok;
}

bool SaveRegistryValues(TUserStore& store, const TRegistryValues& values) {
  const std::string_view key = kRegistryKey;
  bool ok = store.WriteBool(key, "IsFirstStart", values.IsFirstStart);
  ok = store.WriteBinary(key, "IdxVersion", DoubleBytes(kIdxVersion)) && ok;
  ok = store.WriteBinary(key, "Language", std::string(1, static_cast<char>(values.Language))) && ok;
  ok = store.WriteBool(key, "ShowTips", values.ShowTips) && ok;
  ok = store.WriteInteger(key, "TipsIdx", static_cast<std::uint32_t>(values.TipsIdx)) && ok;
  ok = store.WriteBinary(key, "LastUpdate", DoubleBytes(values.LastUpdate)) && ok;
  return ok;
}

double DateTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  // Local wall-clock seconds since the Unix epoch, then days from 30 December 1899.
  const double seconds = static_cast<double>(now) + static_cast<double>(local.tm_gmtoff);
  return seconds / 86400.0 + 25569.0;
}

std::string LanguageDirectoryName(int index) {
  switch (index) {
    case 0:
    case 4:
      return "ENG";
    case 1:
      return "DEU";
    case 2:
      return "ITA";
    case 3:
      return "ESP";
    case 5:
      return "FRA";
    default:
      return {};
  }
}

}  // namespace tarnwick
