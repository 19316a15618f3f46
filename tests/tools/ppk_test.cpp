#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/deflate_streams.h"
#include "tests/support/test_files.h"
#include "tools/pack.h"
#include "tools/package_names.h"
#include "tools/unpack.h"

namespace {

TEST(PackageNames, DefaultNamesReplaceOnlyTheFileExtension) {
  const char* const cases[][2] = {{"C:\\pkg\\p0046.DLL", "C:\\pkg\\p0046.ppk"}, {"a.b.dll", "a.b.ppk"},
                                  {"old.dir/readme", "old.dir/readme.ppk"}, {"old.dir\\readme", "old.dir\\readme.ppk"},
                                  {"dir/.hidden", "dir/.hidden.ppk"}};
  for (const auto& c : cases) EXPECT_EQ(c[1], ppk::DefaultPackageName(c[0])) << c[0];
  EXPECT_EQ("x.y\\p0046.dll", ppk::DefaultModuleName("x.y\\p0046"));
}

// An existing package or module is replaced only by a complete new one, and
// neither tool ever writes over its own input.
TEST(Ppk, PackAndUnpackReplaceOnlyWithACompleteFileAndNeverTheirInput) {
  TempFolder folder(true);
  const deflate_streams::Bytes bytes = deflate_streams::ModuleLike(100000, 99);
  const std::string module(bytes.begin(), bytes.end());
  std::string message;
  ppk::PackResult packed;
  WriteWholeFile("in.dll", module);
  WriteWholeFile("in.ppk", "old package");
  WriteWholeFile("out.dll", "old module");
  ASSERT_TRUE(ppk::PackModule("in.dll", "in.ppk", &packed, &message)) << message;
  ASSERT_TRUE(ppk::UnpackPackage("in.ppk", "out.dll", &message)) << message;
  EXPECT_EQ(module, ReadWholeFile("out.dll"));
  EXPECT_FALSE(FileExists("in.ppk.tmp") || FileExists("out.dll.tmp"));

  WriteWholeFile("bad.ppk", "\x07");  // a final block of the reserved type
  EXPECT_FALSE(ppk::UnpackPackage("bad.ppk", "out.dll", &message));
  EXPECT_EQ("Damaged or incomplete compressed data in bad.ppk.", message);
  EXPECT_FALSE(ppk::UnpackPackage("none.ppk", "out.dll", &message));
  EXPECT_EQ("File open failure.  Open of none.ppk returned errno = 2", message);
  // A folder with something in it cannot be replaced.
  std::filesystem::create_directories("dir.ppk/x");
  std::filesystem::create_directories("dir.dll/x");
  EXPECT_FALSE(ppk::PackModule("in.dll", "dir.ppk", &packed, &message));
  EXPECT_FALSE(ppk::UnpackPackage("in.ppk", "dir.dll", &message));
#ifndef _WIN32
  // A device that refuses to sync (EINVAL) under the temporary name: the
  // data cannot be known to be on disk, for the module and the package.
  std::filesystem::create_symlink("/dev/null", "out.dll.tmp");
  EXPECT_FALSE(ppk::UnpackPackage("in.ppk", "out.dll", &message));
  EXPECT_EQ("Write failure on out.dll.tmp.  result = -1, errno = 22", message);
  std::filesystem::create_symlink("/dev/null", "null.ppk.tmp");
  EXPECT_FALSE(ppk::PackModule("in.dll", "null.ppk", &packed, &message));
  EXPECT_EQ("Write failure on null.ppk.tmp: Invalid argument", message);
  EXPECT_FALSE(FileExists("null.ppk") || FileExists("null.ppk.tmp"));
#endif
  EXPECT_EQ(module, ReadWholeFile("out.dll"));
  EXPECT_FALSE(FileExists("dir.ppk.tmp") || FileExists("dir.dll.tmp") || FileExists("out.dll.tmp"));

  // "ppk pack x.ppk" and "ppk unpack x.dll" name their input as their output;
  // a package may also have the pending file's name.
  EXPECT_FALSE(ppk::PackModule("in.ppk", ppk::DefaultPackageName("in.ppk"), &packed, &message));
  EXPECT_EQ("in.ppk and in.ppk are the same file.", message);
  std::filesystem::copy_file("in.ppk", "x.dll");
  std::filesystem::copy_file("in.ppk", "x.dll.tmp");
  EXPECT_FALSE(ppk::UnpackPackage("x.dll.tmp", "x.dll", &message));
  EXPECT_FALSE(ppk::UnpackPackage("x.dll", ppk::DefaultModuleName("x.dll"), &message));
  EXPECT_EQ(ReadWholeFile("in.ppk"), ReadWholeFile("x.dll"));
  EXPECT_EQ(ReadWholeFile("in.ppk"), ReadWholeFile("x.dll.tmp"));
}

}  // namespace
