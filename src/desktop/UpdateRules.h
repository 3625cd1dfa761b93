#pragma once
// The rules of the update check that need no network: the installed version text, the textual
// version comparison, the version file, the local file name of a download, and when the
// automatic check runs. Pure functions; any thread.

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// The version the program reports and compares.
inline constexpr double kCurrentVersion = 1.4;
// Where version files are published, unless TARNWICK_UPDATE_URL names another directory.
inline constexpr char kUpdateBaseUrl[] = "https://tarnwick.example.org/update/";
inline constexpr char kUpdateCompanyText[] = "Brevikor - Germany";

// One digit after the point whatever the locale: 1.4 gives "1.4".
std::string InstalledVersionText(double version);

// True when `offered` sorts after `installed` byte by byte (a proper prefix sorts first): 1.4.1 is
// newer than 1.4, 1.10 is not.
bool IsNewerVersion(std::string_view installed, std::string_view offered);

struct TVersionFile {
  std::string CurVer;
  std::string Product;
  std::string Size;
  std::string BrowseURL;
  std::string DownloadURL;
  std::string Sha256;  // lower-case hex, empty when the file gives none
};

// The [Update] section of the version file at `path`; every missing key reads as empty text.
TVersionFile ReadVersionFile(const std::string& path);

// The part of `url` after its last "/", empty when it has none. A name that could leave the
// download directory ("." or "..") is empty as well.
std::string DownloadFileName(std::string_view url);

// The version file's name as the language file gives it, reduced to a plain file name; "update.ini"
// when the language file has no entry (the key comes back) or gives nothing usable.
std::string VersionFileName(std::string_view translated);

// "Product  V1.5  /  (Size)".
std::string ProductLine(const TVersionFile& file);

// What a start (or an opening of the settings) does about the automatic check, given the day of
// the last check and now, both as days since 30 December 1899.
enum class TAutoCheck {
  Nothing,          // the same day
  Advance,          // a new day: LastUpdate := now, kept in memory
  AdvanceAndCheck,  // more than 30 days since the last day of use: also check
  ResetAndSave,     // LastUpdate lies in the future: LastUpdate := now, saved at once
};

TAutoCheck DecideAutoCheck(double lastUpdate, double now);

// The base address of the version files: TARNWICK_UPDATE_URL when set, with a "/" added.
std::string UpdateBaseUrl();

}  // namespace tarnwick
