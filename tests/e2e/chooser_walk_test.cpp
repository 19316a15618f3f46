#include "app/dialogs/folder_chooser.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Next(const std::string& current, const char* converted, bool drive = false) {
  char out[kChooserFolderSize] = "garbage";
  if (!NextChooserFolder(current.c_str(), converted, drive, out, sizeof out)) return "<none>";
  return out;
}

TEST(ChooserWalk, EachEntryLeadsToTheFolderItNames) {
  // [..] drops exactly one component, also after the backslash that folders
  // reached through the list end with; a drive's root keeps its backslash.
  EXPECT_EQ(Next("C:\\Daten\\Pakete", "..\\"), "C:\\Daten");
  EXPECT_EQ(Next("C:\\Daten", "..\\"), "C:\\");
  EXPECT_EQ(Next("C:\\Daten\\Pakete\\", "..\\"), "C:\\Daten");
  EXPECT_EQ(Next("C:\\Daten\\", "..\\"), "C:\\");
  EXPECT_EQ(Next("C:\\", "..\\"), "C:\\");
  // A sub-folder, without a doubled backslash.
  EXPECT_EQ(Next("C:\\Daten", "Pakete\\"), "C:\\Daten\\Pakete\\");
  EXPECT_EQ(Next("C:\\", "Daten\\"), "C:\\Daten\\");
  EXPECT_EQ(Next("", "Daten\\"), "Daten\\");
  // Only [..] is the parent: folders whose names begin with a full stop are
  // entered like any other.
  EXPECT_EQ(Next("C:\\Daten", ".cache\\"), "C:\\Daten\\.cache\\");
  EXPECT_EQ(Next("C:\\Daten\\", "..alt\\"), "C:\\Daten\\..alt\\");
  // A drive entry leads to that drive's root.
  EXPECT_EQ(Next("C:\\Daten\\Pakete", "d:", true), "d:\\");
}

TEST(ChooserWalk, FolderTooLongForTheBufferIsRefused) {
  EXPECT_EQ(Next("C:\\" + std::string(kChooserFolderSize - 10, 'a'), "bbbbbbbbbbbbbbbb\\"),
            "<none>");
  char small[8] = "xxxxxxx";
  EXPECT_EQ(NextChooserFolder("C:\\", "Daten\\", false, small, sizeof small), 0);
  EXPECT_STREQ(small, "");
  EXPECT_EQ(NextChooserFolder("C:\\", "Dat\\", false, small, sizeof small), 1);
  EXPECT_STREQ(small, "C:\\Dat\\");
}

}  // namespace
