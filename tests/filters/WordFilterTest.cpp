#include "filters/WordFilter.h"

#include <gtest/gtest.h>

#include <string>

#include "prefs/Settings.h"

namespace tarnwick {
namespace {

using namespace std::string_literals;

class WordFilterTest : public ::testing::Test {
 protected:
  void Entries(std::vector<std::string> items, std::vector<bool> checked = {}) {
    if (checked.empty()) checked.assign(items.size(), true);
    Settings.RedirEntries.clear();
    for (size_t i = 0; i < items.size(); ++i) {
      Settings.RedirEntries.push_back({items[i], i < checked.size() && checked[i], TRedirAction::Pass, "", ""});
    }
  }
  std::optional<std::size_t> Find(const std::string& page) { return FindWordEntry(Settings, page); }

  TPrefsSettings Settings;
};

TEST_F(WordFilterTest, AllWordsAnywhereInAnyCaseWhenCaseIsOff) {
  Entries({"casino", "<poker chips>"});
  EXPECT_EQ(1u, Find("<p>Cheap CHIPS</p><script>var pOkEr;</script>"));
  EXPECT_EQ(1u, Find("pokerchips")) << "inside longer words and in any order";
  EXPECT_EQ(std::nullopt, Find("<p>poker night</p>"));
  EXPECT_EQ(std::nullopt, Find("casino")) << "patterns are not words";
}

TEST_F(WordFilterTest, CaseMattersWhenWordCaseIsOn) {
  Settings.WordCase = true;
  Entries({"<poker chips>"});
  EXPECT_EQ(std::nullopt, Find("Poker chips"));
  EXPECT_EQ(0u, Find("poker chips"));
}

TEST_F(WordFilterTest, EmptyWordsNeverMatch) {
  for (const char* entry : {"<poker  chips>", "< poker>", "<poker >", "<>"}) {
    Entries({entry});
    EXPECT_EQ(std::nullopt, Find("poker chips  < > <>")) << entry;
  }
}

TEST_F(WordFilterTest, TheFirstCheckedEntryInListOrderDecides) {
  Entries({"<chips>", "<poker>", "<poker chips>"}, {false, true, true});
  EXPECT_EQ(1u, Find("poker chips"));
  Entries({"<chips>", "<poker chips>"});
  EXPECT_EQ(0u, Find("poker chips"));
}

TEST_F(WordFilterTest, AZeroByteDoesNotHideTheRestOfThePage) {
  Entries({"<poker>"});
  EXPECT_EQ(0u, Find("harmless\0 poker"s));
}

}  // namespace
}  // namespace tarnwick
