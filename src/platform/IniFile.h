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
// Reading does not mean parsing again: the lines read last are kept with the file's identity, size
// and change times, and used again while those are unchanged and older than two seconds (a settings
// file of 20,000 list entries is read once at start-up, not once per setting). TOneReading makes
// a run of reads use one reading even of a file that changed a moment ago.
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

  // An in-memory copy of the present content, to be changed in many steps and written back with
  // WriteAll in one: a file of tens of thousands of list entries is not rewritten for every key.
  TIniFile Staged() const;
  // Replaces the whole content by `staged`'s in one write. False when the file cannot be written.
  bool WriteAll(const TIniFile& staged);

  // Reads made while one of these lives take the lines of one reading of the file, without asking
  // whether it changed in between: a run of reads that belong together (the settings restored at
  // start-up) sees one version of the file, read once however recently it was written.
  class TOneReading {
   public:
    explicit TOneReading(const TIniFile& file) : File(file) { ++File.OneReadings; }
    ~TOneReading() { --File.OneReadings; }
    TOneReading(const TOneReading&) = delete;
    TOneReading& operator=(const TOneReading&) = delete;

   private:
    const TIniFile& File;
  };

  // The whole file as text; empty when it does not exist.
  std::string Text() const;
  const std::string& Path() const { return FilePath; }
  bool InMemoryOnly() const { return Memory; }

 private:
  TIniFile() = default;
  // The file's lines, valid until the next call on this object.
  const std::vector<std::string>& LoadLines() const;
  // The same lines, to be changed in place and then written with SaveLines.
  std::vector<std::string>& LinesForChange();
  // Writes the lines as they are now; false (and the lines read again next time) on failure.
  bool SaveLines();

  // What tells one version of the file on disk from another.
  struct TFileStamp {
    unsigned long long Device = 0, Inode = 0;
    long long Size = -1, ModifiedNs = 0, ChangedNs = 0;
    friend bool operator==(const TFileStamp&, const TFileStamp&) = default;
  };
  // The stamp of the file now; Size -1 when it does not exist.
  TFileStamp StampNow() const;
  // Whether the file has been left alone long enough for its stamp to tell every later change.
  static bool StampSettled(const TFileStamp& stamp);

  std::string FilePath;
  unsigned Mode = 0644;
  bool Memory = false;
  std::string MemoryText;  // the text given, until its lines are first read
  // The lines last read or written, and the stamp of the file they came from. In memory: the
  // content itself once read.
  mutable std::vector<std::string> CachedLines;
  mutable TFileStamp CachedStamp;
  mutable bool Cached = false;
  mutable int OneReadings = 0;  // TOneReading objects alive
};

}  // namespace tarnwick
