#include "tools/pack.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

using Bytes = std::vector<unsigned char>;

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

// Raw inflate with zlib alone; true only when the stream ends properly.
bool RawInflate(const Bytes& packed, Bytes* out) {
  z_stream zs;
  std::memset(&zs, 0, sizeof zs);
  if (inflateInit2(&zs, -15) != Z_OK) return false;
  zs.next_in = const_cast<unsigned char*>(packed.data());
  zs.avail_in = static_cast<uInt>(packed.size());
  unsigned char chunk[1024];
  int rc;
  do {
    zs.next_out = chunk;
    zs.avail_out = sizeof chunk;
    rc = inflate(&zs, Z_NO_FLUSH);
    out->insert(out->end(), chunk, chunk + (sizeof chunk - zs.avail_out));
  } while (rc == Z_OK);
  inflateEnd(&zs);
  return rc == Z_STREAM_END;
}

Bytes SampleModule(size_t size) {
  Bytes bytes(size);
  unsigned state = 12345;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    // Mostly repetitive with some noise, like code and resources.
    bytes[i] = static_cast<unsigned char>((i % 64 < 40) ? (i % 7) : (state >> 24));
  }
  return bytes;
}

TEST(Pack, WritesARawDeflateStreamOfTheWholeModule) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{4096}, size_t{200000}}) {
    const Bytes module = SampleModule(size);
    WriteFile("pack_in.dll", module);
    std::string message;
    ASSERT_TRUE(ppk::PackModule("pack_in.dll", "pack_out.ppk", &message)) << message;
    Bytes decoded;
    ASSERT_TRUE(RawInflate(ReadFile("pack_out.ppk"), &decoded)) << size;
    EXPECT_EQ(decoded, module) << size;
  }
}

TEST(Pack, ReplacesAnExistingPackage) {
  WriteFile("pack_old.ppk", Bytes(100, 0xAB));
  WriteFile("pack_new.dll", SampleModule(5000));
  std::string message;
  ASSERT_TRUE(ppk::PackModule("pack_new.dll", "pack_old.ppk", &message)) << message;
  Bytes decoded;
  ASSERT_TRUE(RawInflate(ReadFile("pack_old.ppk"), &decoded));
  EXPECT_EQ(decoded, SampleModule(5000));
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

}  // namespace
