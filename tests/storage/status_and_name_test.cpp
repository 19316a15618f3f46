#include <gtest/gtest.h>

#include <string>

#include "storage/object_name.h"
#include "storage/status_record.h"

namespace {

TEST(StatusRecord, LongMessagesAreCutTo128CharactersWithoutOverrun) {
  // Names far beyond the buffer, as two full paths in a rename message.
  for (const std::size_t length : {100u, 127u, 128u, 129u, 300u, 5000u}) {
    const std::string longName(length, 'n');
    ALStatusRecord status;
    EXPECT_EQ(StatusRenameFailed, status.SetError(StatusRenameFailed, "Error renaming %s to %s.  errno = %d",
                                                  longName.c_str(), longName.c_str(), 17));
    const std::string full = "Error renaming " + longName + " to " + longName + ".  errno = 17";
    ASSERT_NE(nullptr, status.Text());
    EXPECT_EQ(full.substr(0, 128), std::string(status.Text())) << length;
  }
}

TEST(StatusRecord, NewErrorCopyAndClearNeverKeepStaleText) {
  ALStatusRecord failed;
  failed.SetError(StatusReadFailed, "Read failure on %s.  errno = %d", "a", 5);
  failed.SetError(StatusWriteFailed, "Write failure on %s.  result = %d, errno = %d", "out", -1, 28);
  EXPECT_STREQ("Write failure on out.  result = -1, errno = 28", failed.Text());
  ALStatusRecord copy;
  copy.CopyFrom(failed);
  EXPECT_EQ(StatusWriteFailed, copy.code);
  ASSERT_NE(nullptr, copy.Text());
  EXPECT_STREQ(failed.Text(), copy.Text());
  EXPECT_NE(failed.Text(), copy.Text());  // a copy of its own

  ALStatusRecord textless;
  textless.SetError(StatusOutOfMemory, nullptr);
  copy.CopyFrom(textless);
  EXPECT_EQ(StatusOutOfMemory, copy.code);
  EXPECT_EQ(nullptr, copy.Text());
  failed.SetError(StatusOk, nullptr);
  EXPECT_EQ(StatusOk, failed.code);
  EXPECT_EQ(nullptr, failed.Text());
}

TEST(ObjectName, ChangeExtensionLooksOnlyAtTheFilePart) {
  const char* const cases[][2] = {
      {"C:\\pkg\\p0046.dll", "C:\\pkg\\p0046.bak"},
      {"C:\\pkg\\readme", "C:\\pkg\\readme.bak"},
      // A dot in a folder name is not an extension.
      {"C:\\old.dir\\readme", "C:\\old.dir\\readme.bak"},
      {"old.dir/readme", "old.dir/readme.bak"},
      {"old.dir/sub\\file.tar.gz", "old.dir/sub\\file.tar.bak"},
      {"p0046.dll", "p0046.bak"},
      {"", ".bak"},
  };
  for (const auto& c : cases) {
    ALObjectName name(c[0], CaseInsensitive);
    name.ChangeExtension(".bak");
    EXPECT_STREQ(c[1], name.GetName()) << c[0];
    EXPECT_STREQ(c[0], name.GetOldName());
  }
}

TEST(ObjectName, CaseModesConvertStoredNames) {
  struct Case {
    ALCaseMode mode;
    const char* stored;
    const char* withExtension;
  };
  const Case cases[] = {{CaseUpper, "C:\\DIR\\ABC.TXT", "C:\\DIR\\ABC.BAK"},
                        {CaseLower, "c:\\dir\\abc.txt", "c:\\dir\\abc.bak"},
                        {CaseSensitive, "C:\\Dir\\abc.TXT", "C:\\Dir\\abc.Bak"},
                        {CaseInsensitive, "C:\\Dir\\abc.TXT", "C:\\Dir\\abc.Bak"}};
  for (const Case& c : cases) {
    EXPECT_STREQ(c.stored, ALObjectName("C:\\Dir\\abc.TXT", c.mode).GetName());
    ALObjectName renamed("x", c.mode);
    renamed.SetName("C:\\Dir\\abc.TXT");
    EXPECT_STREQ(c.stored, renamed.GetName());
    renamed.ChangeExtension(".Bak");
    EXPECT_STREQ(c.withExtension, renamed.GetName());
  }
  // Letters beyond ASCII are left alone in every mode.
  EXPECT_STREQ("\xE4PFEL.TXT", ALObjectName("\xE4pfel.txt", CaseUpper).GetName());
}

TEST(ObjectName, SetNameKeepsExactlyTwoNamesAndSurvivesAliasing) {
  ALObjectName name("first", CaseSensitive);
  EXPECT_STREQ("", name.GetOldName());
  // The very buffer of the current name: nothing changes.
  name.SetName(name.GetName());
  EXPECT_STREQ("first", name.GetName());
  EXPECT_STREQ("", name.GetOldName());

  // Equal characters in another buffer count as a new name.
  name.SetName(std::string("first").c_str());
  EXPECT_STREQ("first", name.GetOldName());
  name.SetName("second");
  // The old name handed back in must not be freed before it is copied.
  name.SetName(name.GetOldName());
  EXPECT_STREQ("first", name.GetName());
  EXPECT_STREQ("second", name.GetOldName());

  name.SetName(nullptr);
  EXPECT_STREQ("", name.GetName());
  EXPECT_STREQ("first", name.GetOldName());
  name.SwapNames();
  EXPECT_STREQ("first", name.GetName());
  EXPECT_STREQ("", name.GetOldName());
}

}  // namespace
