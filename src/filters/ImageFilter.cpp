#include "filters/ImageFilter.h"

#include <string>

#include "engine/FilterProxyControl.h"
#include "engine/ImageParsers.h"
#include "platform/Version.h"

namespace tarnwick {

namespace {

constexpr std::int32_t kImageBufferSize = 8192;
// The size headers of both formats lie well within this prefix.
constexpr std::int32_t kSizePrefix = 1500;
// First-frame mode looks this far for the second frame.
constexpr std::int32_t kAnimationPrefix = 8000;

constexpr std::string_view kGifType = "image/gif";
constexpr std::string_view kJpegType = "image/jpeg";

// Fills `held` with the body until it holds `upTo` bytes or the body ends.
void ReadPrefix(TFilterProxyControl& request, TBuffer& held, std::int32_t upTo) {
  while (held.WritePos < upTo) {
    const std::int32_t got = request.ReadBody(held.Data() + held.WritePos, upTo - held.WritePos);
    if (got == 0) return;
    held.WritePos += got;
  }
}

// The head, the held bytes and, unless the held bytes are the whole answer, the rest of the body.
void SendHeldPicture(TFilterProxyControl& request, TBuffer& held, bool withRest) {
  request.SendResponseHead();
  const auto bytes = held.Peek();
  const auto count = static_cast<std::int32_t>(bytes.size());
  const bool sent = count == 0 || request.SendData(bytes.data(), count) == count;
  held.Clear();
  if (sent && withRest) request.RelayRestOfBody();
}

void AnswerBanner(TFilterProxyControl& request) {
  if (request.Settings().ReplaceTrans) {
    request.AnswerVerbatim(kTransparentGifAnswer, 200, "OK", 42);
  } else {
    request.Answer(TStatus::PageBlocked);
  }
}

bool ParseSize(const TBuffer& held, bool gif, TPictureSize& size) {
  return gif ? GifSize(held, size) : JpegSize(held, size);
}

}  // namespace

constexpr char kTransparentGifBytes[] =
    "HTTP/1.0 200 OK\r\nServer: " TARNWICK_APP_NAME_VER
    "\r\nContent-type: image/gif\r\nContent-length: 42\r\n\r\n"
    "\x47\x49\x46\x38\x39\x61\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF\x21\xF9\x04\x01\x00"
    "\x00\x01\x00\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x01\x4C\x00\x3B";
const std::string_view kTransparentGifAnswer(kTransparentGifBytes, sizeof kTransparentGifBytes - 1);

bool MatchImageSize(const TPrefsSettings& settings, std::int32_t width, std::int32_t height) {
  for (size_t i = 0; i < settings.ImageSizes.size(); ++i) {
    if (IsChecked(settings.SizeChecked, i) && settings.ImageSizes[i] == TImageSize{width, height}) return true;
  }
  return false;
}

bool ImageFilterMayRead(const TPrefsSettings& settings) {
  return (settings.FilterByDim && !settings.IgnoreNoDims) || settings.Anims != TAnimationRule::Leave;
}

bool FilterImage(TFilterProxyControl& request) {
  if (request.ExceptionHit()) return false;
  // The whole header value, exactly: a variant type or a parameter means "not examined".
  const std::string& type = request.Response().ContentType;
  const bool gif = type == kGifType;
  if (!gif && type != kJpegType) return false;
  request.Shared().ImgCnt.fetch_add(1, std::memory_order_relaxed);

  const TPrefsSettings& settings = request.Settings();
  const bool sizeCheck = settings.FilterByDim && !settings.IgnoreNoDims;
  const bool animation = gif && settings.Anims != TAnimationRule::Leave;
  // Nothing here would change the picture: it passes exactly as the server framed it.
  if (!sizeCheck && !animation) return false;
  if (!request.StartFilteredBody()) return false;

  // The first bytes of the picture; the rest streams through.
  TBuffer held(kImageBufferSize);
  ReadPrefix(request, held, kSizePrefix);
  if (held.Empty()) {
    SendHeldPicture(request, held, false);
    return true;
  }

  if (sizeCheck) {
    TPictureSize size;
    if (!ParseSize(held, gif, size)) {
      SendHeldPicture(request, held, true);
      return true;
    }
    if (MatchImageSize(settings, size.Width, size.Height)) {
      AnswerBanner(request);
      return true;
    }
  }

  if (animation && settings.Anims == TAnimationRule::FirstFrameOnly) {
    ReadPrefix(request, held, kAnimationPrefix);
    if (GifAnimation(held, 0, true)) {
      // The cut picture is all that is sent, so its exact length is known.
      request.Response().ContentLength = held.Unread();
      SendHeldPicture(request, held, false);
      return true;
    }
  } else if (animation) {
    GifAnimation(held, settings.NumAnims, false);
  }
  SendHeldPicture(request, held, true);
  return true;
}

}  // namespace tarnwick
