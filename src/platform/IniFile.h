#pragma once
// TIniFile: a Windows-style INI file ("[section]" lines, then "key=value" lines) read and written
// the way the Windows profile functions do it: section and key names compare without regard to
// ASCII letter case, values are read with surrounding blanks removed, and every read and every
// write goes to the file itself, so two objects on one path always agree.
//
// Writes replace the file through a temporary file and a rename, so a crash never leaves half a
// settings file. Values are kept on one line: a CR or LF in a name or value is written as a blank,
// since it would otherwise start a line of its own (and could forge a section or key).
//
// One object is used by one thread at a time; the file is not locked against other processes.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {

class TIniFile {
 public:
  using TValues = std::vector<std::pair<std::string, std::string>>;

  // A file on disk; it need not exist yet. `mode` is the permission of a newly created file.
  explicit TIniFile(std::string path, unsigned mode = 0644);
  // A file held in memory only, starting with `text`: the same reads and writes, no disk.
  static TIniFile InMemory(std::string text);

  // The value of `key` in `section`, or `defaultValue` when the file, section or key is missing.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue = {}) const;
  std::optional<std::string> Read(std::string_view section, std::string_view key) const;
  bool SectionExists(std::string_view section) const;
  // The names of all sections, in file order.
  std::vector<std::string> SectionNames() const;
  // Every "key=value" line of the section in file order (lines without "=" are left out).
  TValues ReadSection(std::string_view section) const;

  // Sets one value, adding the section and key when missing. False when the file cannot be written.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool DeleteKey(std::string_view section, std::string_view key);
  // Removes the section with all its keys; true also when there was none.
  bool EraseSection(std::string_view section);
  // Replaces the whole content of the section by `values`, in one write.
  bool WriteSection(std::string_view section, const TValues& values);

  // The whole file as text; empty when it does not exist.
  std::string Text() const;
  const std::string& Path() const { return FilePath; }
  bool InMemoryOnly() const { return Memory; }

 private:
  TIniFile() = default;
  std::vector<std::string> LoadLines() const;
  bool SaveLines(const std::vector<std::string>& lines);

  std::string FilePath;
  unsigned Mode = 0644;
  bool Memory = false;
  std::string MemoryText;
};

}  // namespace tarnwick
