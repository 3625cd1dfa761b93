#pragma once
// The access log: one Common Log Format line per client connection, appended to TARNWICK.LOG.
// Lines are built on the connection's thread; the file belongs to the user-interface thread, which
// is the only one to open, write, empty or close it (connections hand their line over and wait).

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/FileDescriptor.h"

namespace tarnwick {

struct TLogRecord {
  std::string ClientAddress;  // empty when the request failed before it was known
  std::string RequestLine;    // exactly as received
  std::int32_t StatusCode = 0;
  std::int64_t ContentLength = -1;  // -1: logged as "-"
};

// "addr - - [dd/Mon/yyyy:hh:mm:ss +hhmm] "request line" status size" CR LF. Month names are English
// whatever the locale. Quotes, backslashes and bytes outside printable ASCII in the request line are
// escaped (\" \\ \xHH) as the common web servers do, so that a log reader always sees one field.
std::string FormatLogLine(const TLogRecord& record, const std::tm& localTime, std::string_view timeZone);

std::string EscapeLogText(std::string_view text);

// The log file. User-interface thread only.
class TAccessLog {
 public:
  explicit TAccessLog(std::string path) : FilePath(std::move(path)) {}

  // Opens the file for appending, creating it when missing, and locks it (an advisory lock that
  // other writers respect) while it is open; false when it cannot be opened or another process
  // holds the lock.
  bool Open();
  void Close() { File.Reset(); }
  bool IsOpen() const { return File.Valid(); }
  // Empties the file, reopening it when it was open; false when it cannot be created or is locked
  // by another process (it is then left as it is).
  bool Clear();
  // Appends a line when the file is open; a failing write is not reported.
  void Append(std::string_view line);
  const std::string& Path() const { return FilePath; }

 private:
  std::string FilePath;
  TFileDescriptor File;
};

}  // namespace tarnwick
