// Explaining a request: the decisions and the entry named for each, and, on random lists, the same
// verdicts as the prepared block list the filters match with.

#include "filters/Explain.h"

#include <gtest/gtest.h>

#include <random>

#include "prefs/BlockListMatcher.h"

namespace tarnwick {
namespace {

TPrefsSettings WithBlockList(std::vector<std::string> items) {
  TPrefsSettings settings;
  settings.RequestFilter = true;
  settings.BlockChecked.assign(items.size(), true);
  settings.BlockItems = std::move(items);
  return settings;
}

std::string Steps(const TExplanation& explanation) {
  std::string text;
  for (const auto& step : explanation.Steps) text += step + "\n";
  return text;
}

TEST(ExplainTest, ABlockHitNamesTheFirstEntryInListOrder) {
  TPrefsSettings settings = WithBlockList({"/ads/", "BANNER", "unticked"});
  settings.BlockChecked[2] = false;
  const auto explanation = ExplainRequest(settings, {"http://cdn.example/banner/ads/x.gif", "", "127.0.0.1"});
  EXPECT_EQ("403 Page Blocked", explanation.Outcome);
  EXPECT_NE(std::string::npos, Steps(explanation).find("blocked by entry \"/ads/\"")) << Steps(explanation);
  EXPECT_EQ(-1, FirstBlockingEntry(settings, "http://example/unticked"));
}

TEST(ExplainTest, AnExceptionFoundInTheRefererLetsItThrough) {
  const TPrefsSettings settings = WithBlockList({"banner", "! mysite.example"});
  const auto explanation =
      ExplainRequest(settings, {"http://cdn.example/banner.gif", "http://mysite.example/page", "127.0.0.1"});
  EXPECT_EQ("forwarded to the server", explanation.Outcome);
  EXPECT_NE(std::string::npos,
            Steps(explanation).find("exception \"! mysite.example\" found in the Referer lets the request through"))
      << Steps(explanation);
  EXPECT_NE(std::string::npos, Steps(explanation).find("(entry \"banner\" matched)"));
  EXPECT_EQ("403 Page Blocked",
            ExplainRequest(settings, {"http://cdn.example/banner.gif", "http://MySite.example/", "127.0.0.1"}).Outcome)
      << "exceptions are case-sensitive";
}

TEST(ExplainTest, RedirectionComesBeforeTheBlockListAndServerAddressesNeedLiterals) {
  TPrefsSettings settings = WithBlockList({"shop"});
  settings.EnableRedir = true;
  settings.RedirEntries = {{"[10.0.0.9]", true, TRedirAction::Block, "", ""},
                           {"SHOP.example", true, TRedirAction::Redirect, "http://elsewhere.example/", ""}};
  auto explanation = ExplainRequest(settings, {"http://shop.example/cart", "", "127.0.0.1"});
  EXPECT_EQ("302 redirect to http://elsewhere.example/", explanation.Outcome);
  EXPECT_NE(std::string::npos, Steps(explanation).find("entry \"SHOP.example\" matches, action redirect"));
  explanation = ExplainRequest(settings, {"http://10.0.0.9:8080/", "", "127.0.0.1"});
  EXPECT_EQ("403 Page Blocked", explanation.Outcome);
  EXPECT_NE(std::string::npos, Steps(explanation).find("entry \"[10.0.0.9]\" matches, action block"));
}

TEST(ExplainTest, AccessListAndModesComeFirst) {
  TPrefsSettings settings = WithBlockList({"ads"});
  settings.AclEntries = {{"127.0.0.2", true, TAccessMethod::Deny, ""}};
  EXPECT_EQ("403 Forbidden", ExplainRequest(settings, {"http://ads.example/", "", "127.0.0.2"}).Outcome);
  EXPECT_EQ("403 Page Blocked", ExplainRequest(settings, {"http://ads.example/", "", "127.0.0.1"}).Outcome);
  settings.PassThru = true;
  EXPECT_EQ("forwarded unfiltered", ExplainRequest(settings, {"http://ads.example/", "", "127.0.0.1"}).Outcome);
  settings.Offline = true;
  EXPECT_EQ("304 Not Modified (offline)", ExplainRequest(settings, {"http://ads.example/", "", "127.0.0.1"}).Outcome);
}

TEST(ExplainTest, VerdictsAgreeWithThePreparedBlockListOnRandomLists) {
  std::mt19937 random(20261208);
  const std::string alphabet = "abAB/.! ";
  auto text = [&](int maxLength) {
    std::string t(random() % (maxLength + 1), ' ');
    for (char& c : t) c = alphabet[random() % alphabet.size()];
    return t;
  };
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::string> items;
    std::vector<bool> checked;
    for (int i = static_cast<int>(random() % 6); i > 0; --i) {
      items.push_back(random() % 3 == 0 ? "! " + text(3) : text(4));
      checked.push_back(random() % 4 != 0);
    }
    TPrefsSettings settings = WithBlockList(items);
    settings.BlockChecked = checked;
    const TBlockListMatcher matcher(items, checked);
    const std::string url = text(12), referer = text(8), requestUrl = text(10);
    ASSERT_EQ(matcher.AnyPatternIn(url), FirstBlockingEntry(settings, url) >= 0) << url;
    ASSERT_EQ(matcher.AnyExceptionIn(url, referer, requestUrl),
              FirstApplyingException(settings, url, referer, requestUrl).Index >= 0)
        << url << " | " << referer << " | " << requestUrl;
  }
}

}  // namespace
}  // namespace tarnwick
