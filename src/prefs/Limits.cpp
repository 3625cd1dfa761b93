#include "prefs/Limits.h"

#include "text/UrlText.h"

namespace tarnwick {

namespace {

std::int32_t PositiveOr(const TIniFile &file, std::string_view key, std::int32_t fallback) {
  std::int32_t value = 0;
  const auto text = file.Read(kLimitsSection, key);
  if (!text || !ParseInt32(*text, value) || value <= 0) return fallback;
  return value;
}

}  // namespace

TLimits ReadLimits(const TIniFile &file) {
  const TLimits defaults;
  TLimits limits;
  limits.HeadTimeoutSec = PositiveOr(file, "HeadTimeout", defaults.HeadTimeoutSec);
  limits.IdleTimeoutSec = PositiveOr(file, "IdleTimeout", defaults.IdleTimeoutSec);
  limits.TunnelIdleSec = PositiveOr(file, "TunnelIdleTimeout", defaults.TunnelIdleSec);
  limits.MaxConnections = PositiveOr(file, "MaxConnections", defaults.MaxConnections);
  const std::int32_t budgetMiB =
      PositiveOr(file, "WordBudgetMiB", static_cast<std::int32_t>(defaults.WordBudgetBytes >> 20));
  limits.WordBudgetBytes = static_cast<std::int64_t>(budgetMiB) << 20;
  return limits;
}

}  // namespace tarnwick
