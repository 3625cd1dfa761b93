// Which responses the pipeline hands to the content filters, seen through a chain that records the
// calls and relays like the plain chain.

#include <gtest/gtest.h>

#include <atomic>

#include "engine/FilterProxyControl.h"
#include "integration/ProxyFixture.h"

namespace tarnwick::test {
namespace {

class TRecordingChain : public TFilterChain {
 public:
  bool FilterImage(TFilterProxyControl&) const override {
    ++ImageCalls;
    return false;
  }
  bool FilterHtml(TFilterProxyControl&) const override {
    ++HtmlCalls;
    return false;  // the pipeline relays the page itself
  }
  mutable std::atomic<int> ImageCalls{0};
  mutable std::atomic<int> HtmlCalls{0};
};

class FilterSeamTest : public ProxyFixture {
 protected:
  // Serves one response with `head` lines and returns whether it went through the HTML filter.
  bool ReachesHtmlFilter(const std::string& statusLine, const std::string& headerLines) {
    const std::string response = statusLine + "\r\n" + headerLines + "\r\n<p>page</p>";
    Origin.SetResponse(response);
    const int before = Chain->HtmlCalls;
    const std::string answer = Ask("GET " + OriginUrl("/") + " HTTP/1.0\r\n\r\n");
    EXPECT_NE(std::string::npos, answer.find("<p>page</p>")) << "the body always reaches the client";
    return Chain->HtmlCalls > before;
  }
  std::shared_ptr<TRecordingChain> Chain = std::make_shared<TRecordingChain>();
};

TEST_F(FilterSeamTest, OnlyUnencodedSuccessfulHtmlGoesToTheHtmlFilter) {
  StartProxy({}, Chain);
  EXPECT_TRUE(ReachesHtmlFilter("HTTP/1.0 200 OK", "Content-Type: text/html; charset=utf-8\r\n"));
  EXPECT_TRUE(ReachesHtmlFilter("HTTP/1.0 200 OK", "")) << "no type counts as text/html";
  EXPECT_TRUE(ReachesHtmlFilter("HTTP/1.0 200 OK", "Content-Type: text/html\r\nContent-Encoding: Identity\r\n"));
  EXPECT_TRUE(ReachesHtmlFilter("just a line without head", ""));
  EXPECT_FALSE(ReachesHtmlFilter("HTTP/1.0 404 Not Found", "Content-Type: text/html\r\n"));
  EXPECT_FALSE(ReachesHtmlFilter("HTTP/1.0 200 OK", "Content-Type: TEXT/HTML\r\n"));
  EXPECT_FALSE(ReachesHtmlFilter("HTTP/1.0 200 OK", "Content-Type: text/plain\r\n"));
}

TEST_F(FilterSeamTest, OnlyEncodingsTheDecodersReadReachTheContentFilters) {
  StartProxy({}, Chain);
  const auto html = [](const char* encoding) {
    return std::string("Content-Type: text/html\r\nContent-Encoding: ") + encoding + "\r\n";
  };
  for (const char* encoding : {"gzip", "GZIP", "x-gzip", "br", "deflate"}) {
    EXPECT_TRUE(ReachesHtmlFilter("HTTP/1.0 200 OK", html(encoding))) << encoding;
  }
  const int readable = Chain->ImageCalls.load();
  EXPECT_EQ(5, readable);
  for (const char* encoding : {"zstd", "compress", "gzip, br"}) {
    EXPECT_FALSE(ReachesHtmlFilter("HTTP/1.0 200 OK", html(encoding))) << encoding;
  }
  EXPECT_FALSE(ReachesHtmlFilter("HTTP/1.0 200 OK", html("gzip") + "Content-Encoding: gzip\r\n"))
      << "stacked codings in two lines";
  EXPECT_EQ(readable, Chain->ImageCalls.load()) << "unreadable bodies skip the image filter too";
}

TEST_F(FilterSeamTest, HeadAnd304AnswersSkipTheContentFilters) {
  StartProxy({}, Chain);
  Origin.SetResponse("HTTP/1.0 304 Not Modified\r\nContent-Type: text/html\r\n\r\n");
  EXPECT_EQ("HTTP/1.0 304 Not Modified\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n",
            Ask("GET " + OriginUrl("/") + " HTTP/1.0\r\n\r\n"));
  Origin.SetResponse("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\n");
  Ask("HEAD " + OriginUrl("/") + " HTTP/1.0\r\n\r\n");
  EXPECT_EQ(0, Chain->ImageCalls.load());
  EXPECT_EQ(0, Chain->HtmlCalls.load());
  Ask("GET " + OriginUrl("/") + " HTTP/1.0\r\n\r\n");
  EXPECT_EQ(1, Chain->ImageCalls.load());
}

}  // namespace
}  // namespace tarnwick::test
