#pragma once
// The image filter: GIF and JPEG responses whose picture size is on the user's size list are
// replaced by a transparent 1 x 1 GIF or refused; animated GIFs are cut to their first frame or get
// a fixed loop count. Only the first bytes of a picture are held; the rest streams through.
//
// Runs on the request's connection thread; reads its settings and counts into its shared counters.

#include <cstdint>
#include <string_view>

namespace tarnwick {

class TFilterProxyControl;
struct TPrefsSettings;

// The whole answer that replaces a banner: head and a 42-byte GIF89a of one transparent pixel.
extern const std::string_view kTransparentGifAnswer;

// Whether (width, height) is a checked entry of the size list.
bool MatchImageSize(const TPrefsSettings& settings, std::int32_t width, std::int32_t height);

// Whether the settings have this filter change pictures at all (a size check or an animation rule).
bool ImageFilterMayRead(const TPrefsSettings& settings);

// True when this filter has sent the response (filtered, replaced or passed on); false when it is
// not a picture this filter looks at, and the pipeline goes on with it untouched.
bool FilterImage(TFilterProxyControl& request);

}  // namespace tarnwick
