#pragma once
// The texts of the four user lists as they are stored: image size entries ("468 x 60") and the
// state lines of redirection and access-control entries ("check|method|target|credential" and
// "check|method|credential", the credential being Base64 of "user:password"). Pure functions, any
// thread.

#include <string>
#include <string_view>
#include <vector>

#include "prefs/Settings.h"

namespace tarnwick {

std::string RedirStateLine(bool checked, TRedirAction action, std::string_view target, std::string_view user,
                           std::string_view password);
std::string AclStateLine(bool checked, TAccessMethod method, std::string_view user, std::string_view password);

// The line with its first character replaced by "1" or "0" (an empty line becomes just that).
std::string WithCheck(std::string_view line, bool checked);
// The tick a state line stands for: its first character is "1".
inline bool StateLineChecked(std::string_view line) { return !line.empty() && line.front() == '1'; }

// A state line as the list editors show it.
struct TEntryState {
  int Method = -1;     // the method's number, as its radio button; -1 when missing or not a number
  std::string Target;  // redirection lines only
  std::string User;
  std::string Password;
};

// The fields of a state line; missing fields read as empty.
TEntryState ParseRedirState(std::string_view line);
TEntryState ParseAclState(std::string_view line);

// The lists as the engine reads them: entry i is item i with state line i. An entry without a line
// is unchecked. The action or method is field 1 written exactly as the editor writes it ("1", "2",
// "3"); anything else, a missing field included, passes or grants, so that a hand-edited line
// never ends requests without an answer. The credential is taken as stored, still encoded.
std::vector<TRedirEntry> RedirEntriesOf(const std::vector<std::string>& items, const std::vector<std::string>& lines);
std::vector<TAclEntry> AclEntriesOf(const std::vector<std::string>& items, const std::vector<std::string>& lines);

// "width x height".
std::string ImageSizeText(std::int32_t width, std::int32_t height);
// The size of an entry made by ImageSizeText: the text before " x " and the (at most 100)
// characters after it, each as a forgiving decimal number.
TImageSize ParseImageSizeEntry(std::string_view entry);

}  // namespace tarnwick
