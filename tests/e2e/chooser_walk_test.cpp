#include "app/folder_chooser.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Next(const char* current, const char* converted, bool drive = false) {
  char out[kChooserFolderSize] = "garbage";
  if (!NextChooserFolder(current, converted, drive, out, sizeof out)) return "<none>";
  return out;
}

TEST(ChooserWalk, ParentEntryDropsExactlyOneComponent) {
  EXPECT_EQ(Next("C:\\Daten\\Pakete", "..\\"), "C:\\Daten");
  EXPECT_EQ(Next("C:\\Daten", "..\\"), "C:\\");
  // Folders reached through the list end with a backslash; [..] still goes
  // up one level, not zero.
  EXPECT_EQ(Next("C:\\Daten\\Pakete\\", "..\\"), "C:\\Daten");
  EXPECT_EQ(Next("C:\\Daten\\", "..\\"), "C:\\");
  // A drive's root keeps its backslash.
  EXPECT_EQ(Next("C:\\", "..\\"), "C:\\");
}

TEST(ChooserWalk, SubFolderAndBackGivesTheSameFolder) {
  const std::string down = Next("C:\\Daten", "Pakete\\");
  EXPECT_EQ(down, "C:\\Daten\\Pakete\\");
  EXPECT_EQ(Next(down.c_str(), "..\\"), "C:\\Daten");
  // No doubled backslash below a folder that already ends with one.
  EXPECT_EQ(Next("C:\\", "Daten\\"), "C:\\Daten\\");
  EXPECT_EQ(Next("", "Daten\\"), "Daten\\");
}

TEST(ChooserWalk, DriveEntryLeadsToTheRoot) {
  EXPECT_EQ(Next("C:\\Daten\\Pakete", "d:", true), "d:\\");
}

TEST(ChooserWalk, FolderTooLongForTheBufferIsRefused) {
  std::string current = "C:\\" + std::string(kChooserFolderSize - 10, 'a');
  EXPECT_EQ(Next(current.c_str(), "bbbbbbbbbbbbbbbb\\"), "<none>");
  char small[8] = "xxxxxxx";
  EXPECT_EQ(NextChooserFolder("C:\\", "Daten\\", false, small, sizeof small), 0);
  EXPECT_STREQ(small, "");
  EXPECT_EQ(NextChooserFolder("C:\\", "Dat\\", false, small, sizeof small), 1);
  EXPECT_STREQ(small, "C:\\Dat\\");
}

}  // namespace
