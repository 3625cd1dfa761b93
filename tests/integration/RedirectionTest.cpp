// The redirection list's URL and server-address matching and its actions through the running
// proxy, byte for byte.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "integration/RequestFilterFixture.h"
#include "prefs/ListStates.h"
#include "text/UrlText.h"

namespace tarnwick::test {
namespace {

using ::testing::StartsWith;

struct TRedirLine {
  std::string Text;
  std::string State;  // check | action | target | credential
};

class RedirectionTest : public RequestFilterFixture {
 protected:
  // The entries as Apply makes them from the list and its state lines.
  void StartWithRedirections(const std::vector<TRedirLine>& lines, bool enabled = true) {
    Start([&](TPrefsSettings& s) {
      s.EnableRedir = enabled;
      std::vector<std::string> items, states;
      for (const TRedirLine& line : lines) {
        items.push_back(line.Text);
        states.push_back(line.State);
      }
      s.RedirEntries = RedirEntriesOf(items, states);
    });
  }
  // "ok" when served by the origin, "blocked", "401", or the whole answer otherwise.
  std::string Outcome(const std::string& url, const std::string& headerLines = "") {
    const std::string answer = Get(url, headerLines);
    if (answer == AnswerOf(TStatus::PageBlocked, url)) return "blocked";
    if (answer == AnswerOf(TStatus::RedirectorAuth, url)) return "401";
    if (answer.ends_with("\r\n\r\nok")) return "ok";
    return answer;
  }
  const std::string Password = Base64Encode("kid:letmein");
};

TEST_F(RedirectionTest, APatternRedirectsIgnoringCaseWithoutContactingTheServer) {
  StartWithRedirections({{"casino", "1|2|http://safe.example/start.html|Og=="}});
  EXPECT_EQ(
      "HTTP/1.0 302 Moved Temporarily\r\nServer: Tarnwick  V1.4\r\nLocation: http://safe.example/start.html\r\n\r\n",
      Get(OriginUrl("/Big-CASINO/win")));
  EXPECT_EQ(0, Origin.Connections());
  EXPECT_EQ("ok", Outcome(OriginUrl("/cards")));
}

TEST_F(RedirectionTest, BlockAndAnEmptyTargetAreAnsweredByTheProxy) {
  StartWithRedirections({{"poker", "1|1||"}, {"dice", "1|2||"}});
  EXPECT_EQ("blocked", Outcome(OriginUrl("/Poker")));
  EXPECT_EQ("HTTP/1.0 302 Moved Temporarily\r\nServer: Tarnwick  V1.4\r\nLocation: \r\n\r\n", Get(OriginUrl("/dice")));
  EXPECT_EQ(0, Origin.Connections());
}

TEST_F(RedirectionTest, AServerAddressInBracketsMatchesOnlyOnceTheServerIsConnected) {
  StartWithRedirections({{"[127.0.0.1]", "1|1||"}});
  EXPECT_EQ("blocked", Outcome(OriginUrl("/page")));
  // The proxy closes at once; the origin may accept the connection a moment after that.
  ASSERT_TRUE(WaitUntil([&] { return Origin.Connections() == 1; })) << "the server got a connection";
  EXPECT_EQ("", OriginSaw()) << "but no request";
  Apply([](TPrefsSettings& s) { s.RedirEntries[0].Pattern = "[127.0.0."; });
  EXPECT_EQ("blocked", Outcome(OriginUrl("/page"))) << "an address prefix names a range";
  Apply([](TPrefsSettings& s) { s.RedirEntries[0].Pattern = "[127.0.0.9]"; });
  EXPECT_EQ("ok", Outcome(OriginUrl("/page")));
}

TEST_F(RedirectionTest, APasswordEntryAsksOnEveryRequestWithoutTheCredential) {
  StartWithRedirections({{"games", "1|3||" + Password}});
  const std::string url = OriginUrl("/games/");
  EXPECT_THAT(Get(url), StartsWith("HTTP/1.0 401 Unauthorized\r\nServer: Tarnwick  V1.4\r\n"
                                   "WWW-Authenticate: basic realm=\"Tarnwick Redirector\"\r\n"));
  EXPECT_EQ("401", Outcome(url, Credential("kid", "guess")));
  EXPECT_EQ("ok", Outcome(url, Credential("kid", "letmein")));
  EXPECT_EQ("401", Outcome(url)) << "nothing is remembered";
  EXPECT_EQ(1, Origin.Connections());
}

TEST_F(RedirectionTest, TheFirstHitInListOrderDecides) {
  StartWithRedirections({{"ads", "1|0||"}, {"ads.example", "1|1||"}, {"tracker", "0|1||"}});
  EXPECT_EQ("ok", Outcome(OriginUrl("/ads.example/x"))) << "the earlier entry passes";
  EXPECT_EQ("ok", Outcome(OriginUrl("/tracker"))) << "unchecked";
  Apply([](TPrefsSettings& s) { std::swap(s.RedirEntries[0], s.RedirEntries[1]); });
  EXPECT_EQ("blocked", Outcome(OriginUrl("/ads.example/x")));
}

TEST_F(RedirectionTest, NothingHappensWithRedirectionOff) {
  StartWithRedirections({{"casino", "1|1||"}, {"[127.0.0.1]", "1|1||"}}, false);
  EXPECT_EQ("ok", Outcome(OriginUrl("/casino")));
  EXPECT_EQ("GET /casino HTTP/1.0\r\nUser-Agent: Tarnwick/ V1.4\r\nConnection: close\r\n\r\n", OriginSaw());
}

TEST_F(RedirectionTest, AStateLineWithoutActionLetsTheRequestPass) {
  StartWithRedirections({{"casino", "1"}, {"casino", "1|1||"}});
  EXPECT_EQ("ok", Outcome(OriginUrl("/casino")));
}

TEST_F(RedirectionTest, APasswordEntryWithoutCredentialNeverLetsThrough) {
  StartWithRedirections({{"games", "1|3|"}});
  EXPECT_EQ("401", Outcome(OriginUrl("/games"), "Authorization: Basic \r\n"));
  EXPECT_EQ("401", Outcome(OriginUrl("/games")));
}

}  // namespace
}  // namespace tarnwick::test
