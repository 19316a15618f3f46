#include "app/install/registry_key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "tests/support/registry_test_support.h"

using regtest::Bytes;
using regtest::Dword;
using regtest::Sz;
using regtest::Values;

namespace {

constexpr char kGuard = static_cast<char>(0xCC);

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
  Values Stored(const std::string& path = "") const {
    return regtest::ValuesBelow(HKEY_CURRENT_USER, path.empty() ? base : Below(path));
  }
  void Store(const std::string& path, const char* name, DWORD type, const void* data,
             DWORD size) {
    regtest::StoreRaw(HKEY_CURRENT_USER, Below(path), name, type, data, size);
  }

  std::string base;
  HKEY root = nullptr;
};

TEST_F(RegistryKeyTest, EmptyPathOrNoSubKeyNamesNoExtraLevel) {
  // An empty (or null) path with a sub-key: the sub-key sits right below
  // the root; a path without a sub-key: the value sits in the path itself.
  for (const char* path : {"", static_cast<const char*>(nullptr)}) {
    ASSERT_EQ(RegistryKey(root, path).WriteString("general", "dir", "C:\\Verdanelle"), 1);
    EXPECT_EQ(Stored(), (Values{{"general\\dir", Sz("C:\\Verdanelle")}}));
    regtest::DeleteTree(HKEY_CURRENT_USER, Below("general"));
  }
  RegistryKey key(root, "SOFTWARE\\Lumora\\Verdanelle");
  ASSERT_EQ(key.WriteDword(nullptr, "n", 7), 1);
  EXPECT_EQ(Stored(), (Values{{"SOFTWARE\\Lumora\\Verdanelle\\n", Dword(7)}}));
  EXPECT_EQ(regtest::SubKeyCount(HKEY_CURRENT_USER, Below("SOFTWARE\\Lumora\\Verdanelle")), 0);
  DWORD value = 0;
  EXPECT_EQ(key.ReadDword(nullptr, "n", &value), 1);
  EXPECT_EQ(value, 7u);
}

// A read that fails empties a text buffer, leaves a number as it was, and
// still leaves the sub-key it opened behind.
TEST_F(RegistryKeyTest, ReadsFailOnMissingValuesAndOnValuesOfAnotherType) {
  const char expand[] = "%TEMP%\\x";
  Store("k", "expand", REG_EXPAND_SZ, expand, sizeof expand);
  const DWORD number = 5;
  Store("k", "number", REG_DWORD, &number, sizeof number);
  Store("k", "blob", REG_BINARY, "\1\2\3\4", 4);
  Store("k", "text", REG_SZ, "abc", 4);

  RegistryKey key(root, nullptr);
  for (const char* name : {"missing", "expand", "number"}) {
    SCOPED_TRACE(name);
    char buffer[32] = "stale";
    EXPECT_EQ(key.ReadString("k", name, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
  }
  char buffer[32];
  DWORD value = 42;
  for (const char* name : {"missing", "text"}) {
    EXPECT_EQ(key.ReadBinary("k", name, buffer, sizeof buffer), 0) << name;
  }
  for (const char* name : {"missing", "blob"}) {
    EXPECT_EQ(key.ReadDword("k", name, &value), 0) << name;
    EXPECT_EQ(value, 42u) << name;
  }
  std::strcpy(buffer, "stale");
  EXPECT_EQ(key.ReadString("s1", "v", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(key.ReadBinary("s2", "v", buffer, sizeof buffer), 0);
  EXPECT_EQ(key.ReadDword("s3", "v", &value), 0);
  for (const char* subKey : {"s1", "s2", "s3"}) {
    EXPECT_TRUE(regtest::KeyExists(HKEY_CURRENT_USER, Below(subKey))) << subKey;
  }
}

TEST_F(RegistryKeyTest, WritesStoreExactBytesAndTypes) {
  RegistryKey key(root, "w");
  EXPECT_EQ(key.WriteString(nullptr, "empty", ""), 1);
  EXPECT_EQ(key.WriteString(nullptr, "text", "Rosa Hibiscus"), 1);
  const unsigned char blob[3] = {0, 0xFF, 7};
  EXPECT_EQ(key.WriteBinary(nullptr, "blob", blob, sizeof blob), 1);
  EXPECT_EQ(key.WriteDword(nullptr, "number", 0x11223344), 1);
  EXPECT_EQ(Stored("w"), (Values{{"empty", {REG_SZ, Bytes{0}}},
                                 {"text", Sz("Rosa Hibiscus")},
                                 {"blob", {REG_BINARY, Bytes{0, 0xFF, 7}}},
                                 {"number", {REG_DWORD, Bytes{0x44, 0x33, 0x22, 0x11}}}}));
}

TEST_F(RegistryKeyTest, OnlyWriteDwordTakesTheDefaultValue) {
  RegistryKey key(root, "d");
  const unsigned char blob[1] = {9};
  EXPECT_EQ(key.WriteBinary(nullptr, nullptr, blob, sizeof blob), 0);
  EXPECT_EQ(key.WriteString(nullptr, nullptr, "x"), 0);
  EXPECT_EQ(Stored("d"), Values{});
  EXPECT_EQ(key.WriteDword(nullptr, nullptr, 3), 1);
  EXPECT_EQ(Stored("d"), (Values{{"", Dword(3)}}));
}

// Callers append to what ReadString returns: whatever is stored, the buffer
// must end up holding a terminated string inside its bounds. Some
// registries hand back REG_SZ data exactly as stored, without adding a
// terminator, so the terminating step is also given such data directly.
TEST_F(RegistryKeyTest, ReadStringNeverLeavesAnUnterminatedOrOverrunBuffer) {
  constexpr DWORD kSize = 8;
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
    char memory[kSize + 8];
    std::memset(memory, kGuard, sizeof memory);
    EXPECT_EQ(key.ReadString("s", "v", memory, kSize), c.result);
    ASSERT_NE(std::memchr(memory, '\0', kSize), nullptr);
    EXPECT_STREQ(memory, c.text);
    EXPECT_EQ(std::string(memory + kSize, 8), std::string(8, kGuard));
    if (c.size > kSize) continue;  // the registry refuses these before
    std::memset(memory, kGuard, sizeof memory);
    std::memcpy(memory, c.data, c.size);
    EXPECT_EQ(RegistryKey::TerminateString(memory, kSize, c.size), c.result);
    EXPECT_STREQ(memory, c.text);
    EXPECT_EQ(std::string(memory + kSize, 8), std::string(8, kGuard));
  }
}

TEST_F(RegistryKeyTest, ReadBinaryNeverWritesPastItsBuffer) {
  constexpr DWORD kSize = 8;
  const char data[] = "\1\2\3\4\5\6\7\10\11\12\13\14";
  RegistryKey key(root, nullptr);
  for (DWORD stored : {DWORD{7}, kSize, kSize + 1, DWORD{12}}) {
    SCOPED_TRACE(stored);
    Store("b", "v", REG_BINARY, data, stored);
    char memory[kSize + 8];
    std::memset(memory, kGuard, sizeof memory);
    EXPECT_EQ(key.ReadBinary("b", "v", memory, kSize), stored <= kSize ? 1 : 0);
    if (stored <= kSize) {
      EXPECT_EQ(std::string(memory, stored), std::string(data, stored));
    }
    EXPECT_EQ(std::string(memory + kSize, 8), std::string(8, kGuard));
  }
  char untouched = kGuard;
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
  EXPECT_EQ(Stored(), (Values{{longPath.substr(0, 259) + "\\v", Dword(1)}}));

  // A sub-key that does not fit beside the path in the joined buffer names
  // no key at all, rather than a cut-off one.
  std::string nested;
  while (nested.size() < RegistryKey::kJoinedPathBufferSize) nested += "s\\";
  EXPECT_EQ(key.WriteDword(nested.c_str(), "v", 2), 0);
  EXPECT_EQ(regtest::SubKeyCount(root, longPath.substr(0, 259)), 0);
}

}  // namespace
