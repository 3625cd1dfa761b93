#pragma once
// The product's version, from one place: CMake's project(VERSION ...), handed to every target of
// the program as TARNWICK_VERSION. Window captions, the proxy's own answers, the User-Agent mark
// and --version all spell it from here.

#include <string_view>

#ifndef TARNWICK_VERSION
#error "TARNWICK_VERSION comes from the build (CMakeLists.txt, project VERSION)"
#endif

// Macros as well as constants, so that fixed answers can be spelt as one literal at compile time.
#define TARNWICK_APP_NAME "Tarnwick"
// Name and version as the proxy's answers and pages show them (two blanks, then "V").
#define TARNWICK_APP_NAME_VER TARNWICK_APP_NAME "  V" TARNWICK_VERSION

namespace tarnwick {

inline constexpr std::string_view kVersion = TARNWICK_VERSION;
inline constexpr std::string_view kAppName = TARNWICK_APP_NAME;
inline constexpr std::string_view kAppNameVer = TARNWICK_APP_NAME_VER;

}  // namespace tarnwick
