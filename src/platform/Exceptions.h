#pragma once
// The engine's two exception types. Socket-level failures raise ESocketError, which carries the
// code the error pages name; the HTTP layer raises EHTProxyException for malformed heads.

#include <stdexcept>
#include <string>

namespace tarnwick {

class ESocketError : public std::runtime_error {
 public:
  ESocketError(const std::string& message, int code = 0, std::string call = {})
      : std::runtime_error(message), Code(code), Call(std::move(call)) {}

  int Code;          // Windows Sockets code (see SocketError.h), 0 when none applies
  std::string Call;  // name of the failing call, empty when none applies
};

class EHTProxyException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tarnwick
