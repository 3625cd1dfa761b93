#pragma once
// The redirection list's URL and server-address matching, and the action an entry carries once it
// matched (pass, block, redirect, password), shared with the word analysis of whole pages.
//
// Every function runs on the request's own connection thread and reads request.Settings.

#include <cstddef>
#include <string_view>

namespace tarnwick {

class TFilterProxyControl;

// Action numbers of field 1 of a redirection state line.
enum class TRedirAction { Pass = 0, Block = 1, Redirect = 2, Password = 3 };

// Walks the checked entries in list order; the first whose text occurs in the request URL (ASCII
// case ignored) or, byte for byte, in "[" + server address + "]" decides. The server address is the
// peer of request.ServerStream when it is connected, empty before. Returns true when it answered
// the client (the request is finished), false when the request goes on.
bool CheckRedirection(TFilterProxyControl& request);

// Applies the action of entry `entryIndex` of the settings' redirection list. Returns true when it
// answered the client: block (403 "Page Blocked"), redirect (302 to the entry's target) or a
// password demand (401, realm "Tarnwick Redirector") because the request's Authorization credential
// is not the entry's. Returns false when the request passes: action "0" or unknown, a state line
// without an action field, or the right credential.
bool ActOnRedirEntry(TFilterProxyControl& request, std::size_t entryIndex);

// Sends the answer of `action` with the request URL: Block, Redirect (Location: target) or Password.
// Returns true when it sent one, false (nothing sent) for Pass.
bool SendRedirAnswer(TFilterProxyControl& request, TRedirAction action, std::string_view target);

}  // namespace tarnwick
