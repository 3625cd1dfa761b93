#pragma once
// Socket error codes and their texts. Codes are the Windows Sockets numbers the rest of the program
// (and its error pages) speak in; errno and resolver values are mapped onto them in this one place.
// A failing call reports its code in the ESocketError it raises, and nowhere else.

#include <string>
#include <string_view>

namespace tarnwick {

namespace wsa {
inline constexpr int kInterrupted = 10004;
inline constexpr int kBadHandle = 10009;
inline constexpr int kAccessDenied = 10013;
inline constexpr int kFault = 10014;
inline constexpr int kInvalidArgument = 10022;
inline constexpr int kTooManyOpenFiles = 10024;
inline constexpr int kWouldBlock = 10035;
inline constexpr int kNotSocket = 10038;
inline constexpr int kDestinationRequired = 10039;
inline constexpr int kAddressFamily = 10047;
inline constexpr int kAddressInUse = 10048;
inline constexpr int kAddressNotAvailable = 10049;
inline constexpr int kNetworkDown = 10050;
inline constexpr int kNetworkUnreachable = 10051;
inline constexpr int kNetworkReset = 10052;
inline constexpr int kConnectionAborted = 10053;
inline constexpr int kConnectionReset = 10054;
inline constexpr int kNoBufferSpace = 10055;
inline constexpr int kIsConnected = 10056;
inline constexpr int kNotConnected = 10057;
inline constexpr int kShutDown = 10058;
inline constexpr int kTimedOut = 10060;
inline constexpr int kConnectionRefused = 10061;
inline constexpr int kHostDown = 10064;
inline constexpr int kHostUnreachable = 10065;
inline constexpr int kSystemNotReady = 10091;
inline constexpr int kVersionNotSupported = 10092;
inline constexpr int kNotInitialised = 10093;
inline constexpr int kHostNotFound = 11001;
inline constexpr int kTryAgain = 11002;
inline constexpr int kNoRecovery = 11003;
inline constexpr int kNoData = 11004;
}  // namespace wsa

// errno value -> Windows Sockets code. Unknown values map to 10000 + errno so they stay distinct.
int WinSockCodeFromErrno(int error);

// getaddrinfo() result (EAI_*) -> Windows Sockets code; EAI_SYSTEM consults errno.
int WinSockCodeFromResolver(int resolverError);

// The user-visible text for a code, from the fixed table of 20 rows; empty when not listed.
std::string_view SocketErrorText(int code);

// Raises ESocketError for a failed call, with the code, the call's name and the code's text.
[[noreturn]] void RaiseSocketError(int code, std::string_view call);

}  // namespace tarnwick
