#include "engine/RequestHeadParser.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace tarnwick {
namespace {

THeaderList Head(std::initializer_list<const char*> lines) {
  THeaderList headers;
  for (const char* line : lines) headers.AddLine(line);
  return headers;
}

std::string Refusal(std::initializer_list<const char*> lines) {
  try {
    RequestFramingOf(Head(lines));
    return "<passed>";
  } catch (const EBadRequest& error) {
    return error.what();
  }
}

TEST(RequestHeadParserTest, PortsAreNumbersFromOneTo65535) {
  EXPECT_EQ(0, ParsePort(""));
  EXPECT_EQ(1, ParsePort("1"));
  EXPECT_EQ(8080, ParsePort("08080"));
  EXPECT_EQ(65535, ParsePort("65535"));
  for (const char* bad : {"0", "65536", "4295000737", "-80", "+80", "80 ", "8o", "99999999999999999999999"}) {
    EXPECT_THROW(ParsePort(bad), EBadRequest) << bad;
  }
}

TEST(RequestHeadParserTest, APlainBodyIsFramedByItsLengthOrByChunks) {
  EXPECT_EQ(TBodyFraming::None, RequestFramingOf(Head({"Host: a"})).Kind);
  const TRequestFraming length = RequestFramingOf(Head({"content-length: 12"}));
  EXPECT_EQ(TBodyFraming::Length, length.Kind);
  EXPECT_EQ(12, length.Length);
  EXPECT_EQ(0, RequestFramingOf(Head({"Content-Length: 0"})).Length);
  EXPECT_EQ(7, RequestFramingOf(Head({"Content-Length: 7", "Content-Length: 7"})).Length)
      << "the same length twice is one length";
  EXPECT_EQ(TBodyFraming::Chunked, RequestFramingOf(Head({"Transfer-Encoding:  Chunked "})).Kind);
}

TEST(RequestHeadParserTest, FramingThatTwoReadersCouldReadDifferentlyIsRefused) {
  EXPECT_EQ(kLengthAndChunked, Refusal({"Content-Length: 5", "Transfer-Encoding: chunked"}));
  EXPECT_EQ(kLengthAndChunked, Refusal({"Transfer-Encoding: chunked", "Content-Length: 0"}));
  for (const char* length : {"Content-Length: -1", "Content-Length: abc", "Content-Length: 1 2",
                             "Content-Length:", "Content-Length: +3", "Content-Length: 0x10"}) {
    EXPECT_EQ(kBadContentLength, Refusal({length})) << length;
  }
  EXPECT_EQ(kBadContentLength, Refusal({"Content-Length: 5", "Content-Length: 6"}));
  EXPECT_EQ(kBadTransferCoding, Refusal({"Transfer-Encoding: gzip"}));
  EXPECT_EQ(kBadTransferCoding, Refusal({"Transfer-Encoding: chunked", "Transfer-Encoding: chunked"}));
}

}  // namespace
}  // namespace tarnwick
