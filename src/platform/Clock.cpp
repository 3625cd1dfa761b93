#include "platform/Clock.h"

#include <time.h>
#include <algorithm>

namespace tarnwick {

std::uint32_t GetTickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

namespace {

long UtcOffsetSeconds(int year, int month) {
  std::tm date{};
  date.tm_year = year;
  date.tm_mon = month;
  date.tm_mday = 1;
  date.tm_hour = 12;
  date.tm_isdst = -1;
  const std::time_t at = mktime(&date);
  std::tm local{};
  localtime_r(&at, &local);
  return local.tm_gmtoff;
}

}  // namespace

int StandardTimeBiasMinutes(std::time_t now) {
  tzset();
  std::tm today{};
  localtime_r(&now, &today);
  const long standard = std::min(UtcOffsetSeconds(today.tm_year, 0), UtcOffsetSeconds(today.tm_year, 6));
  return static_cast<int>(-standard / 60);
}

}  // namespace tarnwick
