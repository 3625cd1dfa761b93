// Where the opening popup script goes: after a leading document-type declaration, so that the page
// keeps its standards mode; first otherwise.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filters/PopupFilter.h"

namespace tarnwick {
namespace {

const std::string kBom = "\xEF\xBB\xBF";

size_t Place(const std::string& page) { return OpeningScriptPlace(page, true).value(); }

TEST(PopupPlaceTest, TheScriptGoesAfterALeadingDoctype) {
  EXPECT_EQ(15u, Place("<!DOCTYPE html><html></html>"));
  EXPECT_EQ(15u, Place("<!doctype html>"));
  const std::string prefix = kBom + " \r\n<!-- made by hand -->\n<!---->\t<!DocType html PUBLIC \"x\">";
  EXPECT_EQ(prefix.size(), Place(prefix + "\n<html>"));
}

TEST(PopupPlaceTest, WithoutALeadingDoctypeTheScriptGoesFirst) {
  for (const std::string& page :
       std::vector<std::string>{"<html><!DOCTYPE html>", "text <!DOCTYPE html>", "", "   ", "<!-- open",
                                "<!DOCTYPE html", kBom + "<p>", "<!doc>", "\xEF\xBB<!DOCTYPE html>"}) {
    EXPECT_EQ(0u, Place(page)) << page;
  }
}

TEST(PopupPlaceTest, APageStartCutAnywhereWaitsForMoreUntilItCanTell) {
  const std::string page = kBom + "<!-- c --> <!DOCTYPE html><html><body>x</body></html>";
  const size_t place = Place(page);
  for (size_t cut = 0; cut <= page.size(); ++cut) {
    const auto answer = OpeningScriptPlace(std::string_view(page).substr(0, cut), false);
    if (cut < place) {
      EXPECT_FALSE(answer.has_value()) << "cut at " << cut;
    } else {
      EXPECT_EQ(place, answer.value_or(9999)) << "cut at " << cut;
    }
  }
  EXPECT_EQ(0u, OpeningScriptPlace("<h", false).value_or(9999)) << "a tag that can be no doctype decides at once";
}

}  // namespace
}  // namespace tarnwick
