#pragma once
// The Basic credential a request presents, and its comparison with a list entry's stored one;
// shared by access control and the redirection list. Pure functions, any thread.

#include <string>
#include <string_view>

namespace tarnwick {

class THeaderList;

// The Authorization header's value from its seventh character on (what follows "Basic "); empty
// when the header is missing or shorter. The scheme word is not checked: another scheme simply
// presents a credential that matches nothing.
std::string PresentedCredential(const THeaderList& requestHeaders);

// Exact, case-sensitive equality. An empty stored credential (a hand-edited entry without one)
// matches nothing, so such an entry keeps asking rather than admitting everyone.
bool CredentialMatches(std::string_view presented, std::string_view stored);

}  // namespace tarnwick
