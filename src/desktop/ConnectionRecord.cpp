#include "desktop/ConnectionRecord.h"

#include <cstdint>

namespace tarnwick {

namespace {

constexpr size_t kFlagsOffset = 8;
constexpr size_t kLengthByteOffset = 4;
constexpr size_t kProxyLengthOffset = 12;
constexpr size_t kProxyTextOffset = 16;
// The zero bytes that follow the last string of a rebuilt record.
constexpr size_t kTrailingZeros = 17;

std::uint32_t ReadLe32(std::string_view bytes, size_t offset) {
  std::uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i)
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
  return value;
}

void WriteLe32(std::string& bytes, size_t offset, std::uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::string MergeHttpProxy(std::string_view old, std::string_view host, std::string_view port) {
  std::string entry = "http=";
  entry.append(host).append(":").append(port);
  if (old.empty()) return entry;
  std::string prefix;
  std::string suffix;
  const auto at = old.find("http=");
  if (at == std::string_view::npos) {
    prefix = old;
    if (prefix.back() != ';') prefix += ';';
  } else {
    prefix = old.substr(0, at);
    const auto end = old.find(';', at);
    if (end != std::string_view::npos) suffix = std::string(old.substr(end));
  }
  return prefix + entry + suffix;
}

std::string NewConnectionRecord() {
  std::string record(20, '\0');
  record[0] = 0x3C;
  return record;
}

std::optional<std::string> RebuildConnectionRecord(std::string_view record, bool enable, std::string_view host,
                                                   std::string_view port) {
  if (record.size() > kConnectionRecordLimit) return std::nullopt;
  // Fields beyond the data read are zero, as in the zero-filled buffer the record is read into.
  std::string data(record);
  data.resize(kConnectionRecordLimit, '\0');

  const std::uint64_t proxyLength = ReadLe32(data, kProxyLengthOffset);
  if (kProxyTextOffset + proxyLength > record.size() && proxyLength > 0) return std::nullopt;
  const size_t bypassField = kProxyTextOffset + static_cast<size_t>(proxyLength);
  std::uint64_t bypassLength = 0;
  if (bypassField + 4 <= data.size()) bypassLength = ReadLe32(data, bypassField);
  if (bypassLength > 0 && bypassField + 4 + bypassLength > record.size()) return std::nullopt;

  const std::string merged =
      MergeHttpProxy(std::string_view(data).substr(kProxyTextOffset, static_cast<size_t>(proxyLength)), host, port);
  size_t total = kProxyTextOffset + merged.size() + kTrailingZeros;
  if (bypassLength > 0) total += 4 + static_cast<size_t>(bypassLength);
  if (total > kConnectionRecordLimit) return std::nullopt;

  std::string rebuilt(total, '\0');
  rebuilt.replace(0, kProxyTextOffset, data, 0, kProxyTextOffset);
  rebuilt[kFlagsOffset] = static_cast<char>(enable ? 3 : 1);
  rebuilt[kLengthByteOffset] = static_cast<char>(total > 255 ? 255 : total);
  WriteLe32(rebuilt, kProxyLengthOffset, static_cast<std::uint32_t>(merged.size()));
  rebuilt.replace(kProxyTextOffset, merged.size(), merged);
  if (bypassLength > 0) {
    const size_t at = kProxyTextOffset + merged.size();
    WriteLe32(rebuilt, at, static_cast<std::uint32_t>(bypassLength));
    rebuilt.replace(at + 4, static_cast<size_t>(bypassLength), data, bypassField + 4,
                    static_cast<size_t>(bypassLength));
  }
  return rebuilt;
}

}  // namespace tarnwick
