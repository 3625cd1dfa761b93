#include "filters/HtmlScanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/HtmlScanning.h"

namespace tarnwick {
namespace {

// Marks every tag it is given, so the output shows which bytes were taken as a tag.
class TMarkingTags : public TTagHandler {
 public:
  void OnTag(std::string& tag, THtmlScanState&) override {
    Seen.push_back(tag);
    tag = "[" + tag + "]";
  }
  std::vector<std::string> Seen;
};

// Marks tags with an "x" in them, drops the text between <drop> and </drop>, and leaves every other
// tag alone. With `quick` it names the signs of the tags it may change ("x", and "dr" of drop), so
// the scanner steps from sign to sign: the output must be the same either way.
class TSomeTags : public TTagHandler {
 public:
  explicit TSomeTags(bool quick) : Quick(quick) {}
  void OnTag(std::string& tag, THtmlScanState& state) override {
    if (tag == "<drop>") state.OutputOn = false;
    if (tag == "</drop>") state.OutputOn = true;
    if (tag.find('x') != std::string::npos) tag = "[" + tag + "]";
  }
  TTagTriggers Triggers() const override {
    if (!Quick) return {};
    return {.Known = true, .Pairs = {{'x', '\0'}, {'d', 'r'}}};
  }

 private:
  const bool Quick;
};

struct TScanResult {
  std::string Out;
  std::vector<std::string> Tags;
  bool operator==(const TScanResult&) const = default;
};

// Scans `input` cut at the given points, then ends the body.
TScanResult ScanPieces(const std::string& input, const std::vector<size_t>& cuts, bool outputOn = true) {
  THtmlScanState state;
  state.OutputOn = outputOn;
  TMarkingTags tags;
  test::TStringSink sink;
  size_t from = 0;
  std::vector<size_t> ends = cuts;
  ends.push_back(input.size());
  for (size_t end : ends) {
    EXPECT_TRUE(ScanHtml(state, std::span<const char>(input.data() + from, end - from), tags, sink));
    from = end;
  }
  FinishHtml(state);
  return {sink.Text, tags.Seen};
}

TScanResult Scan(const std::string& input, bool outputOn = true) { return ScanPieces(input, {}, outputOn); }

std::string ScanWith(TTagHandler& tags, const std::string& input, const std::vector<size_t>& cuts) {
  THtmlScanState state;
  test::TStringSink sink;
  size_t from = 0;
  std::vector<size_t> ends = cuts;
  ends.push_back(input.size());
  for (size_t end : ends) {
    ScanHtml(state, std::span<const char>(input.data() + from, end - from), tags, sink);
    from = end;
  }
  FinishHtml(state);
  return sink.Text;
}

// The handler that lets the scanner pass kept tags quickly gives the same output as the one that
// decides every tag, however the input is split.
void ExpectQuickWayTheSame(const std::string& input) {
  TSomeTags slow(false);
  TSomeTags quick(true);
  const std::string expected = ScanWith(slow, input, {});
  for (size_t split = 0; split <= input.size(); ++split) {
    EXPECT_EQ(expected, ScanWith(quick, input, {split})) << "split at " << split << " of " << input;
  }
}

// Scans whole, then at every single split point and byte by byte, and expects one result.
TScanResult ScanEverySplit(const std::string& input) {
  ExpectQuickWayTheSame(input);
  const TScanResult whole = Scan(input);
  for (size_t split = 0; split <= input.size(); ++split) {
    EXPECT_EQ(whole, ScanPieces(input, {split})) << "split at " << split << " of " << input;
  }
  std::vector<size_t> everyByte;
  for (size_t i = 1; i < input.size(); ++i) everyByte.push_back(i);
  EXPECT_EQ(whole, ScanPieces(input, everyByte)) << "byte by byte: " << input;
  return whole;
}

TEST(HtmlScannerTest, TextPassesAndEachTagGoesToTheHandler) {
  const TScanResult r = ScanEverySplit("<html><body class=\"x\">Hello <b>world</b>!</body></html>\n");
  EXPECT_EQ("[<html>][<body class=\"x\">]Hello [<b>]world[</b>]![</body>][</html>]\n", r.Out);
  EXPECT_EQ(6u, r.Tags.size());
}

TEST(HtmlScannerTest, CommentsPassUnchangedWithTheTagsInside) {
  const TScanResult r = ScanEverySplit("a<!-- <img src=http://ads.example/b.gif> -->b<i>");
  EXPECT_EQ("a<!-- <img src=http://ads.example/b.gif> -->b[<i>]", r.Out);
  EXPECT_EQ(std::vector<std::string>{"<i>"}, r.Tags);
}

TEST(HtmlScannerTest, TheCommentEndNeedsTwoDashesCountedAfterItsFirstByte) {
  // The byte right after "<!--" never counts: an empty comment runs on to the next "-->".
  EXPECT_EQ("<!---->x-->[<p>]", ScanEverySplit("<!---->x--><p>").Out);
  // "<!-->" is no comment end either.
  EXPECT_EQ("<!-->a-->[<p>]", ScanEverySplit("<!-->a--><p>").Out);
  // A ">" keeps the count, any other byte clears it.
  EXPECT_EQ("<!--a->->[<p>]", ScanEverySplit("<!--a->-><p>").Out);
  EXPECT_EQ("<!--a-x->b--->[<p>]", ScanEverySplit("<!--a-x->b---><p>").Out);
}

TEST(HtmlScannerTest, OnlyThePartFromTheLastLessThanSignIsTheTag) {
  const TScanResult r = ScanEverySplit("<script>if (a < b && c <= d) f(); x = \"<b>\"</script>");
  EXPECT_EQ("[<script>]if (a < b && c <= d) f(); x = \"[<b>]\"[</script>]", r.Out);
  // With one stray "<" the whole stretch up to ">" is a tag.
  EXPECT_EQ("if (a [< b || c >] d)", ScanEverySplit("if (a < b || c > d)").Out);
}

TEST(HtmlScannerTest, StrayTextGoesOutEvenWhileTextIsDropped) {
  const TScanResult r = Scan("dropped < stray <b>also dropped<!--c--><>", false);
  EXPECT_EQ("< stray [<b>]<!--c-->[<>]", r.Out);
}

TEST(HtmlScannerTest, AnUnfinishedTagOrCommentAtTheEndIsDropped) {
  EXPECT_EQ("text ", ScanEverySplit("text <img src=x").Out);
  EXPECT_EQ("text ", ScanEverySplit("text <!-- never closed >").Out);
  EXPECT_TRUE(ScanEverySplit("<").Tags.empty());
}

TEST(HtmlScannerTest, ATagLongerThanTheBoundPassesAsTextAndScanningGoesOn) {
  const std::string huge = "<" + std::string(kMaxTagLength + 100, 'x');
  const std::string input = "a" + huge + ">b<i>c";
  const TScanResult r = Scan(input);
  EXPECT_EQ("a" + huge + ">b[<i>]c", r.Out);
  EXPECT_EQ(std::vector<std::string>{"<i>"}, r.Tags);
  for (size_t split : {size_t{0}, size_t{1}, size_t{2}, kMaxTagLength - 1, kMaxTagLength, kMaxTagLength + 1,
                       kMaxTagLength + 2, input.size() - 3, size_t{12345}}) {
    EXPECT_EQ(r, ScanPieces(input, {split})) << split;
  }
}

TEST(HtmlScannerTest, AnOverlongStretchWithALaterTagKeepsThatTag) {
  const std::string stray = "< " + std::string(40000, 's');
  const std::string tag = "<img alt=\"" + std::string(30000, 'a') + "\">";
  const TScanResult r = Scan(stray + tag + "t");
  EXPECT_EQ(stray + "[" + tag + "]t", r.Out);
  EXPECT_EQ(std::vector<std::string>{tag}, r.Tags);
}

TEST(HtmlScannerTest, ACommentLongerThanTheBoundPassesAsText) {
  const std::string body = "<!--" + std::string(kMaxTagLength, '-') + "x";
  const std::string input = body + "<p>-->";
  const TScanResult r = Scan(input);
  EXPECT_EQ(body + "[<p>]-->", r.Out);
  EXPECT_EQ(r, ScanPieces(input, {kMaxTagLength - 1, kMaxTagLength + 3}));
}

TEST(HtmlScannerTest, TheQuickWayPastKeptTagsGivesTheSameBytes) {
  ExpectQuickWayTheSame("a<p>b<x>c<drop>gone<i>gone</drop>d<p class=\"y\">e<!-- <x> -->f< g<p>h<px");
  ExpectQuickWayTheSame("<drop><!--c-->t</drop><<p>><p<x>>");
}

// Random pages of the bytes that shape tags and comments, cut at random points: stepping from sign
// to sign gives what the byte-exact way gives.
TEST(HtmlScannerTest, TheQuickWayAgreesOnRandomPages) {
  std::mt19937 random(8122026);
  const std::string alphabet = "<<<>>>!--  xdrop/\"'aeiou";
  for (int round = 0; round < 3000; ++round) {
    std::string page(random() % 120, ' ');
    for (char& c : page) c = alphabet[random() % alphabet.size()];
    TSomeTags slow(false);
    TSomeTags quick(true);
    const size_t cut = page.empty() ? 0 : random() % page.size();
    ASSERT_EQ(ScanWith(slow, page, {}), ScanWith(quick, page, {cut})) << "cut at " << cut << " of " << page;
  }
}

TEST(HtmlScannerTest, TheQuickWayAgreesAroundTheIndexedStretchAndTheLengthBound) {
  const std::string stretch(TMarkupIndex::kMaxBytes - 3, 'a');
  for (const std::string& page :
       {stretch + "<x>b<p>" + stretch + "<x>", stretch + "<p x><!-- <x> -->" + stretch,
        "<p " + std::string(kMaxTagLength, 'y') + " x>z<x>", "<p " + std::string(kMaxTagLength - 6, 'y') + "x>z<x>",
        "< " + std::string(kMaxTagLength + 10, 'y') + "<x>"}) {
    TSomeTags slow(false);
    TSomeTags quick(true);
    const std::string expected = ScanWith(slow, page, {});
    EXPECT_EQ(expected, ScanWith(quick, page, {})) << "in one piece, " << page.size() << " bytes";
    for (const size_t cut : {size_t{1}, TMarkupIndex::kMaxBytes - 1, TMarkupIndex::kMaxBytes + 2, page.size() - 2}) {
      EXPECT_EQ(expected, ScanWith(quick, page, {std::min(cut, page.size())})) << "cut at " << cut;
    }
  }
}

TEST(HtmlScannerTest, ARefusingSinkEndsTheScan) {
  THtmlScanState state;
  TMarkingTags tags;
  test::TStringSink sink;
  sink.Limit = 4;
  const std::string input = "abc<b>def<i>";
  EXPECT_FALSE(ScanHtml(state, std::span<const char>(input.data(), input.size()), tags, sink));
  EXPECT_EQ("abc", sink.Text);
  EXPECT_EQ(std::vector<std::string>{"<b>"}, tags.Seen) << "nothing after the refused write";
}

TEST(HtmlScannerTest, FinishingReadiesTheStateForTheNextBody) {
  THtmlScanState state;
  state.OutputOn = false;
  state.AwaitedEndTag = "/A";
  state.Mode = THtmlScanMode::Comment;
  state.TagText = "<!--x";
  FinishHtml(state);
  EXPECT_TRUE(state.OutputOn);
  EXPECT_TRUE(state.AwaitedEndTag.empty());
  EXPECT_EQ(THtmlScanMode::Text, state.Mode);
  EXPECT_TRUE(state.TagText.empty());
}

}  // namespace
}  // namespace tarnwick
