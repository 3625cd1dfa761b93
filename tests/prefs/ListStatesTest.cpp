#include "prefs/ListStates.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(ListStatesTest, StateLinesCarryCheckMethodTargetAndCredential) {
  EXPECT_EQ("1|2|http://example.org/|dXNlcjpwYXNz", RedirStateLine(true, kRedirRedirect, "http://example.org/", "user", "pass"));
  EXPECT_EQ("0|0|Og==", AclStateLine(false, kAclGrant, "", "")) << "no user and no password is a lone colon";
  EXPECT_EQ("0|2|http://example.org/|dXNlcjpwYXNz", WithCheck("1|2|http://example.org/|dXNlcjpwYXNz", false));
  EXPECT_EQ("1", WithCheck("", true));
  EXPECT_TRUE(StateLineChecked("1|0|Og=="));
  EXPECT_FALSE(StateLineChecked("0|0|Og=="));
  EXPECT_FALSE(StateLineChecked(""));
}

TEST(ListStatesTest, ParsingSplitsTheCredentialAtItsFirstColon) {
  const TEntryState redir = ParseRedirState(RedirStateLine(true, kRedirPassword, "t", "me", "a:b"));
  EXPECT_EQ(kRedirPassword, redir.Method);
  EXPECT_EQ("t", redir.Target);
  EXPECT_EQ("me", redir.User);
  EXPECT_EQ("a:b", redir.Password);
  const TEntryState acl = ParseAclState("1|1|Og==");
  EXPECT_EQ(kAclDeny, acl.Method);
  EXPECT_EQ("", acl.User);
  EXPECT_EQ("", acl.Password);
  const TEntryState broken = ParseRedirState("1|x");
  EXPECT_EQ(-1, broken.Method);
  EXPECT_EQ("", broken.Target);
}

TEST(ListStatesTest, ImageSizeEntriesReadBackAsWidthAndHeight) {
  EXPECT_EQ("468 x 60", ImageSizeText(468, 60));
  EXPECT_EQ((TImageSize{120, 600}), ParseImageSizeEntry("120 x 600"));
  EXPECT_EQ((TImageSize{88, 31}), ParseImageSizeEntry("88 x 31"));
  EXPECT_EQ((TImageSize{-5, 7}), ParseImageSizeEntry("-5 x 7"));
  EXPECT_EQ(0, ParseImageSizeEntry("12345").Width) << "no x: no width";
}

}  // namespace
}  // namespace tarnwick
