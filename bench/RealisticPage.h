#pragma once
// A realistic 1 MB HTML page for the content filter benchmarks: a news site's page with a head full
// of meta, link and script tags, inline scripts that compare with "<", comments, navigation lists,
// articles with links, images and spans, ad slots (images, iframes, scripts) from listed ad servers,
// and tables. The same seed always gives the same page. Also the block list and settings the
// benchmarks filter it with.

#include <random>
#include <string>
#include <vector>

#include "prefs/Prefs.h"

namespace tarnwick::bench {

inline std::string RealisticPage(size_t size = 1 << 20, unsigned seed = 7) {
  std::mt19937 random(seed);
  const std::vector<std::string> words = {"the",   "council", "said",      "on",     "Tuesday", "that",   "new",
                                          "rules", "for",     "housing",   "would",  "take",    "effect", "next",
                                          "year",  "while",   "critics",   "argued", "plans",   "remain", "unclear",
                                          "and",   "costly",  "residents", "market", "prices",  "rose",   "sharply",
                                          "in",    "spring",  "according", "to",     "figures"};
  const std::vector<std::string> adHosts = {"ads.doubleclick.example", "pagead2.adsyndication.example",
                                            "banner.tracker.example", "cdn.adnxs.example"};
  const auto pick = [&](const std::vector<std::string>& list) -> const std::string& {
    return list[random() % list.size()];
  };
  const auto sentence = [&] {
    std::string s;
    for (unsigned n = 8 + random() % 14; n > 0; --n) s += pick(words) + " ";
    s.back() = '.';
    return s + " ";
  };
  const auto number = [&](unsigned below) { return std::to_string(random() % below); };

  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>Daily Courier - Local news</title>\n"
      "<link rel=\"stylesheet\" href=\"/static/css/site.css?v=31\">\n"
      "<script src=\"https://www.news.example/static/js/app.js\" defer></script>\n"
      "<script>var w = window.innerWidth; if (w < 768 && w > 0) { document.documentElement.className = "
      "'narrow'; } for (var i = 0; i < 3; i++) { console.log(i); }</script>\n"
      "<!-- analytics: loaded after consent -->\n</head>\n"
      "<body class=\"home\" onload=\"init(); window.open('http://pop.tracker.example/x')\">\n";
  while (page.size() < size) {
    switch (random() % 10) {
      case 0:
        page += "<nav class=\"menu\"><ul>";
        for (int i = 0; i < 8; ++i) {
          page += "<li><a href=\"/section/" + pick(words) + "\">" + pick(words) + "</a></li>";
        }
        page += "</ul></nav>\n";
        break;
      case 1:
        page += "<div class=\"ad-slot\"><a href=\"http://" + pick(adHosts) + "/click?id=" + number(99999) +
                "\"><img src=\"http://" + pick(adHosts) + "/b/" + number(999) +
                ".gif\" width=\"468\" height=\"60\" alt=\"Advertisement\"></a></div>\n";
        break;
      case 2:
        page += "<iframe src=\"https://" + pick(adHosts) + "/frame/" + number(999) +
                ".html\" width=\"300\" height=\"250\" frameborder=\"0\" scrolling=\"no\"></iframe>\n";
        break;
      case 3:
        page += "<script type=\"text/javascript\">\n  var slot = " + number(100) +
                ";\n  if (slot < 50 && window.innerHeight > 200) { loadTeaser(slot); }\n"
                "  /* keep the order: a < b */\n</script>\n";
        break;
      case 4:
        page += "<!-- teaser " + number(1000) + " start -->\n";
        break;
      case 5:
        page += "<table class=\"scores\"><tr><th>Team</th><th>Pts</th></tr>";
        for (int i = 0; i < 4; ++i) page += "<tr><td>" + pick(words) + "</td><td>" + number(90) + "</td></tr>";
        page += "</table>\n";
        break;
      default:
        page += "<article id=\"a" + number(100000) + "\"><h2><a href=\"/news/" + number(2024) + "/" + pick(words) +
                ".html\">" + sentence() + "</a></h2>\n<p>" + sentence() + "<span class=\"hl\">" + sentence() +
                "</span>" + sentence() + "<img src=\"/img/" + number(9999) +
                ".jpg\" width=\"640\" height=\"360\" alt=\"photo\" loading=\"lazy\"> " + sentence() + sentence() +
                "</p></article>\n";
        break;
    }
  }
  return page + "</body></html>\n";
}

// Every tag kind filtered, popups suppressed, a short block list of the page's ad servers and a
// size list with the usual banner sizes.
inline TPrefsSettings FilteringSettings() {
  TPrefsSettings s;
  s.TagFilter = true;
  s.FltImages = s.FltForms = s.FltFrames = s.FltLayers = s.FltScripts = s.FltText = s.FltWindows = true;
  s.Popups = TPopupRule::FilterOpened;
  s.DontFilterWhen = TDontFilterWhen::SameDomain;
  s.FilterByDim = true;
  s.BlockItems = {"doubleclick", "adsyndication", "tracker.example", "adnxs", "/ads/", "/banner/"};
  s.BlockChecked.assign(s.BlockItems.size(), true);
  s.ImageSizes = {{468, 60}, {728, 90}, {120, 600}};
  s.SizeChecked = {true, true, true};
  return s;
}

}  // namespace tarnwick::bench
