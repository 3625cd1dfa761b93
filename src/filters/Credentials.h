#pragma once
// The Basic credential a request presents, and its comparison with a list entry's stored one;
// shared by access control and the redirection list. Pure functions, any thread.

#include <string>
#include <string_view>

namespace tarnwick {

class THeaderList;

// The Authorization header's value after "Basic " (the scheme word in any letter case); empty when
// the header is missing, shorter, or names another scheme, which presents no credential at all.
std::string PresentedCredential(const THeaderList& requestHeaders);

// Exact, case-sensitive equality. An empty stored credential (a hand-edited entry without one)
// matches nothing, so such an entry keeps asking rather than admitting everyone.
bool CredentialMatches(std::string_view presented, std::string_view stored);

}  // namespace tarnwick
