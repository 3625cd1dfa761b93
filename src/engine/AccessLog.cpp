#include "engine/AccessLog.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tarnwick {

std::string EscapeLogText(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      escaped += '\\';
      escaped += c;
    } else if (byte < 0x20 || byte > 0x7E) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      escaped += hex;
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string FormatLogLine(const TLogRecord& record, const std::tm& localTime, std::string_view timeZone) {
  static constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char stamp[48];
  std::snprintf(stamp, sizeof stamp, " [%02d/%s/%04d:%02d:%02d:%02d ", localTime.tm_mday,
                kMonths[(localTime.tm_mon % 12 + 12) % 12], localTime.tm_year + 1900, localTime.tm_hour,
                localTime.tm_min, localTime.tm_sec);
  std::string line = record.ClientAddress;
  line.append(" - -").append(stamp).append(timeZone).append("]");
  line.append(" \"").append(EscapeLogText(record.RequestLine)).append("\" ");
  line.append(std::to_string(record.StatusCode));
  line.append(record.ContentLength == -1 ? std::string(" -") : " " + std::to_string(record.ContentLength));
  line.append("\r\n");
  return line;
}

namespace {

// The log has one writer: the file is locked for as long as this program holds it open, and a
// file that another process has locked is left alone. Readers are not hindered.
TFileDescriptor OpenLocked(const std::string& path, int flags) {
  TFileDescriptor file(::open(path.c_str(), flags | O_CREAT | O_CLOEXEC, 0644));
  if (!file.Valid()) return file;
  int locked;
  do {
    locked = ::flock(file.Get(), LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) file.Reset();
  return file;
}

}  // namespace

bool TAccessLog::Open() {
  if (IsOpen()) return true;
  File = OpenLocked(FilePath, O_RDWR | O_APPEND);
  return IsOpen();
}

bool TAccessLog::Clear() {
  const bool wasOpen = IsOpen();
  Close();
  // Emptied only under the lock, so that another writer's file is never cut short.
  TFileDescriptor emptied = OpenLocked(FilePath, O_WRONLY);
  if (!emptied.Valid() || ::ftruncate(emptied.Get(), 0) != 0) return false;
  emptied.Reset();
  return wasOpen ? Open() : true;
}

void TAccessLog::Append(std::string_view line) {
  if (!IsOpen()) return;
  size_t written = 0;
  while (written < line.size()) {
    const ssize_t done = ::write(File.Get(), line.data() + written, line.size() - written);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return;
    written += static_cast<size_t>(done);
  }
}

}  // namespace tarnwick
