#include "prefs/ListStates.h"

#include "filters/UrlText.h"

namespace tarnwick {

namespace {

std::string Credential(std::string_view user, std::string_view password) {
  return Base64Encode(std::string(user) + ":" + std::string(password));
}

// User name before the first ":", password the rest.
void SplitCredential(std::string_view encoded, TEntryState& state) {
  const std::string plain = Base64Decode(encoded);
  const auto colon = plain.find(':');
  state.User = plain.substr(0, colon);
  state.Password = colon == std::string::npos ? std::string() : plain.substr(colon + 1);
}

int MethodField(const std::vector<std::string>& fields) {
  std::int64_t method = -1;
  if (fields.size() < 2 || !TryParseInteger(fields[1], method) || method < 0 || method > 9) return -1;
  return static_cast<int>(method);
}

}  // namespace

std::string RedirStateLine(bool checked, int method, std::string_view target, std::string_view user,
                           std::string_view password) {
  return std::string(checked ? "1" : "0") + "|" + std::to_string(method) + "|" + std::string(target) + "|" +
         Credential(user, password);
}

std::string AclStateLine(bool checked, int method, std::string_view user, std::string_view password) {
  return std::string(checked ? "1" : "0") + "|" + std::to_string(method) + "|" + Credential(user, password);
}

std::string WithCheck(std::string_view line, bool checked) {
  return std::string(checked ? "1" : "0") + std::string(line.empty() ? line : line.substr(1));
}

TEntryState ParseRedirState(std::string_view line) {
  const auto fields = SplitText(line, '|');
  TEntryState state;
  state.Method = MethodField(fields);
  if (fields.size() > 2) state.Target = fields[2];
  if (fields.size() > 3) SplitCredential(fields[3], state);
  return state;
}

TEntryState ParseAclState(std::string_view line) {
  const auto fields = SplitText(line, '|');
  TEntryState state;
  state.Method = MethodField(fields);
  if (fields.size() > 2) SplitCredential(fields[2], state);
  return state;
}

std::string ImageSizeText(std::int32_t width, std::int32_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

TImageSize ParseImageSizeEntry(std::string_view entry) {
  // With x at 1-based position p: width is the first p - 2 characters, height starts at p + 2.
  const size_t x = entry.find('x');
  const size_t p = x == std::string_view::npos ? 0 : x + 1;
  TImageSize size;
  if (p >= 2) size.Width = IntOrZero(entry.substr(0, p - 2));
  const size_t heightStart = p + 1;  // 0-based index of position p + 2
  if (heightStart < entry.size()) size.Height = IntOrZero(entry.substr(heightStart, 100));
  return size;
}

}  // namespace tarnwick
