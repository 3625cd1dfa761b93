#pragma once
// The running proxy with the program's own filter chain and a hand-turned tick clock for remembered
// logins.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/StatusResponse.h"
#include "filters/Filters.h"
#include "integration/ProxyFixture.h"

namespace tarnwick::test {

class RequestFilterFixture : public ProxyFixture {
 protected:
  // Starts the proxy with the settings `adjust` makes.
  void Start(const std::function<void(TPrefsSettings&)>& adjust = {});
  // Replaces the settings in force by ones that `adjust` has changed.
  void Apply(const std::function<void(TPrefsSettings&)>& adjust);
  // One request "GET url HTTP/1.0" with the given header lines (each ending in CR LF).
  std::string Get(const std::string& url, const std::string& headerLines = "", const std::string& from = "");
  // "Authorization: Basic " and the Base64 of user:password, CR LF.
  static std::string Credential(const std::string& user, const std::string& password);
  // The proxy's own answer for `status` on `url`.
  static std::string AnswerOf(TStatus status, const std::string& url);

  std::atomic<std::uint32_t> Now{1000};
  std::shared_ptr<const TTarnwickFilters> Filters =
      std::make_shared<const TTarnwickFilters>([this] { return Now.load(); });
};

}  // namespace tarnwick::test
