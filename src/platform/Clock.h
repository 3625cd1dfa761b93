#pragma once
// Time sources: the millisecond tick count and the local standard-time bias.

#include <cstdint>
#include <ctime>

namespace tarnwick {

// Milliseconds of CLOCK_MONOTONIC truncated to 32 bits: wraps after about 49.7 days, like the
// tick count the timing rules were written for.
std::uint32_t GetTickCount();

// Minutes to add to local standard time to get UTC (UTC = local + bias), without any daylight-saving
// correction: of the offsets on 1 January and 1 July of the year of `now`, the smaller one is standard.
int StandardTimeBiasMinutes(std::time_t now);

}  // namespace tarnwick
