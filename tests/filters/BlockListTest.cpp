// The block list's matching rule, as prepared in every published snapshot, against a reference
// written straight from the per-entry rule, on random lists and URLs; and snapshots that always
// match their own lists.

#include "filters/BlockList.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/FilterChain.h"
#include "engine/FilterProxyControl.h"
#include "prefs/Prefs.h"

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
  // A request object that is never connected, under `settings` published: only its settings and
  // URL fields are used.
  std::unique_ptr<TFilterProxyControl> MakeRequest(TPrefsSettings settings) {
    Prefs->Publish(std::move(settings));
    return std::make_unique<TFilterProxyControl>(Prefs, Chain, std::make_unique<TSockStream>());
  }
  bool Blocks(const std::vector<std::string>& items, const std::string& url, const std::string& referer = "") {
    TPrefsSettings settings;
    settings.BlockItems = items;
    settings.BlockChecked.assign(items.size(), true);
    auto request = MakeRequest(settings);
    request->Request().Url = url;
    request->Request().Referer = referer;
    request->SetExceptionHit(true);  // BlockCheck starts from a clear mark
    const bool blocked = BlockCheck(*request);
    LastExceptionHit = request->ExceptionHit();
    return blocked;
  }

  std::shared_ptr<TCorvanePrefs> Prefs = std::make_shared<TCorvanePrefs>("+0000");
  std::shared_ptr<const TFilterChain> Chain = std::make_shared<const TFilterChain>();
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
    auto request = MakeRequest(settings);
    request->Request().Referer = referer;
    request->Request().Url = requestUrl;
    ASSERT_EQ(expected.Blocked, MatchBlockList(*request, url)) << " round " << round << " url [" << url << "]";
    ASSERT_EQ(expected.ExceptionHit, request->ExceptionHit()) << " round " << round;
  }
}

// Settings copied out of a snapshot, moved, and changed are prepared anew when published: the
// snapshot answers for its own list, never for the one it was copied from.
TEST_F(BlockListTest, ASnapshotCopiedMovedAndChangedMatchesItsNewList) {
  TPrefsSettings settings;
  settings.BlockItems = {"ads"};
  settings.BlockChecked = {true};
  Prefs->Publish(settings);
  TPrefsSettings copy = *Prefs->Settings();
  TPrefsSettings moved = std::move(copy);
  moved.BlockItems = {"tracker"};
  auto request = MakeRequest(std::move(moved));
  EXPECT_TRUE(MatchBlockList(*request, "http://tracker.example/"));
  EXPECT_FALSE(MatchBlockList(*request, "http://ads.example/"));
  EXPECT_EQ(1u, request->Settings().BlockList().PatternCount());
}

TEST_F(BlockListTest, EverySnapshotIsPreparedFromItsOwnListsTheFirstOneToo) {
  const TCorvanePrefs fresh("+0000");
  EXPECT_EQ(0u, fresh.Settings()->BlockList().PatternCount());
  EXPECT_FALSE(fresh.Settings()->BlockList().AnyPatternIn("http://ads.example/"));
  TPrefsSettings settings;
  settings.BlockItems = {"ads", "! keep", "off", "", "! "};
  settings.BlockChecked = {true, true, false, true, true};
  Prefs->Publish(settings);
  const TBlockListMatcher& list = Prefs->Settings()->BlockList();
  EXPECT_EQ(3u, list.PatternCount()) << "checked, not empty: ads, \"! keep\" and \"! \"";
  EXPECT_EQ(1u, list.ExceptionCount());
  EXPECT_TRUE(list.AnyPatternIn("http://ADS.example/"));
  EXPECT_FALSE(list.AnyPatternIn("http://off.example/"));
  EXPECT_TRUE(list.AnyExceptionIn("", "", "http://keep/"));
}

}  // namespace
}  // namespace tarnwick
