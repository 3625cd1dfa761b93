#pragma once
// Access control by client address: each applying access-list entry grants, denies or asks for a
// password; clients that gave the right password are remembered by address in AuthClients.
//
// CheckAccess runs on any connection thread; one request's look-up and change of AuthClients is
// done under the table's own lock.

#include <cstdint>
#include <functional>

namespace tarnwick {

class TFilterProxyControl;

// The millisecond tick source; GetTickCount in the program, a hand-turned clock in tests.
using TTickSource = std::function<std::uint32_t()>;

// Whenever a client uses the table, the logins of other clients that have expired or sat idle for
// longer than this are dropped, whatever the expiry setting, so that clients that never come back
// do not stay in the table for the whole run. A client whose login was dropped that way is asked
// for its password once more when it returns.
inline constexpr std::uint32_t kAuthClientIdleLimitMs = 24u * 60u * 60u * 1000u;

// True when it answered the client (403 "Forbidden" or 401 realm "Tarnwick Gateway") and the
// request is finished; false when the client may go on. `now` gives the tick count.
bool CheckAccess(TFilterProxyControl& request, const TTickSource& now);

}  // namespace tarnwick
