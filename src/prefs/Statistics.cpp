#include "prefs/Statistics.h"

#include <array>
#include <cstdint>

#include "text/UrlText.h"

namespace tarnwick {

namespace {

// The counters in the order of their lines (the keys of StatKeys() follow the same order), for a
// const or a mutable preferences object alike.
template <typename TPrefs>
auto NarrowCounters(TPrefs& prefs) {
  return std::array{&prefs.FltImagesCnt,  &prefs.FltFormsCnt,   &prefs.FltFramesCnt,
                    &prefs.FltLayersCnt,  &prefs.FltScriptsCnt, &prefs.FltTextCnt,
                    &prefs.FltWindowsCnt, &prefs.ImgCnt,        &prefs.ConnCnt};
}

template <typename TPrefs>
auto WideCounters(TPrefs& prefs) {
  return std::array{&prefs.SentCnt, &prefs.RecvCnt, &prefs.RecvProxyCnt};
}

}  // namespace

const std::vector<std::string_view>& StatKeys() {
  static const std::vector<std::string_view> keys = {
      "FltImagesCnt", "FltFormsCnt", "FltFramesCnt", "FltLayersCnt", "FltScriptsCnt", "FltTextCnt", "FltWindowsCnt",
      "ImgCnt",       "ConnCnt",     "SentCnt",      "RecvCnt",      "RecvProxyCnt",  "SinceDate"};
  return keys;
}

void SaveStats(const TCorvanePrefs& prefs, TStatLines& statStrings) {
  const auto& keys = StatKeys();
  statStrings.clear();
  size_t k = 0;
  for (const auto* counter : NarrowCounters(prefs))
    statStrings.push_back(std::string(keys[k++]) + "=" + std::to_string(counter->load()));
  for (const auto* counter : WideCounters(prefs))
    statStrings.push_back(std::string(keys[k++]) + "=" + std::to_string(counter->load()));
  statStrings.push_back(std::string(keys[k]) + "=" + prefs.SinceDate);
}

void LoadStats(TCorvanePrefs& prefs, const TStatLines& statStrings) {
  const auto& keys = StatKeys();
  size_t k = 0;
  for (auto* counter : NarrowCounters(prefs)) {
    std::int32_t value = 0;
    const auto text = StatValue(statStrings, keys[k++]);
    counter->store(text && ParseInt32(*text, value) ? value : 0);
  }
  for (auto* counter : WideCounters(prefs)) {
    std::int64_t value = 0;
    const auto text = StatValue(statStrings, keys[k++]);
    counter->store(text && TryParseInteger(*text, value) ? value : 0);
  }
  prefs.SinceDate = StatValue(statStrings, keys[k]).value_or(std::string());
}

void ResetStats(TCorvanePrefs& prefs, TStatLines& statStrings, std::string today) {
  prefs.ResetStats();
  prefs.SinceDate = std::move(today);
  SaveStats(prefs, statStrings);
}

std::optional<std::string> StatValue(const TStatLines& lines, std::string_view key) {
  for (const auto& line : lines) {
    const auto equals = line.find('=');
    if (equals != std::string::npos && SameTextIgnoringCase(std::string_view(line).substr(0, equals), key)) {
      return line.substr(equals + 1);
    }
  }
  return std::nullopt;
}

}  // namespace tarnwick
