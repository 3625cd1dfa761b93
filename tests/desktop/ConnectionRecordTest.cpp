#include "desktop/ConnectionRecord.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace tarnwick {
namespace {

void PutLe32(std::string& bytes, size_t at, std::uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t Le32(const std::string& bytes, size_t at) {
  std::uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i)
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return value;
}

// A record: version, counter, flags, proxy text, bypass list (none when empty), then `tail`.
std::string Record(std::uint8_t flags, const std::string& proxy, const std::string& bypass,
                   const std::string& tail = "") {
  std::string record(16, '\0');
  record[0] = 0x3C;
  record[4] = 0x21;
  record[5] = 0x07;
  record[8] = static_cast<char>(flags);
  record[9] = 0x55;
  PutLe32(record, 12, static_cast<std::uint32_t>(proxy.size()));
  record += proxy;
  std::string length(4, '\0');
  PutLe32(length, 0, static_cast<std::uint32_t>(bypass.size()));
  record += length + bypass + tail;
  return record;
}

TEST(MergeHttpProxyTest, ReplacesOrAddsOnlyTheHttpEntry) {
  EXPECT_EQ("http=localhost:8080", MergeHttpProxy("", "localhost", "8080"));
  EXPECT_EQ("ftp=f:21;http=localhost:8080", MergeHttpProxy("ftp=f:21", "localhost", "8080"));
  EXPECT_EQ("ftp=f:21;http=localhost:8080;gopher=g:70",
            MergeHttpProxy("ftp=f:21;http=old:3128;gopher=g:70", "localhost", "8080"));
  EXPECT_EQ("p:3128;http=localhost:8080", MergeHttpProxy("p:3128", "localhost", "8080"));
  EXPECT_EQ("ftp=f:21;http=localhost:8080", MergeHttpProxy("ftp=f:21;", "localhost", "8080"));
  EXPECT_EQ("http=localhost:8080", MergeHttpProxy("http=localhost:8080", "localhost", "8080"));
}

TEST(ConnectionRecordTest, ShortProxyTextGivesThe52ByteRecord) {
  const auto rebuilt = RebuildConnectionRecord(Record(1, "http=a:1", ""), true, "localhost", "8080");
  ASSERT_TRUE(rebuilt);
  ASSERT_EQ(52u, rebuilt->size());
  EXPECT_EQ(52, static_cast<unsigned char>((*rebuilt)[4]));
  EXPECT_EQ(0x07, (*rebuilt)[5]);
  EXPECT_EQ(19u, Le32(*rebuilt, 12));
  EXPECT_EQ("http=localhost:8080", rebuilt->substr(16, 19));
  EXPECT_EQ(std::string(17, '\0'), rebuilt->substr(35));
}

TEST(ConnectionRecordTest, FlagsBecomeThreeOrOneAndTheTailGoes) {
  const std::string original = Record(9, "ftp=f:21", "<local>", "WHATEVER-FOLLOWED");
  const auto on = RebuildConnectionRecord(original, true, "localhost", "8080");
  ASSERT_TRUE(on);
  EXPECT_EQ(3, (*on)[8]);
  EXPECT_EQ(0x55, (*on)[9]);
  const std::string merged = "ftp=f:21;http=localhost:8080";
  EXPECT_EQ(merged, on->substr(16, merged.size()));
  EXPECT_EQ(7u, Le32(*on, 16 + merged.size()));
  EXPECT_EQ("<local>", on->substr(20 + merged.size(), 7));
  EXPECT_EQ(16 + merged.size() + 4 + 7 + 17, on->size());
  EXPECT_EQ(std::string::npos, on->find("WHATEVER"));

  const auto off = RebuildConnectionRecord(*on, false, "localhost", "8080");
  ASSERT_TRUE(off);
  EXPECT_EQ(1, (*off)[8]);
  EXPECT_EQ(on->size(), off->size());
  EXPECT_EQ(on->substr(9), off->substr(9));
  // Rebuilding again changes nothing.
  EXPECT_EQ(*on, RebuildConnectionRecord(*on, true, "localhost", "8080"));
}

TEST(ConnectionRecordTest, NewDialUpRecordIsRebuiltToo) {
  const std::string fresh = NewConnectionRecord();
  ASSERT_EQ(20u, fresh.size());
  EXPECT_EQ(0x3C, fresh[0]);
  EXPECT_EQ(std::string(19, '\0'), fresh.substr(1));
  const auto rebuilt = RebuildConnectionRecord(fresh, true, "localhost", "8080");
  ASSERT_TRUE(rebuilt);
  EXPECT_EQ(52u, rebuilt->size());
  EXPECT_EQ(3, (*rebuilt)[8]);
}

TEST(ConnectionRecordTest, DamagedOrOversizedRecordsAreLeftAlone) {
  std::string pastEnd = Record(1, "http=a:1", "");
  PutLe32(pastEnd, 12, 5000);
  EXPECT_FALSE(RebuildConnectionRecord(pastEnd, true, "localhost", "8080"));
  std::string hugeLength = Record(1, "http=a:1", "");
  PutLe32(hugeLength, 12, 0xFFFFFFFF);
  EXPECT_FALSE(RebuildConnectionRecord(hugeLength, true, "localhost", "8080"));
  std::string bypassPastEnd = Record(1, "http=a:1", "abc");
  PutLe32(bypassPastEnd, 16 + 8, 100);
  EXPECT_FALSE(RebuildConnectionRecord(bypassPastEnd, true, "localhost", "8080"));
  // A long list and bypass that would no longer fit the 4096-byte buffer.
  const auto full = Record(1, std::string(2000, 'x'), std::string(2040, 'y'));
  EXPECT_LE(full.size(), kConnectionRecordLimit);
  EXPECT_FALSE(RebuildConnectionRecord(full, true, "localhost", "8080"));
  EXPECT_FALSE(RebuildConnectionRecord(std::string(4097, '\0'), true, "localhost", "8080"));
}

TEST(ConnectionRecordTest, LengthByteStopsAt255) {
  const auto rebuilt = RebuildConnectionRecord(Record(1, std::string(300, 'x'), ""), true, "localhost", "8080");
  ASSERT_TRUE(rebuilt);
  EXPECT_EQ(255, static_cast<unsigned char>((*rebuilt)[4]));
}

}  // namespace
}  // namespace tarnwick
