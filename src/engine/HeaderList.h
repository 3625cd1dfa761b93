#pragma once
// THeaderList: the header lines of one request or response, in arrival order, each held as the
// text name "=" value. Names compare without regard to ASCII case; a lookup sees the first entry
// of a name only, and duplicates stay in the list. One thread at a time.

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class THeaderList {
 public:
  // "Name: value" becomes "Name=value" (one blank after the colon dropped); a line without a colon
  // is kept unchanged.
  void AddLine(std::string_view line);
  // The value of the first entry of that name; empty when there is none.
  std::string Get(std::string_view name) const;
  bool Has(std::string_view name) const;
  // Replaces the first entry of that name (spelt as given here) or appends one; an empty value
  // deletes the first entry of that name instead.
  void Set(std::string_view name, std::string_view value);
  // Like Set, and deletes any further entries of that name.
  void SetOnly(std::string_view name, std::string_view value);
  // Deletes every entry of that name.
  void RemoveAll(std::string_view name);
  void Clear() { Entries.clear(); }

  // "Name: value" CR LF for every entry, in order. An entry without "=" has an empty name.
  std::string HeadText() const;
  // One line "Name: value" for an entry, without CR LF.
  static std::string LineOf(std::string_view entry);

  const std::vector<std::string>& Lines() const { return Entries; }
  size_t Count() const { return Entries.size(); }

 private:
  std::vector<std::string>::iterator Find(std::string_view name);
  std::vector<std::string>::const_iterator Find(std::string_view name) const;

  std::vector<std::string> Entries;
};

}  // namespace tarnwick
