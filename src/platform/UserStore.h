#pragma once
// TUserStore: the per-user store that takes the place of the current user's registry. It is an INI
// file in the settings directory: each section is a key path ("Software\Brevikor\Tarnwick"), each
// value keeps its name and its type, written as a type prefix and the data:
//   Name=dword:0000002a            32-bit integer (booleans are 0 and 1), eight hex digits
//   Name=hex:9a,99,99,99,99,99,f6,3f  raw bytes
//   Name=sz:text                   a string
// A value of another type than the one asked for, or with unreadable data, reads as missing.
// The file is created readable by its owner only, since it may hold the security password.
//
// User-interface thread only (one object per thread; every call goes to the file).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/IniFile.h"

namespace tarnwick {

class TUserStore {
 public:
  explicit TUserStore(std::string path) : File(std::move(path), 0600) {}

  bool ValueExists(std::string_view key, std::string_view name) const;
  // A key exists when its section does, even an empty one.
  bool KeyExists(std::string_view key) const;
  // The names of the key's values, in the order the file lists them.
  std::vector<std::string> ValueNames(std::string_view key) const;
  // The names of the key's direct subkeys (the next path element of every longer key below it),
  // each once, in the order the file lists them.
  std::vector<std::string> SubKeyNames(std::string_view key) const;

  std::optional<std::uint32_t> ReadInteger(std::string_view key, std::string_view name) const;
  std::optional<bool> ReadBool(std::string_view key, std::string_view name) const;
  std::optional<std::string> ReadBinary(std::string_view key, std::string_view name) const;
  std::optional<std::string> ReadString(std::string_view key, std::string_view name) const;

  // Each returns false when the file cannot be written.
  bool WriteInteger(std::string_view key, std::string_view name, std::uint32_t value);
  bool WriteBool(std::string_view key, std::string_view name, bool value) {
    return WriteInteger(key, name, value ? 1 : 0);
  }
  bool WriteBinary(std::string_view key, std::string_view name, std::string_view bytes);
  bool WriteString(std::string_view key, std::string_view name, std::string_view value);

  const std::string& Path() const { return File.Path(); }

 private:
  TIniFile File;
};

}  // namespace tarnwick
