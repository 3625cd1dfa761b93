#include "prefs/ListStates.h"

#include "text/UrlText.h"

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
  std::int32_t method = -1;
  if (fields.size() < 2 || !ParseInt32(fields[1], method) || method < 0 || method > 9) return -1;
  return method;
}

std::string FieldOf(const std::vector<std::string>& fields, size_t index) {
  return index < fields.size() ? fields[index] : std::string();
}

TRedirAction RedirActionOf(std::string_view field) {
  if (field == "1") return TRedirAction::Block;
  if (field == "2") return TRedirAction::Redirect;
  if (field == "3") return TRedirAction::Password;
  return TRedirAction::Pass;
}

TAccessMethod AccessMethodOf(std::string_view field) {
  if (field == "1") return TAccessMethod::Deny;
  if (field == "2") return TAccessMethod::Password;
  return TAccessMethod::Grant;
}

std::string Number(auto method) { return std::to_string(static_cast<int>(method)); }

}  // namespace

std::string RedirStateLine(bool checked, TRedirAction action, std::string_view target, std::string_view user,
                           std::string_view password) {
  return std::string(checked ? "1" : "0") + "|" + Number(action) + "|" + std::string(target) + "|" +
         Credential(user, password);
}

std::string AclStateLine(bool checked, TAccessMethod method, std::string_view user, std::string_view password) {
  return std::string(checked ? "1" : "0") + "|" + Number(method) + "|" + Credential(user, password);
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

std::vector<TRedirEntry> RedirEntriesOf(const std::vector<std::string>& items, const std::vector<std::string>& lines) {
  // Fields of a redirection state line: check | action | target | credential.
  std::vector<TRedirEntry> entries;
  entries.reserve(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    TRedirEntry& entry = entries.emplace_back();
    entry.Pattern = items[i];
    if (i >= lines.size()) continue;
    const auto fields = SplitText(lines[i], '|');
    entry.Checked = StateLineChecked(lines[i]);
    entry.Action = RedirActionOf(FieldOf(fields, 1));
    entry.Target = FieldOf(fields, 2);
    entry.Credential = FieldOf(fields, 3);
  }
  return entries;
}

std::vector<TAclEntry> AclEntriesOf(const std::vector<std::string>& items, const std::vector<std::string>& lines) {
  // Fields of an access-control state line: check | method | credential.
  std::vector<TAclEntry> entries;
  entries.reserve(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    TAclEntry& entry = entries.emplace_back();
    entry.Address = items[i];
    if (i >= lines.size()) continue;
    const auto fields = SplitText(lines[i], '|');
    entry.Checked = StateLineChecked(lines[i]);
    entry.Method = AccessMethodOf(FieldOf(fields, 1));
    entry.Credential = FieldOf(fields, 2);
  }
  return entries;
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
