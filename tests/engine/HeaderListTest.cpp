#include "engine/HeaderList.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

THeaderList Headers(std::initializer_list<const char*> lines) {
  THeaderList headers;
  for (const char* line : lines) headers.AddLine(line);
  return headers;
}

TEST(HeaderListTest, LinesBecomeEntriesAndLookupsSeeTheFirstOfAName) {
  auto headers = Headers({"Host: a", "host: b", "X:  two", "Y:none", "Bare", "Z: p=q"});
  EXPECT_EQ("a", headers.Get("HOST"));
  EXPECT_EQ(" two", headers.Get("x")) << "one blank after the colon goes, a second stays";
  EXPECT_EQ("none", headers.Get("Y"));
  EXPECT_EQ("p=q", headers.Get("z"));
  EXPECT_EQ("", headers.Get("Absent"));
  EXPECT_EQ("Host: a\r\nhost: b\r\nX:  two\r\nY: none\r\n: Bare\r\nZ: p=q\r\n", headers.HeadText());
}

TEST(HeaderListTest, SetRenamesReplacesAppendsAndDeletes) {
  auto headers = Headers({"Content-Length: 5", "A: 1", "content-length: 9"});
  headers.Set("Content-length", "7");
  EXPECT_EQ("Content-length: 7\r\nA: 1\r\ncontent-length: 9\r\n", headers.HeadText());
  headers.Set("New", "v");
  headers.Set("A", "");
  EXPECT_EQ("Content-length: 7\r\ncontent-length: 9\r\nNew: v\r\n", headers.HeadText());
}

TEST(HeaderListTest, SetOnlyKeepsThePlaceOfTheFirstAndDropsTheRest) {
  auto headers = Headers({"Connection: keep-alive", "Host: h", "connection: Upgrade"});
  headers.SetOnly("Connection", "close");
  EXPECT_EQ("Connection: close\r\nHost: h\r\n", headers.HeadText());
  headers.RemoveAll("HOST");
  headers.SetOnly("Via", "x");
  EXPECT_EQ("Connection: close\r\nVia: x\r\n", headers.HeadText());
}

}  // namespace
}  // namespace tarnwick
