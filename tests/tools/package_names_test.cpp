#include "tools/package_names.h"

#include <gtest/gtest.h>

namespace {

TEST(PackageNames, DefaultNamesReplaceOnlyTheFileExtension) {
  struct Case {
    const char* module;
    const char* package;
  };
  const Case cases[] = {
      {"p0046.dll", "p0046.ppk"},
      {"dir/p0046.dll", "dir/p0046.ppk"},
      {"C:\\pkg\\p0046.DLL", "C:\\pkg\\p0046.ppk"},
      {"old.dir/readme", "old.dir/readme.ppk"},  // a dot in a folder is no extension
      {"old.dir\\readme", "old.dir\\readme.ppk"},
      {"a.b.dll", "a.b.ppk"},
      {"dir/.hidden", "dir/.hidden.ppk"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ppk::DefaultPackageName(c.module), c.package) << c.module;
  }
  EXPECT_EQ(ppk::DefaultModuleName("dir/p0046.ppk"), "dir/p0046.dll");
  EXPECT_EQ(ppk::DefaultModuleName("x.y\\p0046"), "x.y\\p0046.dll");
}

TEST(PackageNames, TemporaryNameStaysInTheTargetsFolder) {
  const std::string temp = ppk::TemporaryNameBeside("some/dir/p0046.dll");
  EXPECT_EQ(temp.rfind("some/dir/p0046.dll", 0), 0u);
  EXPECT_NE(temp, "some/dir/p0046.dll");
}

}  // namespace
