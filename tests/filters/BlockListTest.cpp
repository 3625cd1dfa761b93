// The block list's matching rule, prepared and plain, against a reference written straight from the
// per-entry rule, on random lists and URLs; and the prepared form's guard against stale lists.

#include "filters/BlockList.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/FilterChain.h"
#include "engine/FilterProxyControl.h"
#include "filters/Filters.h"

namespace tarnwick {
namespace {

// The rule, entry by entry, in the most literal form.
struct TReferenceResult {
  bool Blocked = false;
  bool ExceptionHit = false;
};

std::string Lowered(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

TReferenceResult ReferenceMatch(const TPrefsSettings& s, const std::string& url, const std::string& referer,
                                const std::string& requestUrl) {
  TReferenceResult result;
  for (size_t i = 0; i < s.BlockItems.size(); ++i) {
    const bool checked = i < s.BlockChecked.size() && s.BlockChecked[i];
    if (checked && !s.BlockItems[i].empty() && Lowered(url).find(Lowered(s.BlockItems[i])) != std::string::npos) {
      result.Blocked = true;
      break;
    }
  }
  for (size_t i = 0; i < s.BlockItems.size(); ++i) {
    const bool checked = i < s.BlockChecked.size() && s.BlockChecked[i];
    const std::string& entry = s.BlockItems[i];
    if (!checked || entry.size() <= 2 || entry.compare(0, 2, "! ") != 0) continue;
    const std::string text = entry.substr(2);
    if (url.find(text) != std::string::npos || referer.find(text) != std::string::npos ||
        requestUrl.find(text) != std::string::npos) {
      result.Blocked = false;
      result.ExceptionHit = true;
      break;
    }
  }
  return result;
}

class BlockListTest : public ::testing::Test {
 protected:
  // A request object that is never connected: only its settings and URL fields are used.
  std::unique_ptr<TFilterProxyControl> MakeRequest(TPrefsSettings settings, bool prepared) {
    if (prepared) PrepareFilters(settings);
    auto request = std::make_unique<TFilterProxyControl>(Prefs, Chain, std::make_unique<TSockStream>());
    request->Settings = std::make_shared<const TPrefsSettings>(std::move(settings));
    return request;
  }
  bool Blocks(const std::vector<std::string>& items, const std::string& url, const std::string& referer = "") {
    TPrefsSettings settings;
    settings.BlockItems = items;
    settings.BlockChecked.assign(items.size(), true);
    for (const bool prepared : {true, false}) {
      auto request = MakeRequest(settings, prepared);
      request->Url = url;
      request->RequestReferer = referer;
      request->ExceptionHit = true;  // BlockCheck starts from a clear mark
      const bool blocked = BlockCheck(*request);
      if (prepared) {
        PreparedResult = blocked;
        LastExceptionHit = request->ExceptionHit;
      } else {
        EXPECT_EQ(PreparedResult, blocked) << url;
        EXPECT_EQ(LastExceptionHit, request->ExceptionHit) << url;
      }
    }
    return PreparedResult;
  }

  std::shared_ptr<TCorvanePrefs> Prefs = std::make_shared<TCorvanePrefs>("+0000");
  std::shared_ptr<const TFilterChain> Chain = std::make_shared<const TFilterChain>();
  bool PreparedResult = false;
  bool LastExceptionHit = false;
};

TEST_F(BlockListTest, PatternsIgnoreCaseAndMatchAnywhereExceptionsDoNot) {
  EXPECT_TRUE(Blocks({"doubleclick"}, "http://AD.DoubleClick.NET/x"));
  EXPECT_TRUE(Blocks({"doubleclick"}, "http://example.com/?ref=doubleclick"));
  EXPECT_TRUE(Blocks({"/ads/"}, "http://example.com/ads/b.gif"));
  EXPECT_FALSE(Blocks({"/ads/"}, "http://example.com/ads"));
  EXPECT_TRUE(Blocks({"banner", "! Site.example"}, "http://img.example/banner.gif", "http://site.example/"));
  EXPECT_FALSE(Blocks({"banner", "! Site.example"}, "http://img.example/banner.gif", "http://Site.example/"));
  EXPECT_TRUE(Blocks({"site.example"}, "http://Site.Example/"));
  EXPECT_FALSE(Blocks({""}, "http://example.com/"));
  EXPECT_TRUE(Blocks({"! "}, "http://example.com/! x")) << "\"! \" is found as a pattern, never as an exception";
  EXPECT_FALSE(LastExceptionHit);
}

TEST_F(BlockListTest, AnExceptionOverridesEveryPatternAndMarksTheConnectionEvenWithoutOne) {
  EXPECT_FALSE(Blocks({"a", "b", "c", "! keep"}, "http://abc/keep"));
  EXPECT_TRUE(LastExceptionHit);
  EXPECT_FALSE(Blocks({"! keep"}, "http://other/", "http://keep/"));
  EXPECT_TRUE(LastExceptionHit) << "an exception applies whether or not a pattern matched";
}

TEST_F(BlockListTest, MatchesTheLiteralRuleOnRandomListsAndUrls) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  // A small alphabet makes overlaps, shared prefixes and case differences common.
  const std::string alphabet = "aAbB/.! ";
  const auto text = [&](size_t maxLength) {
    std::string out(random() % (maxLength + 1), ' ');
    for (char& c : out) c = alphabet[random() % alphabet.size()];
    return out;
  };
  for (int round = 0; round < 3000; ++round) {
    TPrefsSettings settings;
    const size_t entries = round % 10 == 0 ? 300 : random() % 12;
    for (size_t i = 0; i < entries; ++i) {
      settings.BlockItems.push_back((random() % 3 == 0 ? "! " : "") + text(5));
      settings.BlockChecked.push_back(random() % 4 != 0);
    }
    settings.BlockChecked.resize(settings.BlockChecked.size() - random() % 2 * std::min<size_t>(entries, 2));
    const std::string url = text(40), referer = text(20), requestUrl = text(40);
    const TReferenceResult expected = ReferenceMatch(settings, url, referer, requestUrl);
    for (const bool prepared : {true, false}) {
      auto request = MakeRequest(settings, prepared);
      request->RequestReferer = referer;
      request->Url = requestUrl;
      ASSERT_EQ(prepared, PreparedFor(*request->Settings) != nullptr);
      ASSERT_EQ(expected.Blocked, MatchBlockList(*request, url))
          << (prepared ? "prepared" : "plain") << " round " << round << " url [" << url << "]";
      ASSERT_EQ(expected.ExceptionHit, request->ExceptionHit) << (prepared ? "prepared" : "plain") << " round " << round;
    }
  }
}

TEST_F(BlockListTest, APreparedListCopiedAndChangedIsNotUsedForTheNewList) {
  TPrefsSettings settings;
  settings.BlockItems = {"ads"};
  settings.BlockChecked = {true};
  PrepareFilters(settings);
  TPrefsSettings moved = std::move(settings);
  EXPECT_NE(nullptr, PreparedFor(moved)) << "a move keeps the prepared list usable";

  TPrefsSettings copy = moved;
  copy.BlockItems = {"tracker"};
  EXPECT_EQ(nullptr, PreparedFor(copy));
  auto request = MakeRequest(copy, false);
  EXPECT_TRUE(MatchBlockList(*request, "http://tracker.example/"));
  EXPECT_FALSE(MatchBlockList(*request, "http://ads.example/"));
}

}  // namespace
}  // namespace tarnwick
