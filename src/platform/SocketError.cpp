#include "platform/SocketError.h"

#include <netdb.h>
#include <cerrno>

#include <array>
#include <utility>

#include "platform/Exceptions.h"

namespace tarnwick {

int WinSockCodeFromErrno(int error) {
  switch (error) {
    case EINTR:
      return wsa::kInterrupted;
    case EBADF:
      return wsa::kBadHandle;
    case EACCES:
    case EPERM:
      return wsa::kAccessDenied;
    case EFAULT:
      return wsa::kFault;
    case EINVAL:
      return wsa::kInvalidArgument;
    case EMFILE:
    case ENFILE:
      return wsa::kTooManyOpenFiles;
    case EAGAIN:
      return wsa::kWouldBlock;
    case ENOTSOCK:
      return wsa::kNotSocket;
    case EDESTADDRREQ:
      return wsa::kDestinationRequired;
    case EAFNOSUPPORT:
      return wsa::kAddressFamily;
    case EADDRINUSE:
      return wsa::kAddressInUse;
    case EADDRNOTAVAIL:
      return wsa::kAddressNotAvailable;
    case ENETDOWN:
      return wsa::kNetworkDown;
    case ENETUNREACH:
      return wsa::kNetworkUnreachable;
    case ENETRESET:
      return wsa::kNetworkReset;
    case ECONNABORTED:
      return wsa::kConnectionAborted;
    case ECONNRESET:
    case EPIPE:
      return wsa::kConnectionReset;
    case ENOBUFS:
    case ENOMEM:
      return wsa::kNoBufferSpace;
    case EISCONN:
      return wsa::kIsConnected;
    case ENOTCONN:
      return wsa::kNotConnected;
    case ESHUTDOWN:
      return wsa::kShutDown;
    case ETIMEDOUT:
      return wsa::kTimedOut;
    case ECONNREFUSED:
      return wsa::kConnectionRefused;
    case EHOSTDOWN:
      return wsa::kHostDown;
    case EHOSTUNREACH:
      return wsa::kHostUnreachable;
    default:
      return 10000 + error;
  }
}

int WinSockCodeFromResolver(int resolverError) {
  switch (resolverError) {
    case EAI_NONAME:
      return wsa::kHostNotFound;
    case EAI_AGAIN:
      return wsa::kTryAgain;
    case EAI_FAIL:
      return wsa::kNoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA:
      return wsa::kNoData;
#endif
    case EAI_ADDRFAMILY:
      return wsa::kNoData;
    case EAI_MEMORY:
      return wsa::kNoBufferSpace;
    case EAI_SYSTEM:
      return WinSockCodeFromErrno(errno);
    default:
      return wsa::kNoRecovery;
  }
}

std::string_view SocketErrorText(int code) {
  static constexpr std::array<std::pair<int, std::string_view>, 20> kTexts{{
      {10048, "Address already in use"},
      {10053, "Software caused connection abort"},
      {10061, "Connection refused"},
      {10054, "Connection reset by peer"},
      {10039, "Destination address required"},
      {10065, "No route to host"},
      {10024, "Too many open files"},
      {10050, "Network is down"},
      {10052, "Network dropped connection"},
      {10055, "No buffer space available"},
      {10051, "Network is unreachable"},
      {10060, "Connection timed out"},
      {11001, "Host not found"},
      {10091, "Network sub-system is unavailable"},
      {10093, "Code: WSAStartup() not performed"},
      {11004, "Valid name, no data of that type"},
      {11003, "Non-recoverable query error"},
      {11002, "Non-authoritative host found"},
      {10092, "Wrong WinSock DLL version"},
      {10049, "Cannot assign requested address"},
  }};
  for (const auto& [listed, text] : kTexts) {
    if (listed == code) return text;
  }
  return {};
}

void RaiseSocketError(int code, std::string_view call) {
  std::string text(SocketErrorText(code));
  if (text.empty()) text = "Unknown error";
  throw ESocketError("Socket error: " + text + " (" + std::to_string(code) + "), on call '" + std::string(call) + "'",
                     code, std::string(call));
}

}  // namespace tarnwick
