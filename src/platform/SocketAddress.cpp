#include "platform/SocketAddress.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cstring>

#include "platform/SocketError.h"

namespace tarnwick {

namespace {

std::uint16_t PortBits(int port) { return htons(static_cast<std::uint16_t>(port & 0xFFFF)); }

}  // namespace

std::string_view WithoutBrackets(std::string_view host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') return host.substr(1, host.size() - 2);
  return host;
}

bool ParseNumericAddress(std::string_view text, int port, TSocketAddress& address) {
  const std::string plain(WithoutBrackets(text));
  address = TSocketAddress{};
  auto* v4 = reinterpret_cast<sockaddr_in*>(&address.Storage);
  if (inet_pton(AF_INET, plain.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = PortBits(port);
    address.Length = sizeof(sockaddr_in);
    return true;
  }
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&address.Storage);
  if (inet_pton(AF_INET6, plain.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = PortBits(port);
    address.Length = sizeof(sockaddr_in6);
    return true;
  }
  address = TSocketAddress{};
  return false;
}

std::vector<TSocketAddress> ResolveHost(const std::string& host, int port) {
  TSocketAddress numeric;
  if (ParseNumericAddress(host, port, numeric)) return {numeric};
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  std::vector<TSocketAddress> addresses;
  for (const addrinfo* entry = rc == 0 ? found : nullptr; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6) continue;
    if (entry->ai_addrlen > sizeof(sockaddr_storage)) continue;
    TSocketAddress address;
    std::memcpy(&address.Storage, entry->ai_addr, entry->ai_addrlen);
    address.Length = entry->ai_addrlen;
    if (entry->ai_family == AF_INET) {
      reinterpret_cast<sockaddr_in*>(&address.Storage)->sin_port = PortBits(port);
    } else {
      reinterpret_cast<sockaddr_in6*>(&address.Storage)->sin6_port = PortBits(port);
    }
    addresses.push_back(address);
  }
  if (found != nullptr) freeaddrinfo(found);
  if (addresses.empty()) RaiseSocketError(WinSockCodeFromResolver(rc != 0 ? rc : EAI_NONAME), "gethostbyname");
  return addresses;
}

std::string AddressText(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address->sa_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
    return text;
  }
  if (address->sa_family != AF_INET6) return {};
  const in6_addr& v6 = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
  if (IN6_IS_ADDR_V4MAPPED(&v6)) {
    inet_ntop(AF_INET, &v6.s6_addr[12], text, sizeof text);
  } else {
    inet_ntop(AF_INET6, &v6, text, sizeof text);
  }
  return text;
}

int AddressPort(const sockaddr* address) {
  if (address->sa_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(address)->sin_port);
  if (address->sa_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(address)->sin6_port);
  return 0;
}

bool IsLoopbackText(std::string_view address) {
  TSocketAddress parsed;
  if (!ParseNumericAddress(address, 0, parsed)) return false;
  if (parsed.Family() == AF_INET) {
    return (ntohl(reinterpret_cast<const sockaddr_in*>(&parsed.Storage)->sin_addr.s_addr) >> 24) == 127;
  }
  return IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6*>(&parsed.Storage)->sin6_addr);
}

bool IsOwnMachineAddress(const TSocketAddress& address) {
  const std::string text = AddressText(address.Get());
  if (text.empty()) return false;
  if (IsLoopbackText(text) || text == "0.0.0.0" || text == "::") return true;
  ifaddrs* interfaces = nullptr;
  if (::getifaddrs(&interfaces) != 0) return false;
  bool own = false;
  for (const ifaddrs* item = interfaces; item != nullptr && !own; item = item->ifa_next) {
    if (item->ifa_addr == nullptr) continue;
    const int family = item->ifa_addr->sa_family;
    if (family != AF_INET && family != AF_INET6) continue;
    own = AddressText(item->ifa_addr) == text;
  }
  ::freeifaddrs(interfaces);
  return own;
}

}  // namespace tarnwick
