#include "filters/ImageFilter.h"

#include <string>

#include "engine/FilterProxyControl.h"
#include "engine/ImageParsers.h"

namespace tarnwick {

namespace {

constexpr std::int32_t kImageBufferSize = 8192;
// The size headers of both formats lie well within this prefix.
constexpr std::int32_t kSizePrefix = 1500;
// First-frame mode looks this far for the second frame.
constexpr std::int32_t kAnimationPrefix = 8000;

constexpr std::string_view kGifType = "image/gif";
constexpr std::string_view kJpegType = "image/jpeg";

enum TAnims : std::int32_t { kLeaveAnims = 0, kFirstFrameOnly = 1, kRepeatAnims = 2 };

// Fills the image buffer with the body until it holds `upTo` bytes or the body ends.
void ReadPrefix(TFilterProxyControl& request, std::int32_t upTo) {
  TBuffer& buffer = request.ImageBuffer;
  while (buffer.WritePos < upTo) {
    const std::int32_t got = request.ReadBody(buffer.Data() + buffer.WritePos, upTo - buffer.WritePos);
    if (got == 0) return;
    buffer.WritePos += got;
  }
}

// The head, the held bytes and, unless the held bytes are the whole answer, the rest of the body.
void SendHeldPicture(TFilterProxyControl& request, bool withRest) {
  request.SendResponseHead();
  TBuffer& held = request.ImageBuffer;
  const auto bytes = held.Peek();
  const auto count = static_cast<std::int32_t>(bytes.size());
  const bool sent = count == 0 || request.SendData(bytes.data(), count) == count;
  held.Clear();
  if (sent && withRest) request.RelayRestOfBody();
}

void AnswerBanner(TFilterProxyControl& request) {
  if (request.Settings->ReplaceTrans) {
    request.StatusCode = 200;
    request.ReasonPhrase = "OK";
    request.ContentLength = 42;
    request.SendText(kTransparentGifAnswer);
  } else {
    request.AnswerWith(TStatus::PageBlocked);
  }
}

bool ParseSize(const TFilterProxyControl& request, bool gif, TPictureSize& size) {
  return gif ? GifSize(request.ImageBuffer, size) : JpegSize(request.ImageBuffer, size);
}

}  // namespace

constexpr char kTransparentGifBytes[] =
    "HTTP/1.0 200 OK\r\nServer: Tarnwick  V1.4\r\nContent-type: image/gif\r\nContent-length: 42\r\n\r\n"
    "\x47\x49\x46\x38\x39\x61\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF\x21\xF9\x04\x01\x00"
    "\x00\x01\x00\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x01\x4C\x00\x3B";
const std::string_view kTransparentGifAnswer(kTransparentGifBytes, sizeof kTransparentGifBytes - 1);
// The answer names the program like every answer the proxy makes itself.
static_assert(std::string_view(kTransparentGifBytes + 25, kAppNameVer.size()) == kAppNameVer);

bool MatchImageSize(const TPrefsSettings& settings, std::int32_t width, std::int32_t height) {
  for (size_t i = 0; i < settings.ImageSizes.size(); ++i) {
    if (IsChecked(settings.SizeChecked, i) && settings.ImageSizes[i] == TImageSize{width, height}) return true;
  }
  return false;
}

bool FilterImage(TFilterProxyControl& request) {
  if (request.ExceptionHit) return false;
  // The whole header value, exactly: a variant type or a parameter means "not examined".
  const bool gif = request.ContentType == kGifType;
  if (!gif && request.ContentType != kJpegType) return false;
  request.Prefs->ImgCnt.fetch_add(1, std::memory_order_relaxed);

  const TPrefsSettings& settings = *request.Settings;
  const bool sizeCheck = settings.FilterByDim && !settings.IgnoreNoDims;
  const bool animation = gif && (settings.Anims == kFirstFrameOnly || settings.Anims == kRepeatAnims);
  // Nothing here would change the picture: it passes exactly as the server framed it.
  if (!sizeCheck && !animation) return false;
  if (!request.StartFilteredBody()) return false;

  request.ImageBuffer.SetCapacity(kImageBufferSize);
  request.ImageBuffer.Clear();
  ReadPrefix(request, kSizePrefix);
  if (request.ImageBuffer.Empty()) {
    SendHeldPicture(request, false);
    return true;
  }

  if (sizeCheck) {
    TPictureSize size;
    if (!ParseSize(request, gif, size)) {
      SendHeldPicture(request, true);
      return true;
    }
    if (MatchImageSize(settings, size.Width, size.Height)) {
      AnswerBanner(request);
      return true;
    }
  }

  if (animation && settings.Anims == kFirstFrameOnly) {
    ReadPrefix(request, kAnimationPrefix);
    if (GifAnimation(request.ImageBuffer, 0, true)) {
      // The cut picture is all that is sent, so its exact length is known.
      request.ContentLength = request.ImageBuffer.Unread();
      SendHeldPicture(request, false);
      return true;
    }
  } else if (animation) {
    GifAnimation(request.ImageBuffer, settings.NumAnims, false);
  }
  SendHeldPicture(request, true);
  return true;
}

}  // namespace tarnwick
