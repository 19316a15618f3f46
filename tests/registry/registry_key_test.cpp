#include "app/registry_key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "tests/registry/registry_test_support.h"

using regtest::ReadStored;
using regtest::SzBytes;

namespace {

using Bytes = std::vector<unsigned char>;

// Every test works below a key of its own in HKEY_CURRENT_USER, made empty
// before and removed after, and hands that key to the accessor as its root.
class RegistryKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    base = std::string("Software\\AddonTests\\RegistryKey\\") + info->name();
    regtest::DeleteTree(HKEY_CURRENT_USER, base);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, base.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &root, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    if (root != nullptr) RegCloseKey(root);
    regtest::DeleteTree(HKEY_CURRENT_USER, base);
  }

  std::string Below(const std::string& path) const { return base + "\\" + path; }
  void Store(const std::string& path, const char* name, DWORD type, const void* data,
             DWORD size) {
    regtest::StoreRaw(HKEY_CURRENT_USER, Below(path), name, type, data, size);
  }

  std::string base;
  HKEY root = nullptr;
};

TEST_F(RegistryKeyTest, SubKeyOfEmptyPathOpensDirectlyBelowRoot) {
  for (const char* path : {"", static_cast<const char*>(nullptr)}) {
    RegistryKey key(root, path);
    ASSERT_EQ(key.WriteString("general", "dir", "C:\\Verdanelle"), 1);
    const auto stored = ReadStored(HKEY_CURRENT_USER, Below("general"), "dir");
    ASSERT_TRUE(stored.found);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored.bytes, SzBytes("C:\\Verdanelle"));
    EXPECT_EQ(regtest::SubKeyCount(HKEY_CURRENT_USER, base), 1);
    regtest::DeleteTree(HKEY_CURRENT_USER, Below("general"));
  }
}

TEST_F(RegistryKeyTest, NoSubKeyWorksOnThePathItself) {
  RegistryKey key(root, "SOFTWARE\\Lumora\\Verdanelle");
  ASSERT_EQ(key.WriteDword(nullptr, "n", 7), 1);
  const std::string product = Below("SOFTWARE\\Lumora\\Verdanelle");
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, product, "n").bytes, (Bytes{7, 0, 0, 0}));
  EXPECT_EQ(regtest::SubKeyCount(HKEY_CURRENT_USER, product), 0);
  DWORD value = 0;
  EXPECT_EQ(key.ReadDword(nullptr, "n", &value), 1);
  EXPECT_EQ(value, 7u);
}

TEST_F(RegistryKeyTest, ReadOfMissingValueFailsWithEmptyBufferAndLeavesKeyBehind) {
  RegistryKey key(root, "product");
  char text[16] = "stale";
  EXPECT_EQ(key.ReadString("general", "dir", text, sizeof text), 0);
  EXPECT_STREQ(text, "");
  EXPECT_TRUE(regtest::KeyExists(HKEY_CURRENT_USER, Below("product\\general")));

  unsigned char bytes[4] = {};
  EXPECT_EQ(key.ReadBinary("other", "x", bytes, sizeof bytes), 0);
  DWORD value = 42;
  EXPECT_EQ(key.ReadDword("other", "x", &value), 0);
  EXPECT_EQ(value, 42u);
  EXPECT_TRUE(regtest::KeyExists(HKEY_CURRENT_USER, Below("product\\other")));
}

TEST_F(RegistryKeyTest, ReadsRefuseValuesOfAnotherType) {
  const char expand[] = "%TEMP%\\x";
  Store("k", "expand", REG_EXPAND_SZ, expand, sizeof expand);
  const DWORD number = 5;
  Store("k", "number", REG_DWORD, &number, sizeof number);
  const unsigned char blob[4] = {1, 2, 3, 4};
  Store("k", "blob", REG_BINARY, blob, sizeof blob);
  const char text[] = "abc";
  Store("k", "text", REG_SZ, text, sizeof text);

  RegistryKey key(root, nullptr);
  char buffer[32] = "stale";
  EXPECT_EQ(key.ReadString("k", "expand", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  std::strcpy(buffer, "stale");
  EXPECT_EQ(key.ReadString("k", "number", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(key.ReadBinary("k", "text", buffer, sizeof buffer), 0);
  DWORD value = 42;
  EXPECT_EQ(key.ReadDword("k", "blob", &value), 0);
  EXPECT_EQ(value, 42u);
}

TEST_F(RegistryKeyTest, WritesStoreExactBytesAndTypes) {
  RegistryKey key(root, "w");
  EXPECT_EQ(key.WriteString(nullptr, "empty", ""), 1);
  EXPECT_EQ(key.WriteString(nullptr, "text", "Rosa Hibiscus"), 1);
  const unsigned char blob[3] = {0, 0xFF, 7};
  EXPECT_EQ(key.WriteBinary(nullptr, "blob", blob, sizeof blob), 1);
  EXPECT_EQ(key.WriteDword(nullptr, "number", 0x11223344), 1);

  const std::string path = Below("w");
  const auto empty = ReadStored(HKEY_CURRENT_USER, path, "empty");
  EXPECT_EQ(empty.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(empty.bytes, Bytes{0});
  EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, path, "text").bytes, SzBytes("Rosa Hibiscus"));
  const auto stored = ReadStored(HKEY_CURRENT_USER, path, "blob");
  EXPECT_EQ(stored.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(stored.bytes, Bytes(blob, blob + sizeof blob));
  const auto number = ReadStored(HKEY_CURRENT_USER, path, "number");
  EXPECT_EQ(number.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(number.bytes, (Bytes{0x44, 0x33, 0x22, 0x11}));
}

TEST_F(RegistryKeyTest, OnlyWriteDwordTakesTheDefaultValue) {
  RegistryKey key(root, "d");
  const unsigned char blob[1] = {9};
  EXPECT_EQ(key.WriteBinary(nullptr, nullptr, blob, sizeof blob), 0);
  EXPECT_EQ(key.WriteString(nullptr, nullptr, "x"), 0);
  EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, Below("d"), nullptr).found);

  EXPECT_EQ(key.WriteDword(nullptr, nullptr, 3), 1);
  const auto stored = ReadStored(HKEY_CURRENT_USER, Below("d"), nullptr);
  ASSERT_TRUE(stored.found);
  EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(stored.bytes, (Bytes{3, 0, 0, 0}));
  EXPECT_EQ(regtest::ValueCount(HKEY_CURRENT_USER, Below("d")), 1);
}

// Callers append to what ReadString returns: whatever is stored, the buffer
// must end up holding a terminated string inside its bounds.
TEST_F(RegistryKeyTest, ReadStringNeverLeavesAnUnterminatedOrOverrunBuffer) {
  constexpr DWORD kSize = 8;
  constexpr unsigned char kGuard = 0xCC;
  struct Case {
    const char* data;
    DWORD size;  // bytes stored, terminator included only if counted here
    int result;
    const char* text;
  };
  const Case cases[] = {
      {"abcdefg", 8, 1, "abcdefg"},   // fills the buffer exactly, terminated
      {"abcdefgh", 9, 0, ""},         // one byte too long
      {"abc", 3, 1, "abc"},           // stored without terminator, room left
      {"abcdefgh", 8, 0, ""},         // no terminator and no room for one
      {"abcdefghijkl", 12, 0, ""},    // longer still, no terminator
      {"", 0, 1, ""},                 // no bytes at all
  };
  RegistryKey key(root, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.data) + "/" + std::to_string(c.size));
    Store("s", "v", REG_SZ, c.data, c.size);
    unsigned char memory[kSize + 8];
    std::memset(memory, kGuard, sizeof memory);
    char* buffer = reinterpret_cast<char*>(memory);
    EXPECT_EQ(key.ReadString("s", "v", buffer, kSize), c.result);
    ASSERT_NE(std::memchr(buffer, '\0', kSize), nullptr);
    EXPECT_STREQ(buffer, c.text);
    for (DWORD i = kSize; i < sizeof memory; ++i) EXPECT_EQ(memory[i], kGuard) << i;
  }
}

// Some registries hand back REG_SZ data exactly as stored, without adding a
// terminator; the read must still end in a terminated string in bounds.
TEST(RegistryKeyString, DataWithoutTerminatorIsTerminatedOrRefused) {
  struct Case {
    const char* data;
    DWORD read;
    int result;
    const char* text;
  };
  const Case cases[] = {
      {"abcdefg\0", 8, 1, "abcdefg"},  // ends with its terminator at the last byte
      {"abc", 3, 1, "abc"},            // no terminator, room for one
      {"abcdefgh", 8, 0, ""},          // no terminator, buffer full
      {"ab\0", 3, 1, "ab"},
      {"", 0, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data);
    char memory[13];
    std::memset(memory, 'X', 12);
    memory[12] = '\0';
    std::memcpy(memory, c.data, c.read);
    EXPECT_EQ(RegistryKey::TerminateString(memory, 8, c.read), c.result);
    EXPECT_STREQ(memory, c.text);
    EXPECT_EQ(std::string(memory + 8, 4), "XXXX");
  }
}

TEST_F(RegistryKeyTest, ReadBinaryNeverWritesPastItsBuffer) {
  constexpr DWORD kSize = 8;
  constexpr unsigned char kGuard = 0xCC;
  const unsigned char data[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  RegistryKey key(root, nullptr);
  for (DWORD stored : {DWORD{7}, kSize, kSize + 1, DWORD{12}}) {
    SCOPED_TRACE(stored);
    Store("b", "v", REG_BINARY, data, stored);
    unsigned char memory[kSize + 8];
    std::memset(memory, kGuard, sizeof memory);
    EXPECT_EQ(key.ReadBinary("b", "v", memory, kSize), stored <= kSize ? 1 : 0);
    if (stored <= kSize) {
      EXPECT_EQ(std::memcmp(memory, data, stored), 0);
    }
    for (DWORD i = kSize; i < sizeof memory; ++i) EXPECT_EQ(memory[i], kGuard) << i;
  }
  unsigned char untouched = kGuard;
  EXPECT_EQ(key.ReadBinary("b", "v", &untouched, 0), 0);
  EXPECT_EQ(untouched, kGuard);
}

TEST_F(RegistryKeyTest, EnumerationRefusesASecondStartAndRunsPastTheLastValue) {
  RegistryKey key(root, nullptr);
  ASSERT_EQ(key.WriteDword("e", "alpha", 1), 1);
  ASSERT_EQ(key.WriteDword("e", "beta", 2), 1);
  char name[32];
  EXPECT_EQ(key.NextValue(name, sizeof name), 0);  // nothing open yet

  ASSERT_EQ(key.BeginEnum("e"), 1);
  EXPECT_EQ(key.BeginEnum("e"), 0);
  std::set<std::string> names;
  while (key.NextValue(name, sizeof name)) names.insert(name);
  EXPECT_EQ(names, (std::set<std::string>{"alpha", "beta"}));
  // Two values found, then one failed look-up past the end: still counted.
  EXPECT_EQ(key.EnumIndex(), 3u);
  EXPECT_EQ(key.NextValue(name, sizeof name), 0);
  EXPECT_EQ(key.EnumIndex(), 4u);
  key.EndEnum();
  EXPECT_EQ(key.NextValue(name, sizeof name), 0);

  ASSERT_EQ(key.BeginEnum("e"), 1);
  EXPECT_EQ(key.EnumIndex(), 0u);
  char tiny[3] = "xy";
  EXPECT_EQ(key.NextValue(tiny, sizeof tiny), 0);  // no name fits in 2 characters
  EXPECT_EQ(tiny[0], '\0');
  key.EndEnum();
}

TEST_F(RegistryKeyTest, NullRootFailsEveryOperation) {
  RegistryKey key(nullptr, "SOFTWARE\\Lumora\\Verdanelle");
  const unsigned char blob[1] = {1};
  char buffer[8] = "stale";
  DWORD value = 42;
  EXPECT_EQ(key.WriteBinary("k", "v", blob, sizeof blob), 0);
  EXPECT_EQ(key.WriteString("k", "v", "x"), 0);
  EXPECT_EQ(key.WriteDword("k", "v", 1), 0);
  EXPECT_EQ(key.ReadBinary("k", "v", buffer, sizeof buffer), 0);
  EXPECT_EQ(key.ReadString("k", "v", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(key.ReadDword("k", "v", &value), 0);
  EXPECT_EQ(value, 42u);
  key.DeleteValue("k", "v");
  EXPECT_EQ(key.BeginEnum("k"), 0);
  EXPECT_EQ(key.NextValue(buffer, sizeof buffer), 0);
  key.EndEnum();
}

TEST_F(RegistryKeyTest, OverlongPathsAreCutOrRefusedWithoutOverrun) {
  // 300 characters of path: the accessor keeps 259 of them.
  std::string longPath;
  while (longPath.size() < 300) longPath += "abcdefghi\\";
  longPath.resize(300);
  RegistryKey key(root, longPath.c_str());
  ASSERT_EQ(key.WriteDword(nullptr, "v", 1), 1);
  const std::string kept = longPath.substr(0, 259);
  EXPECT_EQ(ReadStored(root, kept, "v").bytes, (Bytes{1, 0, 0, 0}));

  // A sub-key that does not fit beside the path in the joined buffer names
  // no key at all, rather than a cut-off one.
  std::string nested;
  while (nested.size() < RegistryKey::kJoinedPathBufferSize) nested += "s\\";
  EXPECT_EQ(key.WriteDword(nested.c_str(), "v", 2), 0);
  EXPECT_EQ(regtest::SubKeyCount(root, kept), 0);
}

}  // namespace
