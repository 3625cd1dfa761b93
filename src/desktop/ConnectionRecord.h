#pragma once
// The proxy text and the per-connection settings records of the browser settings kept in the
// per-user store: merging our "http=" entry into a proxy list, and rebuilding one binary record
// around the merged list. Pure functions; any thread.

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// The largest record read, and the buffer a record is rebuilt in.
inline constexpr size_t kConnectionRecordLimit = 4096;

// `old` with its first "http=" entry replaced by (or, when it has none, followed by)
// "http=" host ":" port; every other entry is kept.
std::string MergeHttpProxy(std::string_view old, std::string_view host, std::string_view port);

// The record a dial-up connection gets when it has none: 0x3C followed by 19 zero bytes.
std::string NewConnectionRecord();

// `record` with its flags set to proxy (3) or direct (1), its proxy list merged, its bypass list
// kept, whatever followed the bypass list dropped, and its length byte set. Nothing when the
// record is damaged (a length field points past the data) or the result would not fit the
// 4096-byte buffer: such a record is left as it is.
std::optional<std::string> RebuildConnectionRecord(std::string_view record, bool enable, std::string_view host,
                                                   std::string_view port);

}  // namespace tarnwick
