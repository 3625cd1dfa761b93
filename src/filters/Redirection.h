#pragma once
// The redirection list's URL and server-address matching, and the action an entry carries once it
// matched (pass, block, redirect, password), shared with the word analysis of whole pages.
//
// Every function runs on the request's own connection thread and reads its settings snapshot.

#include <string_view>

#include "prefs/Settings.h"

namespace tarnwick {

class TFilterProxyControl;

// Walks the checked entries in list order; the first whose text occurs in the request URL (ASCII
// case ignored) or, byte for byte, in "[" + server address + "]" decides. The server address is
// empty before the server is connected. Returns true when it answered the client (the request is
// finished), false when the request goes on.
bool CheckRedirection(TFilterProxyControl& request);

// Whether a checked entry of the redirection list occurs in `url` (ASCII case ignored), whatever
// its action. Used for tunnels, which can only be let through or refused.
bool RedirectionListHit(const TFilterProxyControl& request, std::string_view url);

// Applies the action of `entry`. Returns true when it answered the client: block (403 "Page
// Blocked"), redirect (302 to the entry's target) or a password demand (401, realm "Tarnwick
// Redirector") because the request's Authorization credential is not the entry's. Returns false
// when the request passes: action Pass, or the right credential.
bool ActOnRedirEntry(TFilterProxyControl& request, const TRedirEntry& entry);

// Sends the answer of `action` with the request URL: Block, Redirect (Location: target) or Password.
// Returns true when it sent one, false (nothing sent) for Pass.
bool SendRedirAnswer(TFilterProxyControl& request, TRedirAction action, std::string_view target);

}  // namespace tarnwick
