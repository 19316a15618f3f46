#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/deflate_streams.h"
#include "tests/support/test_files.h"
#include "storage/null_storage.h"
#include "tools/pack.h"
#include "tools/package_names.h"
#include "tools/unpack.h"

namespace {

using deflate_streams::Bytes;

Bytes ReadBytes(const std::string& path) {
  const std::string content = ReadWholeFile(path);
  return Bytes(content.begin(), content.end());
}

TEST(PackageNames, DefaultNamesReplaceOnlyTheFileExtension) {
  const char* const cases[][2] = {
      {"p0046.dll", "p0046.ppk"},
      {"dir/p0046.dll", "dir/p0046.ppk"},
      {"C:\\pkg\\p0046.DLL", "C:\\pkg\\p0046.ppk"},
      {"old.dir/readme", "old.dir/readme.ppk"},  // a dot in a folder is no extension
      {"old.dir\\readme", "old.dir\\readme.ppk"},
      {"a.b.dll", "a.b.ppk"},
      {"dir/.hidden", "dir/.hidden.ppk"},
  };
  for (const auto& c : cases) EXPECT_EQ(ppk::DefaultPackageName(c[0]), c[1]) << c[0];
  EXPECT_EQ(ppk::DefaultModuleName("dir/p0046.ppk"), "dir/p0046.dll");
  EXPECT_EQ(ppk::DefaultModuleName("x.y\\p0046"), "x.y\\p0046.dll");
}

TEST(Ppk, PackWritesARawDeflateStreamThatUnpacksAndVerifiesByteForByte) {
  TempFolder folder;
  const std::string module = folder.File("in.dll"), package = folder.File("pkg.ppk"), out = folder.File("out.dll");
  WriteWholeFile(package, Bytes(100, 0xAB));  // an existing package is replaced
  for (std::size_t size : {0, 1, 4096, 300000}) {
    SCOPED_TRACE(size);
    const Bytes original = deflate_streams::ModuleLike(size, 99);
    WriteWholeFile(module, original);
    std::string message;
    ppk::PackResult figures;
    ASSERT_TRUE(ppk::PackModule(module, package, &figures, &message)) << message;
    EXPECT_EQ(figures.size, original.size());
    EXPECT_EQ(figures.crc32, deflate_streams::Crc32(original));
    const Bytes packed = ReadBytes(package);
    const auto ref = deflate_streams::RawInflate(packed.data(), packed.size());
    EXPECT_TRUE(ref.complete);
    EXPECT_EQ(ref.output, original);

    ASSERT_TRUE(ppk::UnpackPackage(package, out, &message)) << message;
    EXPECT_EQ(ReadBytes(out), original);
    EXPECT_FALSE(FileExists(std::string(out) + ".tmp"));
    ppk::VerifyResult result;
    ASSERT_TRUE(ppk::VerifyPackage(package, &result, &message)) << message;
    EXPECT_EQ(result.size, original.size());
    EXPECT_EQ(result.crc32, deflate_streams::Crc32(original));
  }
}

TEST(Ppk, MissingInputOrUnwritableTargetFailsWithoutLeavingAFile) {
  TempFolder folder;
  const std::string missing = folder.File("no_such_module.dll"), target = folder.File("none.ppk");
  std::string message;
  ppk::PackResult figures;
  EXPECT_FALSE(ppk::PackModule(missing, target, &figures, &message));
  EXPECT_NE(message.find(missing), std::string::npos) << message;
  EXPECT_FALSE(FileExists(target));
  EXPECT_FALSE(ppk::UnpackPackage(missing, target, &message));
  EXPECT_EQ(message, "File open failure.  Open of " + missing + " returned errno = 2");
  EXPECT_FALSE(FileExists(target));
  EXPECT_FALSE(FileExists(std::string(target) + ".tmp"));

  WriteWholeFile(folder.File("in.dll"), Bytes(10, 1));
  message.clear();
  EXPECT_FALSE(ppk::PackModule(folder.File("in.dll"), folder.File("no_such_folder/x.ppk"), &figures, &message));
  EXPECT_FALSE(message.empty());
}

TEST(Ppk, NeverReplacesItsInputWithItsOutput) {
  // Both the default name of a module that is already called .ppk and an
  // explicit same name must keep the module as it was.
  TempFolder folder;
  CurrentFolder inside(folder.Path());
  const Bytes module = deflate_streams::ModuleLike(3000, 21);
  WriteWholeFile("pack_self.ppk", module);
  std::string message;
  ppk::PackResult figures;
  EXPECT_FALSE(ppk::PackModule("pack_self.ppk", ppk::DefaultPackageName("pack_self.ppk"), &figures, &message));
  EXPECT_NE(message.find("same file"), std::string::npos) << message;
  EXPECT_FALSE(ppk::PackModule("pack_self.ppk", "./pack_self.ppk", &figures, &message));
  EXPECT_EQ(ReadBytes("pack_self.ppk"), module);

  // A package called .dll would decode into itself.
  const Bytes package = deflate_streams::Deflate(module);
  WriteWholeFile("unpack_self.dll", package);
  EXPECT_FALSE(ppk::UnpackPackage("unpack_self.dll", ppk::DefaultModuleName("unpack_self.dll"), &message));
  EXPECT_EQ(ReadBytes("unpack_self.dll"), package);
}

TEST(Ppk, DamagedPackageLeavesNothingUnderTheModuleNameAndKeepsAnExistingModule) {
  TempFolder folder;
  CurrentFolder inside(folder.Path());
  const Bytes package = deflate_streams::Deflate(deflate_streams::ModuleLike(50000, 5));
  const Bytes damaged[] = {Bytes(package.begin(), package.begin() + static_cast<std::ptrdiff_t>(package.size() / 2)),
                           Bytes{}, Bytes{0x07, 0x00, 0x00}};
  for (const Bytes& bytes : damaged) {
    SCOPED_TRACE(bytes.size());
    WriteWholeFile("bad.ppk", bytes);
    std::string message;
    EXPECT_FALSE(ppk::UnpackPackage("bad.ppk", "bad.dll", &message));
    EXPECT_EQ(message, "Damaged or incomplete compressed data in bad.ppk.");
    EXPECT_FALSE(FileExists("bad.dll"));
    EXPECT_FALSE(FileExists(std::string("bad.dll") + ".tmp"));
    ppk::VerifyResult result;
    EXPECT_FALSE(ppk::VerifyPackage("bad.ppk", &result, &message));
    EXPECT_EQ(message, "Damaged or incomplete compressed data in bad.ppk.");

    WriteWholeFile("keep.dll", "old");
    EXPECT_FALSE(ppk::UnpackPackage("bad.ppk", "keep.dll", &message));
    EXPECT_EQ(ReadWholeFile("keep.dll"), "old");
  }
}

TEST(NullStorage, CountsPast2GiBWithoutWrappingItsPosition) {
  // `ppk verify` of a package that decodes to more than 2 GiB.
  ALNullStorage output("(verify)", 4096);
  ASSERT_EQ(0, output.Create(-1));
  output.filePosition = INT32_MAX - 10;  // as if 2 GiB had been flushed
  output.bytesWritten = INT32_MAX - 10;
  for (int i = 0; i < 100; ++i) output.WriteChar(i);
  EXPECT_EQ(0, output.FlushBuffer());
  EXPECT_EQ(INT32_MAX, output.filePosition);
  EXPECT_EQ(INT32_MAX + 90ull, output.bytesWritten);
  output.bytesWritten = 0x100000001ull;  // 4 GiB and one byte
  EXPECT_EQ(0, output.Close());
  EXPECT_EQ(INT32_MAX, output.size);
}

}  // namespace
