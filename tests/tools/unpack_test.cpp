#include "tools/unpack.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/deflate_streams.h"
#include "tools/pack.h"
#include "tools/package_names.h"

namespace {

using deflate_streams::Bytes;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

TEST(Unpack, RoundTripsAPackedModuleAndVerifiesItsCrc) {
  for (std::size_t size : {std::size_t{1}, std::size_t{4096}, std::size_t{300000}}) {
    SCOPED_TRACE(size);
    const Bytes module = deflate_streams::ModuleLike(size, 99);
    WriteFile("rt_in.dll", module);
    std::string message;
    ASSERT_TRUE(ppk::PackModule("rt_in.dll", "rt.ppk", &message)) << message;
    std::remove("rt_out.dll");
    ASSERT_TRUE(ppk::UnpackPackage("rt.ppk", "rt_out.dll", &message)) << message;
    EXPECT_EQ(ReadFile("rt_out.dll"), module);
    EXPECT_FALSE(Exists(ppk::TemporaryNameBeside("rt_out.dll")));

    ppk::VerifyResult result;
    ASSERT_TRUE(ppk::VerifyPackage("rt.ppk", &result, &message)) << message;
    EXPECT_EQ(result.size, module.size());
    EXPECT_EQ(result.crc32, deflate_streams::Crc32(module));
  }
}

TEST(Unpack, DamagedPackageLeavesNothingUnderTheModuleName) {
  const Bytes package = deflate_streams::Deflate(deflate_streams::ModuleLike(50000, 5));
  struct Case {
    const char* what;
    Bytes bytes;
  };
  const Case cases[] = {
      {"truncated", Bytes(package.begin(), package.begin() + static_cast<std::ptrdiff_t>(package.size() / 2))},
      {"empty", Bytes{}},
      {"invalid block type", Bytes{0x07, 0x00, 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile("bad.ppk", c.bytes);
    std::remove("bad.dll");
    std::string message;
    EXPECT_FALSE(ppk::UnpackPackage("bad.ppk", "bad.dll", &message));
    EXPECT_EQ(message, "Damaged or incomplete compressed data in bad.ppk.");
    EXPECT_FALSE(Exists("bad.dll"));
    EXPECT_FALSE(Exists(ppk::TemporaryNameBeside("bad.dll")));

    ppk::VerifyResult result;
    EXPECT_FALSE(ppk::VerifyPackage("bad.ppk", &result, &message));
    EXPECT_EQ(message, "Damaged or incomplete compressed data in bad.ppk.");
  }
}

TEST(Unpack, FailureKeepsAnExistingModuleAndSuccessReplacesIt) {
  const Bytes old = {'o', 'l', 'd'};
  WriteFile("keep.dll", old);
  WriteFile("keep_bad.ppk", Bytes{0x07});
  std::string message;
  EXPECT_FALSE(ppk::UnpackPackage("keep_bad.ppk", "keep.dll", &message));
  EXPECT_EQ(ReadFile("keep.dll"), old);

  const Bytes module = deflate_streams::ModuleLike(7000, 8);
  WriteFile("keep_good.ppk", deflate_streams::Deflate(module));
  ASSERT_TRUE(ppk::UnpackPackage("keep_good.ppk", "keep.dll", &message)) << message;
  EXPECT_EQ(ReadFile("keep.dll"), module);
}

TEST(Unpack, MissingPackageReportsTheOpenFailure) {
  std::remove("none.dll");
  std::string message;
  EXPECT_FALSE(ppk::UnpackPackage("no_such_package.ppk", "none.dll", &message));
  EXPECT_EQ(message, "File open failure.  Open of no_such_package.ppk returned errno = 2");
  EXPECT_FALSE(Exists("none.dll"));
  EXPECT_FALSE(Exists(ppk::TemporaryNameBeside("none.dll")));
}

}  // namespace
