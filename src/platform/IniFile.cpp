#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/FileDescriptor.h"

namespace tarnwick {

namespace {

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

// The name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const auto close = line.find(']');
  return Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

struct TKeyLine {
  std::string_view Key;
  std::string_view Value;
};

std::optional<TKeyLine> KeyLine(std::string_view line) {
  const auto trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return TKeyLine{Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))};
}

// The lines of one section: [Header, Begin) is its header line, [Begin, End) its body.
struct TSectionSpan {
  size_t Header = 0;
  size_t Begin = 0;
  size_t End = 0;
};

// The first section of that name; a later duplicate is never read nor written, as with Windows.
std::optional<TSectionSpan> FindSection(const std::vector<std::string>& lines, std::string_view section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto name = SectionName(lines[i]);
    if (!name || !SameName(*name, section)) continue;
    size_t end = i + 1;
    while (end < lines.size() && !SectionName(lines[end])) ++end;
    return TSectionSpan{i, i + 1, end};
  }
  return std::nullopt;
}

std::optional<size_t> FindKey(const std::vector<std::string>& lines, const TSectionSpan& span, std::string_view key) {
  for (size_t i = span.Begin; i < span.End; ++i) {
    const auto entry = KeyLine(lines[i]);
    if (entry && SameName(entry->Key, key)) return i;
  }
  return std::nullopt;
}

// Where a new key goes: after the section's last non-blank line.
size_t EndOfContent(const std::vector<std::string>& lines, const TSectionSpan& span) {
  size_t end = span.End;
  while (end > span.Begin && Trim(lines[end - 1]).empty()) --end;
  return end;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += '\n';
  }
  return text;
}

void AppendSection(std::vector<std::string>& lines, std::string_view section) {
  if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
  lines.push_back("[" + OneLine(section) + "]");
}

bool WriteWhole(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

TIniFile::TIniFile(std::string path, unsigned mode) : FilePath(std::move(path)), Mode(mode) {}

TIniFile TIniFile::InMemory(std::string text) {
  TIniFile file;
  file.Memory = true;
  file.MemoryText = std::move(text);
  return file;
}

std::string TIniFile::Text() const {
  if (Memory) return Cached ? JoinLines(CachedLines) : MemoryText;
  std::ifstream in(FilePath, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

TIniFile::TFileStamp TIniFile::StampNow() const {
  struct stat now {};
  if (::stat(FilePath.c_str(), &now) != 0) return {};
  return TFileStamp{static_cast<unsigned long long>(now.st_dev), static_cast<unsigned long long>(now.st_ino),
                    static_cast<long long>(now.st_size),
                    static_cast<long long>(now.st_mtim.tv_sec) * 1000000000LL + now.st_mtim.tv_nsec,
                    static_cast<long long>(now.st_ctim.tv_sec) * 1000000000LL + now.st_ctim.tv_nsec};
}

const std::vector<std::string>& TIniFile::LoadLines() const {
  if (Memory) {
    if (!Cached) CachedLines = SplitLines(MemoryText);
    Cached = true;
    return CachedLines;
  }
  if (Cached && OneReadings > 0) return CachedLines;
  // The stamp is taken before reading: a change while reading makes the next read read again.
  const TFileStamp stamp = StampNow();
  if (!Cached || stamp != CachedStamp || !StampSettled(stamp)) {
    CachedLines = SplitLines(Text());
    CachedStamp = stamp;
    Cached = true;
  }
  return CachedLines;
}

bool TIniFile::StampSettled(const TFileStamp& stamp) {
  // File times advance in clock ticks, not nanoseconds: a file changed within the last moments may
  // change again, to the same size, without a new time. Only an older stamp vouches for the lines.
  constexpr long long kSettledNs = 2'000'000'000;
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const long long nowNs = static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
  return stamp.ModifiedNs < nowNs - kSettledNs && stamp.ChangedNs < nowNs - kSettledNs;
}

std::vector<std::string>& TIniFile::LinesForChange() {
  LoadLines();
  return CachedLines;
}

bool TIniFile::SaveLines() {
  if (Memory) return true;  // the lines are the content
  // Until the file holds them, the changed lines are not what is on disk.
  Cached = false;
  const std::string text = JoinLines(CachedLines);
  // Keep the permissions of an existing file; a new one gets Mode.
  struct stat existing {};
  const mode_t mode = ::stat(FilePath.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : Mode;
  const std::string temporary = FilePath + ".tmp";
  bool written = false;
  {
    TFileDescriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
    if (!file.Valid()) return false;
    ::fchmod(file.Get(), mode);
    written = WriteWhole(file.Get(), text);
  }
  if (!written || ::rename(temporary.c_str(), FilePath.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  CachedStamp = StampNow();
  Cached = CachedStamp.Size >= 0;
  return true;
}

TIniFile TIniFile::Staged() const {
  TIniFile staged;
  staged.Memory = true;
  staged.CachedLines = LoadLines();
  staged.Cached = true;
  return staged;
}

bool TIniFile::WriteAll(const TIniFile& staged) {
  if (&staged == this) return SaveLines();
  LinesForChange() = staged.LoadLines();
  return SaveLines();
}

std::optional<std::string> TIniFile::Read(std::string_view section, std::string_view key) const {
  const auto& lines = LoadLines();
  const auto span = FindSection(lines, section);
  if (!span) return std::nullopt;
  const auto index = FindKey(lines, *span, key);
  if (!index) return std::nullopt;
  return std::string(KeyLine(lines[*index])->Value);
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const {
  auto value = Read(section, key);
  return value ? std::move(*value) : std::string(defaultValue);
}

bool TIniFile::SectionExists(std::string_view section) const { return FindSection(LoadLines(), section).has_value(); }

std::vector<std::string> TIniFile::SectionNames() const {
  std::vector<std::string> names;
  for (const auto& line : LoadLines()) {
    if (const auto name = SectionName(line)) names.emplace_back(*name);
  }
  return names;
}

TIniFile::TValues TIniFile::ReadSection(std::string_view section) const {
  const auto& lines = LoadLines();
  TValues values;
  const auto span = FindSection(lines, section);
  if (!span) return values;
  for (size_t i = span->Begin; i < span->End; ++i) {
    if (const auto entry = KeyLine(lines[i])) values.emplace_back(entry->Key, entry->Value);
  }
  return values;
}

bool TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::vector<std::string>& lines = LinesForChange();
  const std::string line = OneLine(key) + "=" + OneLine(value);
  auto span = FindSection(lines, section);
  if (!span) {
    AppendSection(lines, section);
    lines.push_back(line);
    return SaveLines();
  }
  if (const auto index = FindKey(lines, *span, key)) {
    lines[*index] = line;
  } else {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(EndOfContent(lines, *span)), line);
  }
  return SaveLines();
}

bool TIniFile::DeleteKey(std::string_view section, std::string_view key) {
  const auto& current = LoadLines();
  const auto span = FindSection(current, section);
  if (!span) return true;
  const auto index = FindKey(current, *span, key);
  if (!index) return true;
  std::vector<std::string>& lines = CachedLines;  // `current`, as found
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*index));
  return SaveLines();
}

bool TIniFile::EraseSection(std::string_view section) {
  const auto& current = LoadLines();
  const auto span = FindSection(current, section);
  if (!span) return true;
  std::vector<std::string>& lines = CachedLines;  // `current`, as found
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(span->Header),
              lines.begin() + static_cast<std::ptrdiff_t>(span->End));
  return SaveLines();
}

bool TIniFile::WriteSection(std::string_view section, const TValues& values) {
  std::vector<std::string>& lines = LinesForChange();
  std::vector<std::string> body;
  body.reserve(values.size());
  for (const auto& [key, value] : values) body.push_back(OneLine(key) + "=" + OneLine(value));
  if (const auto span = FindSection(lines, section)) {
    const size_t end = EndOfContent(lines, *span);
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(span->Begin),
                lines.begin() + static_cast<std::ptrdiff_t>(end));
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(span->Begin), body.begin(), body.end());
  } else {
    AppendSection(lines, section);
    lines.insert(lines.end(), body.begin(), body.end());
  }
  return SaveLines();
}

}  // namespace tarnwick
