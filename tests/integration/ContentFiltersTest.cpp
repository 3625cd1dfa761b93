// The HTML filter, the popup scripts and the word analysis through the running proxy, byte for
// byte on the wire.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <atomic>
#include <thread>

#include "filters/Filters.h"
#include "filters/PopupFilter.h"
#include "filters/TagFilter.h"
#include "filters/WordFilter.h"
#include "integration/ContentTestPages.h"
#include "integration/ProxyFixture.h"
#include "prefs/ListStates.h"

namespace tarnwick::test {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

const std::string kPage =
    "<html><head><script>if (a < b) f(); window.open('x')</script></head>\n"
    "<body onLoad=\"window.open('http://ads.example/pop')\">\n"
    "<!-- <img src=http://ads.example/in-comment.gif> -->\n"
    "<p>News <img src=\"http://ads.example/banner.gif\" width=468 height=60> today</p>\n"
    "<a href=http://ads.example/click>Click <img src=/logo.gif> me</a> rest\n"
    "<frame src=http://ads.example/frame.html><iframe src=http://ads.example/w>inner</iframe>\n"
    "</body></html>\n";

class ContentFiltersTest : public ProxyFixture {
 protected:
  void Start(const std::function<void(TPrefsSettings&)>& adjust = {}) {
    StartProxy(
        [&](TPrefsSettings& s) {
          s.BlockItems = {"ads.example"};
          s.BlockChecked = {true};
          s.DontFilterWhen = TDontFilterWhen::AlwaysFilter;
          if (adjust) adjust(s);
        },
        std::make_shared<const TTarnwickFilters>());
  }
  static void AllTags(TPrefsSettings& s) {
    s.TagFilter = true;
    s.FltImages = s.FltForms = s.FltFrames = s.FltLayers = s.FltScripts = s.FltText = s.FltWindows = true;
  }
  // A word entry with its state line: "1|action|target|".
  static void WordEntry(TPrefsSettings& s, const std::string& entry, const std::string& action,
                        const std::string& target = "") {
    s.EnableRedir = true;
    s.HasWordEntries = true;
    s.RedirEntries.push_back(RedirEntriesOf({entry}, {"1|" + action + "|" + target + "|"}).front());
  }
  std::string Get(const std::string& path = "/page.html") {
    return Ask("GET " + OriginUrl(path) + " HTTP/1.0\r\n\r\n");
  }
};

TEST_F(ContentFiltersTest, WithTheTagFilterAndPopupsOffAPagePassesByteForByte) {
  Start();
  const std::string page = kPage + "<unfinished";
  Origin.SetResponse(Response("text/html", page));
  EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-length: " + std::to_string(page.size()) +
                "\r\nConnection: close\r\n\r\n" + page,
            Get());
  const std::string chunked = ChunkedResponse("text/html", kPage, 50);
  Origin.SetResponse(chunked);
  EXPECT_EQ(BodyOf(chunked), BodyOf(Get())) << "no filter: the chunked framing passes as it came";
}

TEST_F(ContentFiltersTest, TheTagFilterRemovesBlockedTagsAndCountsThem) {
  Start(AllTags);
  Origin.SetResponse(Response("text/html", kPage));
  const std::string answer = Get();
  EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n", HeadOf(answer))
      << "a filtered page announces no length: the close ends it";
  EXPECT_EQ(
      "<html><head><script>if (a < b) f(); window.open('x')</script></head>\n"
      "<body onLoad=\"window.open('http://ads.example/pop')\">\n"
      "<!-- <img src=http://ads.example/in-comment.gif> -->\n"
      "<p>News  today</p>\n"
      " rest\n"
      "<FRAME SRC=http://--TARNWICK--/blank.html>inner</iframe>\n"
      "</body></html>\n",
      BodyOf(answer));
  EXPECT_EQ(2, Prefs->FltImagesCnt.load()) << "the banner and the image inside the removed link";
  EXPECT_EQ(1, Prefs->FltTextCnt.load());
  EXPECT_EQ(1, Prefs->FltFramesCnt.load());
  EXPECT_EQ(1, Prefs->FltWindowsCnt.load());
  EXPECT_THAT(LogLines(1).at(0), EndsWith("\" 200 -"));
}

TEST_F(ContentFiltersTest, TheReplacementFrameIsServedByTheProxyItself) {
  Start(AllTags);
  const int before = Origin.Connections();
  const std::string answer = Ask("GET http://--TARNWICK--/blank.html HTTP/1.0\r\n\r\n");
  EXPECT_THAT(answer, StartsWith("HTTP/1.0 200 OK\r\n"));
  EXPECT_EQ(before, Origin.Connections());
}

TEST_F(ContentFiltersTest, TheSizeRuleWorksThroughTheProxy) {
  Start([](TPrefsSettings& s) {
    AllTags(s);
    s.BlockItems.clear();
    s.BlockChecked.clear();
    s.FilterByDim = true;
    s.ImageSizes = {{468, 60}};
    s.SizeChecked = {true};
  });
  Origin.SetResponse(Response("text/html", "a<img src=x.gif width=468 height=60>b"));
  EXPECT_EQ("ab", BodyOf(Get()));
}

TEST_F(ContentFiltersTest, ObjectsOnThePagesOwnHostAreExemptWhenTheUserSaysSo) {
  Start([](TPrefsSettings& s) {
    AllTags(s);
    s.BlockItems = {"banner"};
    s.DontFilterWhen = TDontFilterWhen::SameDomain;
  });
  const std::string own = "<img src=" + OriginUrl("/banner.gif") + ">";
  Origin.SetResponse(Response("text/html", own + "|<img src=http://elsewhere.example/banner.gif>"));
  EXPECT_EQ(own + "|", BodyOf(Get()));
}

TEST_F(ContentFiltersTest, ATagWithoutEndPassesAsTextAndTheTagsAfterItAreStillFiltered) {
  Start(AllTags);
  const std::string endless = "<" + std::string(1 << 20, 'x');
  Origin.SetResponse(Response("text/html", endless + "><img src=http://ads.example/b.gif>end"));
  EXPECT_TRUE(BodyOf(Get()) == endless + ">end");
}

TEST_F(ContentFiltersTest, PopupScriptsWrapThePageAndCallsInTagsAreReplaced) {
  Start([](TPrefsSettings& s) { s.Popups = TPopupRule::FilterOpened; });
  Origin.SetResponse(Response("text/html", kPage));
  const std::string answer = Get();
  EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n", HeadOf(answer));
  std::string expected = kPage;
  expected.replace(expected.find("window.open('http://"), 11, "KVXOpen");
  EXPECT_EQ(std::string(kPopupOpenScript) + expected + std::string(kPopupCloseScript), BodyOf(answer))
      << "the script's own call between tags stays; the one in onLoad is replaced";
}

TEST_F(ContentFiltersTest, AChunkedPageIsDecodedFilteredAndSentWithoutTransferEncoding) {
  Start(AllTags);
  for (size_t chunk : {1, 7, 64, 4096}) {
    Origin.SetResponse(ChunkedResponse("text/html; charset=utf-8", kPage, chunk));
    const std::string answer = Get();
    EXPECT_EQ("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n\r\n", HeadOf(answer));
    EXPECT_THAT(BodyOf(answer), HasSubstr("<p>News  today</p>\n rest\n<FRAME SRC=http://--TARNWICK--/blank.html>"));
    EXPECT_THAT(BodyOf(answer), EndsWith("</body></html>\n")) << "chunk " << chunk;
  }
}

TEST_F(ContentFiltersTest, ALargePageStreamsWholeAcrossManyReads) {
  Start(AllTags);
  std::string page;
  std::string expected;
  for (int i = 0; i < 20000; ++i) {
    page += "<p>row " + std::to_string(i) + " <img src=http://ads.example/" + std::to_string(i) + ".gif></p>\n";
    expected += "<p>row " + std::to_string(i) + " </p>\n";
  }
  Origin.SetResponse(Response("text/html", page, false));
  EXPECT_EQ(expected, BodyOf(Get()));
  EXPECT_EQ(20000, Prefs->FltImagesCnt.load());
}

TEST_F(ContentFiltersTest, AWordEntryHitReplacesTheWholePage) {
  Start([](TPrefsSettings& s) { WordEntry(s, "<poker chips>", "1"); });
  Origin.SetResponse(Response("text/html", "<p>Cheap CHIPS</p>" + std::string(50000, ' ') + "<b>Poker</b>"));
  const std::string answer = Get();
  EXPECT_THAT(answer, StartsWith("HTTP/1.0 403 Page Blocked\r\n"));
  EXPECT_THAT(answer, Not(HasSubstr("Cheap")));
}

TEST_F(ContentFiltersTest, AWordEntryCanRedirect) {
  Start([](TPrefsSettings& s) { WordEntry(s, "<casino>", "2", "http://elsewhere.example/"); });
  Origin.SetResponse(Response("text/html", "<title>Casino</title>"));
  const std::string answer = Get();
  EXPECT_THAT(answer, StartsWith("HTTP/1.0 302 "));
  EXPECT_THAT(answer, HasSubstr("\r\nLocation: http://elsewhere.example/\r\n"));
}

TEST_F(ContentFiltersTest, APageWithoutAllWordsIsSentWithItsExactLength) {
  Start([](TPrefsSettings& s) {
    WordEntry(s, "<poker chips>", "1");
    WordEntry(s, "<poker  night>", "1");
    s.WordCase = true;
  });
  for (const std::string page : {"<p>poker night</p>", "<p>Poker chips</p>", ""}) {
    Origin.SetResponse(Response("text/html", page, false));
    EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-length: " + std::to_string(page.size()) +
                  "\r\nConnection: close\r\n\r\n" + page,
              Get())
        << page;
  }
}

TEST_F(ContentFiltersTest, ACollectedPageWithPopupsCarriesTheScriptsInItsLength) {
  Start([](TPrefsSettings& s) {
    WordEntry(s, "<poker>", "1");
    AllTags(s);
    s.Popups = TPopupRule::FilterOpened;
  });
  Origin.SetResponse(Response("text/html", "<body onload=window.open()>x<img src=http://ads.example/b.gif></body>"));
  const std::string body =
      std::string(kPopupOpenScript) + "<body onload=KVXOpen()>x</body>" + std::string(kPopupCloseScript);
  EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-length: " + std::to_string(body.size()) +
                "\r\nConnection: close\r\n\r\n" + body,
            Get());
  EXPECT_THAT(LogLines(1).at(0), EndsWith("\" 200 " + std::to_string(body.size())));
}

TEST_F(ContentFiltersTest, CollectionStopsAt16MiBAndTheRestStreamsAfterIt) {
  Start([](TPrefsSettings& s) { WordEntry(s, "<poker chips>", "1"); });
  const std::string filler(static_cast<size_t>(kMaxCollectedPage) + 1000, 'f');
  // The second word lies beyond what is collected: the page is not replaced, and it arrives whole.
  const std::string late = "poker " + filler + " chips";
  Origin.SetResponse(Response("text/html", late));
  const std::string answer = Get();
  EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n", HeadOf(answer));
  EXPECT_TRUE(BodyOf(answer) == late) << "the page arrives whole, " << BodyOf(answer).size() << " bytes";
  // Both words within the collected part: replaced.
  Origin.SetResponse(Response("text/html", "poker chips " + filler));
  EXPECT_THAT(Get(), StartsWith("HTTP/1.0 403 Page Blocked\r\n"));
}

TEST_F(ContentFiltersTest, PagesCollectedAtOnceShareOneBudgetAndEveryPageStillArrives) {
  constexpr std::int64_t kBudget = 1 << 20;
  Start([](TPrefsSettings& s) {
    WordEntry(s, "<poker chips>", "1");
    s.Limits.WordBudgetBytes = kBudget;
  });
  const std::string page = "<p>" + std::string(400000, 'p') + "</p>";
  Origin.SetResponse(Response("text/html", page));
  std::atomic<bool> done{false};
  std::atomic<std::int64_t> peak{0};
  std::thread watcher([&] {
    while (!done) {
      peak = std::max(peak.load(), Prefs->CollectedBytes.load());
      std::this_thread::yield();
    }
  });
  constexpr int kClients = 8;
  std::atomic<int> whole{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&] {
      if (BodyOf(Get()) == page) ++whole;
    });
  }
  for (auto& client : clients) client.join();
  done = true;
  watcher.join();
  EXPECT_EQ(kClients, whole.load());
  EXPECT_LE(peak.load(), kBudget);
  EXPECT_EQ(0, Prefs->CollectedBytes.load()) << "every page gives its share back";
}

TEST_F(ContentFiltersTest, WithTheBudgetSpentOnlyTheFirstBytesAreSearched) {
  constexpr std::int64_t kBudget = 1 << 20;
  Start([](TPrefsSettings& s) {
    WordEntry(s, "<poker chips>", "1");
    s.Limits.WordBudgetBytes = kBudget;
  });
  Prefs->CollectedBytes = kBudget;  // other pages hold all of it
  const std::string late = std::string(5000, 'f') + " poker chips";
  Origin.SetResponse(Response("text/html", late));
  EXPECT_TRUE(BodyOf(Get()) == late) << "the words lie beyond what could be collected";
  Origin.SetResponse(Response("text/html", "poker chips" + std::string(5000, 'f')));
  EXPECT_THAT(Get(), StartsWith("HTTP/1.0 403 Page Blocked\r\n"));
  EXPECT_EQ(kBudget, Prefs->CollectedBytes.load());
}

}  // namespace
}  // namespace tarnwick::test
