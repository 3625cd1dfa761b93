#include "prefs/ListStates.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(ListStatesTest, StateLinesCarryCheckMethodTargetAndCredential) {
  EXPECT_EQ("1|2|http://example.org/|dXNlcjpwYXNz",
            RedirStateLine(true, TRedirAction::Redirect, "http://example.org/", "user", "pass"));
  EXPECT_EQ("0|0|Og==", AclStateLine(false, TAccessMethod::Grant, "", "")) << "no user and no password is a lone colon";
  EXPECT_EQ("0|2|http://example.org/|dXNlcjpwYXNz", WithCheck("1|2|http://example.org/|dXNlcjpwYXNz", false));
  EXPECT_EQ("1", WithCheck("", true));
  EXPECT_TRUE(StateLineChecked("1|0|Og=="));
  EXPECT_FALSE(StateLineChecked("0|0|Og=="));
  EXPECT_FALSE(StateLineChecked(""));
}

TEST(ListStatesTest, ParsingSplitsTheCredentialAtItsFirstColon) {
  const TEntryState redir = ParseRedirState(RedirStateLine(true, TRedirAction::Password, "t", "me", "a:b"));
  EXPECT_EQ(static_cast<int>(TRedirAction::Password), redir.Method);
  EXPECT_EQ("t", redir.Target);
  EXPECT_EQ("me", redir.User);
  EXPECT_EQ("a:b", redir.Password);
  const TEntryState acl = ParseAclState("1|1|Og==");
  EXPECT_EQ(static_cast<int>(TAccessMethod::Deny), acl.Method);
  EXPECT_EQ("", acl.User);
  EXPECT_EQ("", acl.Password);
  const TEntryState broken = ParseRedirState("1|x");
  EXPECT_EQ(-1, broken.Method);
  EXPECT_EQ("", broken.Target);
}

TEST(ListStatesTest, TheEngineGetsEntriesParsedOnceWithTheirCredentialsAsStored) {
  const auto redir = RedirEntriesOf({"casino", "<poker>", "dice", "cards", "odd"},
                                    {"1|2|http://safe/|Og==", "0|3||a2lkOnB3", "1|1", "1"});
  ASSERT_EQ(5u, redir.size());
  EXPECT_EQ((TRedirEntry{"casino", true, TRedirAction::Redirect, "http://safe/", "Og=="}), redir[0]);
  EXPECT_EQ((TRedirEntry{"<poker>", false, TRedirAction::Password, "", "a2lkOnB3"}), redir[1]);
  EXPECT_EQ((TRedirEntry{"dice", true, TRedirAction::Block, "", ""}), redir[2]);
  EXPECT_EQ((TRedirEntry{"cards", true, TRedirAction::Pass, "", ""}), redir[3]) << "no action field passes";
  EXPECT_EQ((TRedirEntry{"odd", false, TRedirAction::Pass, "", ""}), redir[4]) << "no state line: unchecked";
  EXPECT_TRUE(IsWordEntry(redir[1]));
  EXPECT_FALSE(IsWordEntry(redir[0]));
  EXPECT_EQ(TRedirAction::Pass, RedirEntriesOf({"x"}, {"1|01"})[0].Action) << "the action is written exactly";

  const auto acl = AclEntriesOf({"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"}, {"1|1|Og==", "1|2|dTpw", "0|7"});
  ASSERT_EQ(4u, acl.size());
  EXPECT_EQ((TAclEntry{"10.0.0.1", true, TAccessMethod::Deny, "Og=="}), acl[0]);
  EXPECT_EQ((TAclEntry{"10.0.0.2", true, TAccessMethod::Password, "dTpw"}), acl[1]);
  EXPECT_EQ((TAclEntry{"10.0.0.3", false, TAccessMethod::Grant, ""}), acl[2]) << "an unknown method grants";
  EXPECT_FALSE(acl[3].Checked);
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
