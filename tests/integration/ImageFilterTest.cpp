// The image filter through the running proxy: banner sizes, animations and the pictures it must
// leave alone, byte for byte on the wire.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "filters/Filters.h"
#include "filters/ImageFilter.h"
#include "integration/ContentTestPages.h"
#include "integration/ProxyFixture.h"

namespace tarnwick::test {
namespace {

using ::testing::EndsWith;
using ::testing::StartsWith;

class ImageFilterTest : public ProxyFixture {
 protected:
  // Banner size 468 x 60 checked, 120 x 600 listed but unchecked, dimension filter on.
  void Start(const std::function<void(TPrefsSettings&)>& adjust = {}) {
    StartProxy(
        [&](TPrefsSettings& s) {
          s.FilterByDim = true;
          s.ReplaceTrans = true;
          s.ImageSizes = {{468, 60}, {120, 600}};
          s.SizeChecked = {true, false};
          if (adjust) adjust(s);
        },
        std::make_shared<const TTarnwickFilters>());
  }
  std::string Get(const std::string& path = "/picture") { return Ask("GET " + OriginUrl(path) + " HTTP/1.0\r\n\r\n"); }
  // What the proxy sends for an untouched picture.
  static std::string Passed(const std::string& type, const std::string& body) {
    return "HTTP/1.0 200 OK\r\nContent-Type: " + type + "\r\nContent-length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
  }
};

TEST_F(ImageFilterTest, ABannerSizedGifBecomesTheTransparentAnswer) {
  Start();
  Origin.SetResponse(Response("image/gif", GifFile(468, 60)));
  EXPECT_EQ(std::string(kTransparentGifAnswer), Get());
  EXPECT_EQ(1, Prefs->ImgCnt.load());
  EXPECT_THAT(LogLines(1).at(0), EndsWith("\" 200 42"));
  const std::string gif = BodyOf(std::string(kTransparentGifAnswer));
  EXPECT_EQ(42u, gif.size());
  EXPECT_EQ("GIF89a", gif.substr(0, 6));
}

TEST_F(ImageFilterTest, WithoutReplaceTransABannerIsBlocked) {
  Start([](TPrefsSettings& s) { s.ReplaceTrans = false; });
  Origin.SetResponse(Response("image/jpeg", JpegFile(468, 60, 900)));
  const std::string answer = Get();
  EXPECT_THAT(answer, StartsWith("HTTP/1.0 403 Page Blocked\r\n"));
  EXPECT_THAT(answer, ::testing::HasSubstr(OriginUrl("/picture")));
}

TEST_F(ImageFilterTest, OtherSizesUncheckedSizesAndUnreadablePicturesPassUnchanged) {
  Start();
  for (const std::string& body : {GifFile(469, 60), GifFile(120, 600, 1, false, "GIF87a"), std::string("GIF8"),
                                  JpegFile(468, 60, 2000), std::string("not a picture at all")}) {
    Origin.SetResponse(Response("image/jpeg", body));
    EXPECT_EQ(Passed("image/jpeg", body), Get());
  }
  Origin.SetResponse(Response("image/gif", GifFile(120, 600)));
  EXPECT_EQ(Passed("image/gif", GifFile(120, 600)), Get());
}

TEST_F(ImageFilterTest, TheSizeIsReadOnlyWhenIgnoreNoDimsIsOff) {
  Start([](TPrefsSettings& s) { s.IgnoreNoDims = true; });
  Origin.SetResponse(Response("image/gif", GifFile(468, 60)));
  EXPECT_EQ(Passed("image/gif", GifFile(468, 60)), Get());
  EXPECT_EQ(1, Prefs->ImgCnt.load()) << "still counted as an image received";
}

TEST_F(ImageFilterTest, TypesWithParametersOrVariantsAreNotExamined) {
  Start();
  for (const std::string type : {"image/gif; name=b.gif", "image/pjpeg", "IMAGE/GIF"}) {
    Origin.SetResponse(Response(type, GifFile(468, 60)));
    EXPECT_EQ(Passed(type, GifFile(468, 60)), Get()) << type;
  }
  EXPECT_EQ(0, Prefs->ImgCnt.load());
}

TEST_F(ImageFilterTest, FirstFrameModeCutsTheAnimationAndCorrectsItsLength) {
  Start([](TPrefsSettings& s) { s.Anims = TAnimationRule::FirstFrameOnly; });
  const std::string animated = GifFile(100, 100, 3, true);
  Origin.SetResponse(Response("image/gif", animated));
  const size_t second = animated.find("\x21\xF9\x04", animated.find("\x21\xF9\x04") + 1);
  const std::string cut = animated.substr(0, second) + ";";
  EXPECT_EQ(Passed("image/gif", cut), Get());
  EXPECT_THAT(LogLines(1).at(0), EndsWith("\" 200 " + std::to_string(cut.size())));

  Origin.SetResponse(Response("image/gif", GifFile(100, 100, 1)));
  EXPECT_EQ(Passed("image/gif", GifFile(100, 100, 1)), Get()) << "one frame passes unchanged";
}

TEST_F(ImageFilterTest, FirstFrameModeLooksAtTheFirst8000BytesOnly) {
  Start([](TPrefsSettings& s) { s.Anims = TAnimationRule::FirstFrameOnly; });
  std::string late = GifFile(10, 10, 1);
  late.pop_back();
  late += std::string(9000, '\0') + GifFile(10, 10, 1).substr(19);
  Origin.SetResponse(Response("image/gif", late));
  EXPECT_EQ(Passed("image/gif", late), Get());
}

TEST_F(ImageFilterTest, RepeatModeSetsTheLoopCountAndKeepsTheLength) {
  Start([](TPrefsSettings& s) {
    s.Anims = TAnimationRule::RepeatNumAnims;
    s.NumAnims = 3;
  });
  const std::string animated = GifFile(100, 100, 2, true);
  std::string expected = animated;
  const size_t loop = animated.find("NETSCAPE2.0");
  expected[loop + 13] = '\x03';
  expected[loop + 14] = '\x00';
  Origin.SetResponse(Response("image/gif", animated));
  EXPECT_EQ(Passed("image/gif", expected), Get());
  Origin.SetResponse(Response("image/gif", GifFile(100, 100, 2)));
  EXPECT_EQ(Passed("image/gif", GifFile(100, 100, 2)), Get()) << "no looping extension";
}

TEST_F(ImageFilterTest, AChunkedPictureIsDecodedBeforeItIsEdited) {
  Start([](TPrefsSettings& s) {
    s.Anims = TAnimationRule::RepeatNumAnims;
    s.NumAnims = 5;
  });
  const std::string animated = GifFile(100, 100, 2, true) + std::string(5000, 'd');
  std::string expected = animated;
  expected[animated.find("NETSCAPE2.0") + 13] = '\x05';
  Origin.SetResponse(ChunkedResponse("image/gif", animated, 333));
  EXPECT_EQ("HTTP/1.1 200 OK\r\nContent-Type: image/gif\r\nConnection: close\r\n\r\n" + expected, Get());
}

TEST_F(ImageFilterTest, APictureNoFilterWouldChangeKeepsItsChunkedFraming) {
  Start([](TPrefsSettings& s) { s.FilterByDim = false; });
  const std::string chunked = ChunkedResponse("image/gif", GifFile(468, 60), 5);
  Origin.SetResponse(chunked);
  EXPECT_EQ(BodyOf(chunked), BodyOf(Get()));
}

TEST_F(ImageFilterTest, AfterAnExceptionPicturesPassUntouchedAndUncounted) {
  Start([](TPrefsSettings& s) {
    s.RequestFilter = true;
    s.Anims = TAnimationRule::FirstFrameOnly;
    s.BlockItems = {"! /picture"};
    s.BlockChecked = {true};
  });
  const std::string animated = GifFile(468, 60, 3);
  Origin.SetResponse(Response("image/gif", animated));
  EXPECT_EQ(Passed("image/gif", animated), Get());
  EXPECT_EQ(0, Prefs->ImgCnt.load());
}

TEST_F(ImageFilterTest, AnEmptyPictureGetsTheHeadOnly) {
  Start();
  Origin.SetResponse("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\n");
  EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nConnection: close\r\n\r\n", Get());
}

}  // namespace
}  // namespace tarnwick::test
