// The tag filter and the popup rewriting on memory: a page is scanned through the same tag
// decisions the proxy uses, on a request object of its own.

#include "filters/TagFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/FilterProxyControl.h"
#include "filters/Filters.h"
#include "filters/HtmlFilter.h"
#include "filters/PopupFilter.h"
#include "support/HtmlScanning.h"

namespace tarnwick {
namespace {

class TagFilterTest : public ::testing::Test {
 protected:
  // A page of http://www.site.example/news/index.html with every tag kind filtered, the block list
  // "ads.example", no exemption and no size rule, after `adjust` has had its say.
  void Use(const std::function<void(TPrefsSettings&)>& adjust = {}) {
    TPrefsSettings s;
    s.TagFilter = true;
    s.FltImages = s.FltForms = s.FltFrames = s.FltLayers = s.FltScripts = s.FltText = s.FltWindows = true;
    s.DontFilterWhen = TDontFilterWhen::AlwaysFilter;
    s.BlockItems = {"ads.example"};
    s.BlockChecked = {true};
    s.ImageSizes = {{468, 60}, {120, 600}};
    s.SizeChecked = {true, false};
    if (adjust) adjust(s);
    Prefs->Publish(s);
    Request = std::make_unique<TFilterProxyControl>(Prefs, std::make_shared<const TTarnwickFilters>(),
                                                    std::make_unique<TSockStream>());
    TRequestHead& head = Request->Request();
    head.Url = "http://www.site.example/news/index.html";
    head.Host = "www.site.example";
    head.Path = "/news/index.html";
  }

  // The page through the tag decisions, in one piece or cut at `split`.
  std::string Filter(const std::string& page, size_t split = std::string::npos) {
    TPageTags tags(*Request);
    test::TStringSink sink;
    split = std::min(split, page.size());
    EXPECT_TRUE(ScanHtml(Scan, std::span<const char>(page.data(), split), tags, sink));
    EXPECT_TRUE(ScanHtml(Scan, std::span<const char>(page.data() + split, page.size() - split), tags, sink));
    FinishHtml(Scan);
    return sink.Text;
  }

  std::shared_ptr<TCorvanePrefs> Prefs = std::make_shared<TCorvanePrefs>("+0000");
  std::unique_ptr<TFilterProxyControl> Request;
  THtmlScanState Scan;
};

TEST_F(TagFilterTest, ABlockedImageGoesAndTheTextAroundItStays) {
  Use();
  EXPECT_EQ(
      "before  after <img src=http://www.site.example/a.gif>",
      Filter("before <IMG SRC=\"http://ads.example/b.gif\" width=1> after <img src=http://www.site.example/a.gif>"));
  EXPECT_EQ(1, Prefs->FltImagesCnt.load());
}

TEST_F(TagFilterTest, ElementsAreDroppedUpToTheirEndTagAndObjectsInsideCount) {
  Use();
  EXPECT_EQ("a  b", Filter("a <a href=http://ads.example/x>click <img src=/i.gif> here</a> b"));
  EXPECT_EQ(1, Prefs->FltTextCnt.load());
  EXPECT_EQ(1, Prefs->FltImagesCnt.load()) << "the image inside the removed link counts too";
  EXPECT_EQ("<p><!-- kept --></p>x",
            Filter("<p><form action=/post src=//ads.example/f><input name=q><!-- kept --></form></p>x"));
  EXPECT_EQ(1, Prefs->FltFormsCnt.load());
  EXPECT_EQ("1 2", Filter("1 <layer src=http://ads.example/l>layer text</LAYER>2"));
  EXPECT_EQ(1, Prefs->FltLayersCnt.load());
  EXPECT_EQ("<p>", Filter("<script src=http://ads.example/s.js>document.write('<b>x</b>')</script><p>"));
  EXPECT_EQ(1, Prefs->FltScriptsCnt.load());
}

TEST_F(TagFilterTest, AnUnclosedElementDropsTheRestOfThePage) {
  Use();
  EXPECT_EQ("kept ", Filter("kept <a href=http://ads.example/>and everything after <b>it</b>"));
}

// "->" is no comment end: a comment runs to "-->", so the tags after a lone dash are still inside
// it and pass untouched, however the page is cut, and nothing is counted.
TEST_F(TagFilterTest, TagsInACommentAfterASingleDashStayUntouched) {
  Use();
  const std::string comment =
      "<!-- x -> <img src=http://ads.example/b.gif> <a href=http://ads.example/>"
      " <frame src=http://ads.example/f> -->";
  const std::string page = "a" + comment + "<img src=http://ads.example/c.gif>b";
  for (size_t split = 0; split <= page.size(); ++split) {
    Prefs->ResetStats();
    ASSERT_EQ("a" + comment + "b", Filter(page, split)) << "cut at " << split;
    ASSERT_EQ(1, Prefs->FltImagesCnt.load()) << "only the image after the comment counts; cut at " << split;
    ASSERT_EQ(0, Prefs->FltTextCnt.load() + Prefs->FltFramesCnt.load()) << "cut at " << split;
  }
}

TEST_F(TagFilterTest, AFrameIsPointedAtTheBlankPageAndAnIframeLosesItsOpeningTagOnly) {
  Use();
  EXPECT_EQ("<FRAME SRC=http://--TARNWICK--/blank.html><frame src=/menu.html>",
            Filter("<frame name=top src=\"http://ads.example/top.html\"><frame src=/menu.html>"));
  EXPECT_EQ(1, Prefs->FltFramesCnt.load());
  EXPECT_EQ("[inner]</iframe>", Filter("<iframe src=http://ads.example/w.html>[inner]</iframe>"));
  EXPECT_EQ(1, Prefs->FltWindowsCnt.load());
}

TEST_F(TagFilterTest, KindsSwitchedOffAndOtherTagNamesStay) {
  Use([](TPrefsSettings& s) { s.FltImages = s.FltText = false; });
  const std::string page =
      "<img src=http://ads.example/b.gif><a href=http://ads.example/>x</a>"
      "<embed src=http://ads.example/f.swf><form action=http://ads.example/p></form>";
  EXPECT_EQ(page, Filter(page));
  EXPECT_EQ(0, Prefs->FltImagesCnt.load() + Prefs->FltTextCnt.load() + Prefs->FltFormsCnt.load());
}

TEST_F(TagFilterTest, DontFilterWhenSameDomainExemptsThePagesOwnHostOnly) {
  Use([](TPrefsSettings& s) {
    s.DontFilterWhen = TDontFilterWhen::SameDomain;
    s.BlockItems = {"banner"};
  });
  EXPECT_EQ("<img src=http://www.site.example/banner.gif>|",
            Filter("<img src=http://www.site.example/banner.gif>|<img src=http://other.example/banner.gif>"));
  EXPECT_EQ("", Filter("<img src=/banner.gif>")) << "a relative address has no host to be exempt by";
}

TEST_F(TagFilterTest, SameDomainComparesTheWholeHostWhereverThePagesHostAppears) {
  Use([](TPrefsSettings& s) {
    s.DontFilterWhen = TDontFilterWhen::SameDomain;
    s.BlockItems = {"banner"};
  });
  EXPECT_EQ("||<img src=http://user@www.site.example:8080/banner.gif>",
            Filter("<img src=http://www.site.example.evil/banner.gif>|"
                   "<img src=http://other.example/www.site.example/banner.gif>|"
                   "<img src=http://user@www.site.example:8080/banner.gif>"));
}

TEST_F(TagFilterTest, AnExceptionInTheRefererKeepsEveryObjectOfThePageOneInAnAddressOnlyThatOne) {
  Use([](TPrefsSettings& s) {
    s.BlockItems = {"ads.example", "! search.example", "! keep=1"};
    s.BlockChecked = {true, true, true};
  });
  Request->Request().Referer = "http://search.example/?q=news";
  const std::string page = "<img src=http://ads.example/a.gif><img src=http://ads.example/b.gif>";
  EXPECT_EQ(page, Filter(page));
  EXPECT_TRUE(Request->ExceptionHit());

  Use([](TPrefsSettings& s) {
    s.BlockItems = {"ads.example", "! search.example", "! keep=1"};
    s.BlockChecked = {true, true, true};
  });
  Request->Request().Referer = "http://elsewhere.example/";
  EXPECT_EQ("<img src=http://ads.example/a.gif?keep=1>",
            Filter("<img src=http://ads.example/a.gif?keep=1><img src=http://ads.example/b.gif>"));
  EXPECT_TRUE(Request->ExceptionHit());
  EXPECT_EQ(1, Prefs->FltImagesCnt.load());
}

TEST_F(TagFilterTest, DontFilterWhenSamePathExemptsTheHostAndTheSameDirectory) {
  Use([](TPrefsSettings& s) {
    s.DontFilterWhen = TDontFilterWhen::SamePath;
    s.BlockItems = {"banner"};
  });
  EXPECT_EQ(
      "<img src=http://www.site.example/x/banner.gif><img src=http://other.example/news/banner.gif>"
      "<img src=/news/banner.gif>|",
      Filter("<img src=http://www.site.example/x/banner.gif><img src=http://other.example/news/banner.gif>"
             "<img src=/news/banner.gif>|<img src=http://other.example/x/banner.gif>"));
}

TEST_F(TagFilterTest, DontFilterWhenAlwaysFiltersTheOwnHostToo) {
  Use([](TPrefsSettings& s) { s.BlockItems = {"banner"}; });
  EXPECT_EQ("|", Filter("<img src=http://www.site.example/banner.gif>|<img src=/news/banner.gif>"));
}

TEST_F(TagFilterTest, TheSizeRuleRemovesAnyTagWithAnAddressAndAListedSize) {
  Use([](TPrefsSettings& s) { s.FilterByDim = true; });
  EXPECT_EQ("||<div width=468 height=60>|<img src=a.gif width=120 height=600>|<img src=a.gif width=468>",
            Filter("<img src=a.gif width=468 height=60>|<td background=x width=468 height=60 src=y.gif>"
                   "|<div width=468 height=60>|<img src=a.gif width=120 height=600>|<img src=a.gif width=468>"));
  EXPECT_EQ(2, Prefs->FltImagesCnt.load());
}

TEST_F(TagFilterTest, TheSizeRuleIsOffForTheConnectionOnceAnExceptionApplied) {
  Use([](TPrefsSettings& s) {
    s.FilterByDim = true;
    s.BlockItems = {"ads.example", "! www.site.example"};
    s.BlockChecked = {true, true};
  });
  // The request URL carries the exception, so every tag's match applies it and marks the connection.
  EXPECT_EQ("<img src=http://ads.example/b.gif><img src=a.gif width=468 height=60>",
            Filter("<img src=http://ads.example/b.gif><img src=a.gif width=468 height=60>"));
  EXPECT_TRUE(Request->ExceptionHit());
  EXPECT_EQ(0, Prefs->FltImagesCnt.load());
}

TEST_F(TagFilterTest, WithoutTheTagFilterOnlyThePopupCallsChange) {
  Use([](TPrefsSettings& s) {
    s.TagFilter = false;
    s.Popups = TPopupRule::FilterOpened;
  });
  EXPECT_EQ(
      "<body onLoad=\"KVXOpen('http://ads.example/pop');x.KVXOpen(1)\">window.open(2)"
      "<a href=\"javascript:Window.open()\">",
      Filter("<body onLoad=\"window.open('http://ads.example/pop');x.window.open(1)\">window.open(2)"
             "<a href=\"javascript:Window.open()\">"));
}

TEST_F(TagFilterTest, ATagReplacedByTheFilterIsRewrittenForPopupsToo) {
  Use([](TPrefsSettings& s) {
    s.Popups = TPopupRule::FilterOpened;
    s.BlockItems = {"window.open"};
  });
  EXPECT_EQ("<FRAME SRC=http://--TARNWICK--/blank.html>", Filter("<frame src=javascript:window.open()>"));
}

// The signs the tag filter and the popup filter name must cover every tag they change: pages of
// random tags give the same bytes, counters and exception mark whether the scanner steps from sign
// to sign or hands every tag over.
TEST_F(TagFilterTest, ThePassedOverTagsAreThoseTheDecisionsWouldKeep) {
  const std::vector<std::string> names = {"a", "IMG", "iframe", "/a", "form", "/FORM", "frame", "p", "body"};
  const std::vector<std::string> attributes = {"href", "HrEf", "src", "SRC", "sRc", "width", "HEIGHT", "onload", "alt"};
  const std::vector<std::string> equals = {"=", " = ", "= ", ""};
  const std::vector<std::string> quotes = {"", "\"", "'"};
  const std::vector<std::string> values = {"http://ads.example/x",
                                           "/ads.example",
                                           "www.site.example/ok!",
                                           "468",
                                           "60",
                                           "window.open(1)",
                                           "Window.Open()",
                                           "a b",
                                           ""};
  const std::vector<std::string> texts = {"", "text ", "three hrs ", "< ", "<!-- <img src=ads.example> -->", "a>b"};
  std::mt19937 random(1208);
  const auto pick = [&random](const std::vector<std::string>& list) { return list[random() % list.size()]; };
  for (int round = 0; round < 400; ++round) {
    std::string page;
    for (int tag = static_cast<int>(random() % 12); tag > 0; --tag) {
      page += pick(texts) + "<" + pick(names);
      for (int n = static_cast<int>(random() % 4); n > 0; --n) {
        const std::string quote = pick(quotes);
        page += " " + pick(attributes) + pick(equals) + quote + pick(values) + quote;
      }
      page += ">";
    }
    std::string outputs[2];
    std::int64_t counts[2] = {};
    bool exceptionHits[2] = {};
    for (int way = 0; way < 2; ++way) {
      Prefs->ResetStats();
      Use([](TPrefsSettings& s) {
        s.Popups = TPopupRule::FilterOpened;
        s.FilterByDim = true;
        s.BlockItems = {"ads.example", "! ok!"};
        s.BlockChecked = {true, true};
      });
      TPageTags tags(*Request);
      test::TEveryTag everyTag(tags);
      TTagHandler& handler = way == 0 ? static_cast<TTagHandler&>(tags) : everyTag;
      test::TStringSink sink;
      THtmlScanState scan;
      ScanHtml(scan, std::span<const char>(page.data(), page.size()), handler, sink);
      FinishHtml(scan);
      outputs[way] = sink.Text;
      counts[way] =
          Prefs->FltImagesCnt + Prefs->FltFormsCnt + Prefs->FltFramesCnt + Prefs->FltTextCnt + Prefs->FltWindowsCnt;
      exceptionHits[way] = Request->ExceptionHit();
    }
    ASSERT_EQ(outputs[1], outputs[0]) << page;
    ASSERT_EQ(counts[1], counts[0]) << page;
    ASSERT_EQ(exceptionHits[1], exceptionHits[0]) << page;
  }
}

TEST(ParseTagTest, QuotedValuesStayWithTheirNames) {
  TParsedTag tag;
  ParseTag("<IMG\tsrc=\"/a b.gif\" ALT='x y' Width = \"468\"\nheight = 60>", tag);
  EXPECT_EQ((std::vector<std::string_view>{"IMG", "src=/a", "b.gif", "ALT=x", "y", "Width=468", "height=60"}),
            tag.TagAttrs);
  EXPECT_EQ("IMG", tag.TagName);
  EXPECT_EQ("/a", tag.ObjectUrl);
  EXPECT_EQ(468, tag.TagWidth);
  EXPECT_EQ(60, tag.TagHeight);
}

TEST(ParseTagTest, HrefWinsOverSrcUnlessEmpty) {
  TParsedTag tag;
  ParseTag("<a src=s.gif HREF=h.html href=second>", tag);
  EXPECT_EQ("h.html", tag.ObjectUrl);
  EXPECT_EQ("A", tag.TagName);
  ParseTag("<a href=\"\" src=s.gif>", tag);
  EXPECT_EQ("s.gif", tag.ObjectUrl);
  ParseTag("<br clear=all>", tag);
  EXPECT_EQ("", tag.ObjectUrl);
}

TEST(ParseTagTest, SizesThatAreNotWholeNumbersCountAsAbsent) {
  TParsedTag tag;
  ParseTag("<img width=100% height=60>", tag);
  EXPECT_EQ(0, tag.TagWidth);
  EXPECT_EQ(0, tag.TagHeight) << "a bad width stops the conversion";
  ParseTag("<img width=10 height=6px>", tag);
  EXPECT_EQ(10, tag.TagWidth);
  EXPECT_EQ(0, tag.TagHeight);
  ParseTag("<img height=7>", tag);
  EXPECT_EQ(0, tag.TagWidth);
  EXPECT_EQ(7, tag.TagHeight);
}

TEST(ParseTagTest, ATagWithoutWordsHasNoName) {
  TParsedTag tag;
  ParseTag("< \" ' >", tag);
  EXPECT_TRUE(tag.TagAttrs.empty());
  EXPECT_EQ("", tag.TagName);
}

// The words as the tag filter has always taken them apart, written plainly: runs between blanks,
// line breaks, "<", ">" and quotes, the quotes dropped, a quote right after "=" keeping the word
// open; then NAME = value joined.
std::vector<std::string> PlainWords(std::string_view tag) {
  std::vector<std::string> words;
  std::optional<std::string> word;
  char last = '\0';
  for (const char c : tag) {
    const bool quote = c == '"' || c == '\'';
    if (!quote && std::string_view(" \t\r\n<>").find(c) == std::string_view::npos) {
      word = word.value_or("") + c;
      last = c;
    } else if (word && !(quote && last == '=')) {
      words.push_back(*std::exchange(word, std::nullopt));
    }
  }
  if (word) words.push_back(*word);
  for (size_t i = 1; i + 1 < words.size();) {
    if (words[i] != "=") {
      ++i;
      continue;
    }
    words[i - 1] += "=" + words[i + 1];
    words.erase(words.begin() + static_cast<std::ptrdiff_t>(i), words.begin() + static_cast<std::ptrdiff_t>(i + 2));
  }
  return words;
}

TEST(ParseTagTest, WordsAreThoseOfThePlainReading) {
  TParsedTag tag;
  ParseTag("<a href = \"x\" = 'y' b= =c d=\"\"\"e\"= f='g=\"h\"'>", tag);
  EXPECT_EQ((std::vector<std::string_view>{"a", "href=x=y", "b=", "=c", "d=e=f=g=h"}), tag.TagAttrs);
  std::mt19937 random(11);
  const std::string_view alphabet = "aH=  \"'\t<>=x\n";
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (size_t n = random() % 48; n > 0; --n) text += alphabet[random() % alphabet.size()];
    ParseTag(text, tag);
    const std::vector<std::string> expected = PlainWords(text);
    ASSERT_EQ(std::vector<std::string_view>(expected.begin(), expected.end()), tag.TagAttrs) << text;
  }
}

TEST(PopupFilterTest, TheScriptsHaveTheirExactLengths) {
  EXPECT_EQ(159u, kPopupOpenScript.size());
  EXPECT_EQ(45u, kPopupCloseScript.size());
  std::string tag = "<x a=window.openwindow.open>";
  ReplaceWindowOpen(tag);
  EXPECT_EQ("<x a=KVXOpenKVXOpen>", tag);
}

}  // namespace
}  // namespace tarnwick
