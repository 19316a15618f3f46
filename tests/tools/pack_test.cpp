#include "tools/pack.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/deflate_streams.h"
#include "tools/package_names.h"
#include "tools/unpack.h"

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

Bytes Unpacked(const std::string& path) {
  const Bytes packed = ReadFile(path);
  const auto ref = deflate_streams::RawInflate(packed.data(), packed.size());
  EXPECT_TRUE(ref.complete) << path;
  return ref.output;
}

Bytes SampleModule(std::size_t size) { return deflate_streams::ModuleLike(size, 21); }

TEST(Pack, WritesARawDeflateStreamOfTheWholeModule) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{4096}, size_t{200000}}) {
    const Bytes module = SampleModule(size);
    WriteFile("pack_in.dll", module);
    std::string message;
    ASSERT_TRUE(ppk::PackModule("pack_in.dll", "pack_out.ppk", &message)) << message;
    EXPECT_EQ(Unpacked("pack_out.ppk"), module) << size;
  }
}

TEST(Pack, ReplacesAnExistingPackage) {
  WriteFile("pack_old.ppk", Bytes(100, 0xAB));
  WriteFile("pack_new.dll", SampleModule(5000));
  std::string message;
  ASSERT_TRUE(ppk::PackModule("pack_new.dll", "pack_old.ppk", &message)) << message;
  EXPECT_EQ(Unpacked("pack_old.ppk"), SampleModule(5000));
}

TEST(Pack, MissingModuleFailsWithoutLeavingAPackage) {
  std::remove("pack_none.ppk");
  std::string message;
  EXPECT_FALSE(ppk::PackModule("pack_no_such_module.dll", "pack_none.ppk", &message));
  EXPECT_NE(message.find("pack_no_such_module.dll"), std::string::npos) << message;
  EXPECT_FALSE(Exists("pack_none.ppk"));
}

TEST(Pack, UnwritablePackageFolderFails) {
  WriteFile("pack_in2.dll", SampleModule(10));
  std::string message;
  EXPECT_FALSE(ppk::PackModule("pack_in2.dll", "no_such_folder/x.ppk", &message));
  EXPECT_FALSE(message.empty());
}

TEST(Pack, NeverReplacesItsInputWithThePackage) {
  // Both the default name of a module that is already called .ppk and an
  // explicit same name must keep the module as it was.
  const Bytes module = SampleModule(3000);
  WriteFile("pack_self.ppk", module);
  std::string message;
  EXPECT_FALSE(ppk::PackModule("pack_self.ppk", ppk::DefaultPackageName("pack_self.ppk"), &message));
  EXPECT_NE(message.find("same file"), std::string::npos) << message;
  EXPECT_FALSE(ppk::PackModule("pack_self.ppk", "./pack_self.ppk", &message));
  EXPECT_EQ(ReadFile("pack_self.ppk"), module);

  WriteFile("unpack_self.dll", module);
  EXPECT_FALSE(ppk::UnpackPackage("unpack_self.dll", ppk::DefaultModuleName("unpack_self.dll"), &message));
  EXPECT_EQ(ReadFile("unpack_self.dll"), module);
}

}  // namespace
