#pragma once
// The texts of the four user lists as they are stored: image size entries ("468 x 60") and the
// state lines of redirection and access-control entries ("check|method|target|credential" and
// "check|method|credential", the credential being Base64 of "user:password"). Pure functions, any
// thread.

#include <string>
#include <string_view>

#include "prefs/Prefs.h"

namespace tarnwick {

// Redirection methods, the second field of a redirection state line.
enum TRedirMethod { kRedirPass = 0, kRedirBlock = 1, kRedirRedirect = 2, kRedirPassword = 3 };
// Access-control methods, the second field of an access-control state line.
enum TAclMethod { kAclGrant = 0, kAclDeny = 1, kAclPassword = 2 };

std::string RedirStateLine(bool checked, int method, std::string_view target, std::string_view user,
                           std::string_view password);
std::string AclStateLine(bool checked, int method, std::string_view user, std::string_view password);

// The line with its first character replaced by "1" or "0" (an empty line becomes just that).
std::string WithCheck(std::string_view line, bool checked);
// The tick a state line stands for: its first character is "1".
inline bool StateLineChecked(std::string_view line) { return !line.empty() && line.front() == '1'; }

struct TEntryState {
  int Method = -1;  // -1 when the field is missing or not a number
  std::string Target;  // redirection lines only
  std::string User;
  std::string Password;
};

// The fields of a state line; missing fields read as empty.
TEntryState ParseRedirState(std::string_view line);
TEntryState ParseAclState(std::string_view line);

// "width x height".
std::string ImageSizeText(std::int32_t width, std::int32_t height);
// The size of an entry made by ImageSizeText: the text before " x " and the (at most 100)
// characters after it, each as a forgiving decimal number.
TImageSize ParseImageSizeEntry(std::string_view entry);

}  // namespace tarnwick
