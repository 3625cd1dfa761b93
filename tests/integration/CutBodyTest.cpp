// Bodies that end before their framing says: whatever was filtered goes out without a length and
// the client's connection ends with a reset, so no browser takes a short page for a whole one.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "filters/Filters.h"
#include "integration/ProxyFixture.h"
#include "prefs/ListStates.h"
#include "support/Loopback.h"

namespace tarnwick::test {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// What the proxy sent, and how the connection ended.
struct TAnswer {
  std::string Bytes;
  bool Reset = false;
};

class CutBodyTest : public ProxyFixture {
 protected:
  void Start(const std::function<void(TPrefsSettings&)>& adjust = {}) {
    StartProxy(
        [&](TPrefsSettings& s) {
          s.TagFilter = true;
          s.FltImages = true;
          if (adjust) adjust(s);
        },
        std::make_shared<const TTarnwickFilters>());
  }
  TAnswer Get() {
    TRawSocket client = ConnectTo(ProxyPort);
    client.Send("GET " + OriginUrl("/page.html") + " HTTP/1.0\r\n\r\n");
    TAnswer answer;
    char piece[4096];
    for (int rounds = 0; rounds < 200; ++rounds) {
      pollfd watch{client.Handle, POLLIN, 0};
      if (::poll(&watch, 1, 100) == 0) continue;
      const ssize_t got = ::recv(client.Handle, piece, sizeof piece, 0);
      if (got > 0) {
        answer.Bytes.append(piece, static_cast<size_t>(got));
        continue;
      }
      answer.Reset = got < 0 && errno == ECONNRESET;
      break;
    }
    return answer;
  }
};

const std::string kChunkedHead = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n";

TEST_F(CutBodyTest, AChunkedPageCutShortGoesOutWithoutLengthAndEndsInAReset) {
  Start();
  Origin.SetResponse(kChunkedHead + "40\r\n<html><body><p>the first part of a page");  // 40 hex promised
  const TAnswer cut = Get();
  EXPECT_THAT(cut.Bytes, StartsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_THAT(cut.Bytes, Not(HasSubstr("Content-length")));
  EXPECT_THAT(cut.Bytes, EndsWith("the first part of a page"));
  EXPECT_TRUE(cut.Reset) << cut.Bytes;

  // The same page whole ends in an orderly close.
  Origin.SetResponse(kChunkedHead + "9\r\n<p>all</p\r\n1\r\n>\r\n0\r\n\r\n");
  const TAnswer whole = Get();
  EXPECT_THAT(whole.Bytes, EndsWith("\r\n\r\n<p>all</p>"));
  EXPECT_FALSE(whole.Reset);
}

TEST_F(CutBodyTest, AWordAnalysedPageCutShortHasNoExactLength) {
  Start([](TPrefsSettings& s) {
    s.EnableRedir = true;
    s.HasWordEntries = true;
    s.RedirEntries.push_back(RedirEntriesOf({"<poker chips>"}, {"1|1||"}).front());
  });
  Origin.SetResponse(kChunkedHead + "100\r\n<html><body>a harmless page, cut");
  const TAnswer cut = Get();
  EXPECT_THAT(cut.Bytes, StartsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_THAT(cut.Bytes, Not(HasSubstr("Content-length")));
  EXPECT_THAT(cut.Bytes, EndsWith("a harmless page, cut"));
  EXPECT_TRUE(cut.Reset);

  // The proxy's own answer to a page refused for its words is whole, however the page ended.
  Origin.SetResponse(kChunkedHead + "100\r\n<html><body>poker chips, cut");
  const TAnswer refused = Get();
  EXPECT_THAT(refused.Bytes, StartsWith("HTTP/1.0 403 Page Blocked\r\n"));
  EXPECT_FALSE(refused.Reset);
}

TEST_F(CutBodyTest, AnUnfilteredBodyShortOfItsLengthEndsInAReset) {
  Start();
  Origin.SetResponse(
      "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 1000\r\n\r\n0123456789");
  const TAnswer cut = Get();
  EXPECT_THAT(cut.Bytes, HasSubstr("Content-length: 1000\r\n"));
  EXPECT_THAT(cut.Bytes, EndsWith("\r\n\r\n0123456789"));
  EXPECT_TRUE(cut.Reset);

  Origin.SetResponse(
      "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 10\r\n\r\n0123456789");
  EXPECT_FALSE(Get().Reset);
}

}  // namespace
}  // namespace tarnwick::test
