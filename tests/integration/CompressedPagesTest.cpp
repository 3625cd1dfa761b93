// Compressed pages through the running proxy: decoded for the content filters and sent decoded,
// byte for byte as the same page sent plain; the codings the filters cannot read pass untouched.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "filters/Filters.h"
#include "filters/ImageFilter.h"
#include "filters/PopupFilter.h"
#include "integration/ContentTestPages.h"
#include "integration/ProxyFixture.h"
#include "support/Compression.h"

namespace tarnwick::test {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

const std::string kPage =
    "<html><head><title>News</title></head>\n"
    "<body onLoad=\"window.open('http://ads.example/pop')\">\n"
    "<p>News <img src=\"http://ads.example/banner.gif\" width=468 height=60> today</p>\n"
    "<a href=http://ads.example/click>Click</a> rest <img src=/logo.gif>\n"
    "</body></html>\n";

std::string Encoded(const std::string& coding, const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Encoding: " + coding +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

class CompressedPagesTest : public ProxyFixture {
 protected:
  void Start(const std::function<void(TPrefsSettings&)>& adjust = {}) {
    StartProxy(
        [&](TPrefsSettings& s) {
          s.BlockItems = {"ads.example"};
          s.BlockChecked = {true};
          s.DontFilterWhen = TDontFilterWhen::AlwaysFilter;
          s.TagFilter = true;
          s.FltImages = s.FltText = s.FltWindows = true;
          s.Popups = TPopupRule::FilterOpened;
          if (adjust) adjust(s);
        },
        std::make_shared<const TTarnwickFilters>());
  }
  std::string Get(const std::string& extraHeaders = "") {
    return Ask("GET " + OriginUrl("/page.html") + " HTTP/1.1\r\n" + extraHeaders + "\r\n");
  }
  // The page as the filters give it when the server sends it plain.
  std::string FilteredPlain(const std::string& page) {
    Origin.SetResponse(Response("text/html", page));
    return BodyOf(Get());
  }
};

TEST_F(CompressedPagesTest, EveryReadableCodingIsFilteredExactlyAsThePlainPage) {
  Start();
  const std::string plain = FilteredPlain(kPage);
  ASSERT_THAT(plain, Not(HasSubstr("banner.gif"))) << "the filters act on the plain page";
  const std::pair<const char*, std::function<std::string(std::string_view)>> codings[] = {
      {"gzip", Gzip}, {"X-Gzip", Gzip}, {"deflate", ZlibDeflate}, {"Deflate", RawDeflate}, {"br", Brotli}};
  for (const auto& [coding, encode] : codings) {
    Origin.SetResponse(Encoded(coding, encode(kPage)));
    const std::string answer = Get();
    EXPECT_EQ(plain, BodyOf(answer)) << coding;
    EXPECT_EQ("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n", HeadOf(answer))
        << coding << ": no Content-Encoding and no length for the decoded page";
  }
}

TEST_F(CompressedPagesTest, AChunkedCompressedPageIsFilteredToo) {
  Start();
  const std::string plain = FilteredPlain(kPage);
  const std::string gz = Gzip(kPage);
  std::string chunked;
  for (size_t at = 0; at < gz.size(); at += 13) {
    const std::string piece = gz.substr(at, 13);
    char size[16];
    std::snprintf(size, sizeof size, "%zx", piece.size());
    chunked += std::string(size) + "\r\n" + piece + "\r\n";
  }
  Origin.SetResponse(
      "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n"
      "Content-Encoding: gzip\r\n\r\n" +
      chunked + "0\r\n\r\n");
  EXPECT_EQ(plain, BodyOf(Get()));
}

TEST_F(CompressedPagesTest, CodingsTheFiltersCannotReadPassUnchanged) {
  Start();
  for (const char* coding : {"zstd", "compress", "gzip, br"}) {
    const std::string body = std::string("\x28\xb5\x2f\xfd opaque ", 13) + coding;
    Origin.SetResponse(Encoded(coding, body));
    const std::string answer = Get();
    EXPECT_EQ(body, BodyOf(answer)) << coding;
    EXPECT_THAT(HeadOf(answer), HasSubstr("Content-Encoding: " + std::string(coding) + "\r\n"));
  }
}

TEST_F(CompressedPagesTest, ABombIsFilteredUpToTheBoundAndTheRestPassesDecoded) {
  Start([](TPrefsSettings& s) { s.Popups = TPopupRule::Off; });
  const std::string filler(20 * 1024 * 1024, ' ');
  const std::string page = "<img src=http://ads.example/first.gif>" + filler + "<img src=http://ads.example/last.gif>";
  Origin.SetResponse(Encoded("gzip", Gzip(page)));
  const std::string body = BodyOf(Get());
  EXPECT_EQ(filler.size() + 37, body.size()) << "the first tag removed, everything else decoded";
  EXPECT_THAT(body, Not(HasSubstr("first.gif")));
  EXPECT_THAT(body, EndsWith("<img src=http://ads.example/last.gif>")) << "past the bound nothing is filtered";
}

TEST_F(CompressedPagesTest, ADamagedStreamPassesWhatWasDecodedAndTheLogSaysHowMuch) {
  Start([](TPrefsSettings& s) { s.Popups = TPopupRule::Off; });
  std::string page;
  for (int i = 0; i < 2000; ++i) page += "<p>line " + std::to_string(i) + " <img src=http://ads.example/x.gif></p>\n";
  const std::string plain = FilteredPlain(page);
  const std::string gz = Gzip(page);
  Origin.SetResponse(Encoded("gzip", gz.substr(0, gz.size() / 2)));
  const std::string body = BodyOf(Get());
  EXPECT_GT(body.size(), 1000u);
  EXPECT_LT(body.size(), plain.size());
  EXPECT_EQ(plain.substr(0, body.size()), body) << "what was decoded went out filtered";
  EXPECT_THAT(LogLines(2)[1], EndsWith("\" 200 " + std::to_string(body.size())));
}

TEST_F(CompressedPagesTest, ADamagedStreamWithThePopupScriptsIsLoggedAtTheLengthSent) {
  Start([](TPrefsSettings& s) { s.Popups = TPopupRule::FilterOpened; });
  std::string page;
  for (int i = 0; i < 2000; ++i) page += "<p>line " + std::to_string(i) + "</p>\n";
  const std::string gz = Gzip(page);
  Origin.SetResponse(Encoded("gzip", gz.substr(0, gz.size() / 2)));
  const std::string body = BodyOf(Get());
  EXPECT_THAT(body, EndsWith(std::string(kPopupCloseScript)));
  const auto lines = LogLines(1);
  ASSERT_EQ(1u, lines.size());
  EXPECT_THAT(lines[0], EndsWith("\" 200 " + std::to_string(body.size()))) << "each script counted once";
}

TEST_F(CompressedPagesTest, APictureInsideGzipIsLookedAt) {
  Start([](TPrefsSettings& s) {
    s.FilterByDim = true;
    s.ReplaceTrans = true;
    s.ImageSizes = {{468, 60}};
    s.SizeChecked = {true};
  });
  const std::string gif = GifFile(468, 60);
  Origin.SetResponse("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Encoding: gzip\r\n\r\n" + Gzip(gif));
  EXPECT_EQ(std::string(kTransparentGifAnswer), Get());
  const std::string other = GifFile(100, 100);
  Origin.SetResponse("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-Encoding: gzip\r\n\r\n" + Gzip(other));
  EXPECT_EQ(other, BodyOf(Get())) << "a picture that passes goes out decoded";
}

TEST_F(CompressedPagesTest, TheServerIsOfferedOnlyReadableCodingsWhenAFilterCouldAct) {
  const std::string offered = "Accept-Encoding: gzip, deflate, br, zstd;q=0.9, *;q=0.1\r\n";
  Start();
  Get(offered);
  EXPECT_THAT(OriginSaw(0), HasSubstr("\r\nAccept-Encoding: gzip, deflate, br\r\n"));
  Change([](TPrefsSettings& s) {
    s.TagFilter = false;
    s.Popups = TPopupRule::Off;
  });
  Get(offered);
  EXPECT_THAT(OriginSaw(1), HasSubstr("\r\n" + offered)) << "no filter would read the body";
}

TEST_F(CompressedPagesTest, APageKeepsItsLeadingDoctypeFirst) {
  Start();
  const std::string start = "\xEF\xBB\xBF<!-- generated -->\n<!DOCTYPE html>";
  const std::string page = start + "\n<html><body>text</body></html>";
  Origin.SetResponse(Encoded("gzip", Gzip(page)));
  EXPECT_EQ(start + std::string(kPopupOpenScript) + "\n<html><body>text</body></html>" + std::string(kPopupCloseScript),
            BodyOf(Get()));
  Origin.SetResponse(Response("text/html", "<html>no doctype</html>"));
  EXPECT_THAT(BodyOf(Get()), StartsWith(std::string(kPopupOpenScript) + "<html>")) << "without one, as before";
}

}  // namespace
}  // namespace tarnwick::test
