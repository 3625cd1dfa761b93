#pragma once
// What a first start takes over from elsewhere: the settings, lists and counters of the WebWasher
// filter, read from its WWASHER.INI, and which ISP dial-up software is installed, for the offer of
// the ISP's web proxy. Both are found through keys of the per-user store. Any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/UserStore.h"

namespace tarnwick {

inline constexpr char kWebWasherKey[] = "Software\\Siemens\\WebWasher";
inline constexpr char kAolKey[] = "Software\\America Online\\AOL";
inline constexpr char kTOnlineKey[] = "HKEY_LOCAL_MACHINE\\Software\\Online Pro GmbH & Co. KG";
inline constexpr char kTOnlineOtherKey[] = "HKEY_LOCAL_MACHINE\\Software\\Deutsche Telekom Online Service GmbH";

// The ISPs' web proxies, offered on port 80.
inline constexpr char kAolProxyHost[] = "proxy.aol.com";
inline constexpr char kTOnlineProxyHost[] = "www-proxy.t-online.de";
inline constexpr char kIspProxyPort[] = "80";

struct TWebWasherSettings {
  std::string Port;
  bool AllowOthers = false;
  std::string ProxyName;
  std::string ProxyPort;
  bool UseProxy = false;
  bool FltImages = true, FltWindows = true, FltScripts = true, FltFrames = true, FltForms = true, FltText = true,
       FltLayers = true;
  bool FilterByDim = true, ReplaceTrans = true, IgnoreNoDims = true;
  // Counters in the order FltImagesCnt, FltWindowsCnt, FltScriptsCnt, FltFramesCnt, FltLayersCnt,
  // FltFormsCnt, ImgCnt, ConnCnt, SentCnt, RecvCnt, RecvProxyCnt.
  std::int64_t FltImagesCnt = 0, FltWindowsCnt = 0, FltScriptsCnt = 0, FltFramesCnt = 0, FltLayersCnt = 0,
               FltFormsCnt = 0, ImgCnt = 0, ConnCnt = 0, SentCnt = 0, RecvCnt = 0, RecvProxyCnt = 0;

  std::vector<std::pair<int, int>> Sizes;
  std::vector<std::string> BlockEntries;  // exceptions, "! " and the host
  std::vector<std::string> RedirEntries;  // patterns and "[address]" entries
};

// The WWASHER.INI of an installed WebWasher, or nothing when the key, its "InstallPath" or the
// file is missing.
std::optional<std::string> FindWebWasherIni(const TUserStore& store);

// Reads the settings of the file. A dimension line that is not two numbers around a comma is
// passed over.
TWebWasherSettings ReadWebWasherSettings(const std::string& path);

struct TIspSoftware {
  bool Aol = false;
  bool TOnline = false;
};

TIspSoftware DetectIspSoftware(const TUserStore& store);

}  // namespace tarnwick
