#pragma once
// Socket addresses of both families: resolving a host for a connection or a listening socket, and
// the text of an address as the rest of the program shows and compares it.
//
// Texts: IPv4 dotted; IPv6 in its short form ("::1"); an IPv4 address carried in IPv6
// ("::ffff:127.0.0.1", as a dual-stack socket reports IPv4 peers) is shown as its IPv4 form, so
// the access list and the log name a client the same way whichever socket it came in on.
// Pure functions, any thread (the resolver is the system's).

#include <sys/socket.h>

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

struct TSocketAddress {
  sockaddr_storage Storage{};
  socklen_t Length = 0;

  int Family() const { return Storage.ss_family; }
  const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&Storage); }
};

// A numeric address of either family (an IPv6 one with or without brackets); false for a name.
bool ParseNumericAddress(std::string_view text, int port, TSocketAddress& address);

// The addresses a host stands for, in the resolver's order of preference (port: low 16 bits). A
// numeric address is taken as it is. A name that does not resolve raises through
// RaiseSocketError with the resolver's code.
std::vector<TSocketAddress> ResolveHost(const std::string& host, int port);

// The text of an address (see above); empty for a family other than IPv4 and IPv6.
std::string AddressText(const sockaddr* address);
int AddressPort(const sockaddr* address);

// 127.0.0.0/8 or ::1, as text.
bool IsLoopbackText(std::string_view address);

// Whether `address` belongs to this machine: loopback, the unspecified address, or an address of
// one of its interfaces (either family; an IPv4 address carried in IPv6 counts as its IPv4 form).
bool IsOwnMachineAddress(const TSocketAddress& address);

// "[::1]" -> "::1"; any other text unchanged.
std::string_view WithoutBrackets(std::string_view host);

}  // namespace tarnwick
