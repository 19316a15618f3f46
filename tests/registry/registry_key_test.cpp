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

  Values Stored() const { return regtest::ValuesBelow(HKEY_CURRENT_USER, base); }
  void Store(const char* name, DWORD type, const void* data, DWORD size) {
    regtest::StoreRaw(HKEY_CURRENT_USER, base + "\\k", name, type, data, size);
  }

  std::string base;
  HKEY root = nullptr;
};

TEST_F(RegistryKeyTest, WritesLandExactlyWhereAndAsTheyAreNamed) {
  // An empty (or null) path puts the sub-key right below the root; no
  // sub-key puts the value in the path itself; of 300 characters of path
  // 259 are kept, and a sub-key that does not fit beside them names no key
  // at all rather than a cut-off one.
  for (const char* path : {"", static_cast<const char*>(nullptr)}) {
    ASSERT_EQ(RegistryKey(root, path).WriteString("general", "dir", "C:\\Verdanelle"), 1);
  }
  std::string longPath;
  while (longPath.size() < 300) longPath += "abcdefghi\\";
  longPath.resize(300);
  RegistryKey cut(root, longPath.c_str());
  ASSERT_EQ(cut.WriteDword(nullptr, "v", 1), 1);
  EXPECT_EQ(cut.WriteDword(std::string(RegistryKey::kJoinedPathBufferSize, 's').c_str(), "v", 2), 0);
  RegistryKey key(root, "k");
  const unsigned char blob[3] = {0, 0xFF, 7};
  const char expand[] = "%TEMP%";
  EXPECT_EQ(key.WriteString(nullptr, "empty", ""), 1);
  EXPECT_EQ(key.WriteBinary(nullptr, "blob", blob, sizeof blob), 1);
  EXPECT_EQ(key.WriteDword(nullptr, "number", 0x11223344), 1);
  EXPECT_EQ(key.WriteRaw(nullptr, "expand", REG_EXPAND_SZ, expand, sizeof expand), 1);
  // Only WriteDword takes the key's default value.
  EXPECT_EQ(key.WriteBinary(nullptr, nullptr, blob, sizeof blob) + key.WriteString(nullptr, nullptr, "x"), 0);
  EXPECT_EQ(key.WriteDword(nullptr, nullptr, 3), 1);
  const Values written = {{"k\\empty", {REG_SZ, Bytes{0}}},
                          {"k\\blob", {REG_BINARY, Bytes{0, 0xFF, 7}}},
                          {"k\\number", {REG_DWORD, Bytes{0x44, 0x33, 0x22, 0x11}}},
                          {"k\\", Dword(3)},
                          {"k\\expand", {REG_EXPAND_SZ, Bytes(expand, expand + sizeof expand)}}};
  Values expected = written;
  expected["general\\dir"] = Sz("C:\\Verdanelle");
  expected[longPath.substr(0, 259) + "\\v"] = Dword(1);
  EXPECT_EQ(Stored(), expected);
  // What ReadRaw hands back, WriteRaw could put back exactly.
  for (const auto& [name, value] : written) {
    DWORD type = 0;
    Bytes data = {1};
    EXPECT_EQ(key.ReadRaw(nullptr, name.c_str() + 2, &type, &data), 1) << name;
    EXPECT_EQ(std::make_pair(type, data), value) << name;
  }
  DWORD type = 0;
  Bytes data = {1};
  EXPECT_EQ(key.ReadRaw(nullptr, "missing", &type, &data), 0);
  EXPECT_TRUE(data.empty());
}

// Callers append to what ReadString returns: whatever is stored, the buffer
// must end up holding a terminated string inside its bounds, and no read
// writes past its buffer. A failed read empties a text buffer, leaves a
// number as it was, and still leaves the sub-key it opened behind.
TEST_F(RegistryKeyTest, ReadsFailOnWrongTypesAndNeverLeaveAnUnterminatedOrOverrunBuffer) {
  constexpr DWORD kSize = 8;
  struct Case {
    DWORD type;
    const char* data;
    DWORD size;  // bytes stored, terminator included only if counted here
    int result;
    const char* text;  // what ReadString leaves
  };
  const Case cases[] = {
      {REG_SZ, "abcdefg", 8, 1, "abcdefg"},    // fills the buffer exactly, terminated
      {REG_SZ, "abcdefgh", 9, 0, ""},          // one byte too long
      {REG_SZ, "abc", 3, 1, "abc"},            // stored without terminator, room left
      {REG_SZ, "abcdefgh", 8, 0, ""},          // no terminator and no room for one
      {REG_SZ, "", 0, 1, ""},                  // no bytes at all
      {REG_EXPAND_SZ, "%TEMP%", 7, 0, ""},     // another type
  };
  RegistryKey key(root, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.data) + "/" + std::to_string(c.size));
    Store("v", c.type, c.data, c.size);
    char memory[kSize + 8];
    std::memset(memory, kGuard, sizeof memory);
    EXPECT_EQ(key.ReadString("k", "v", memory, kSize), c.result);
    EXPECT_STREQ(memory, c.text);
    EXPECT_EQ(std::string(memory + kSize, 8), std::string(8, kGuard));
    if (c.size > kSize || c.type != REG_SZ) continue;  // the registry refuses these before
    // Some registries hand REG_SZ data back as stored, terminator or not.
    std::memset(memory, kGuard, sizeof memory);
    std::memcpy(memory, c.data, c.size);
    EXPECT_EQ(RegistryKey::TerminateString(memory, kSize, c.size), c.result);
    EXPECT_STREQ(memory, c.text);
  }
  const char data[] = "\1\2\3\4\5\6\7\10\11\12\13\14";
  for (DWORD stored : {kSize, kSize + 1}) {
    Store("b", REG_BINARY, data, stored);
    char memory[kSize + 8];
    std::memset(memory, kGuard, sizeof memory);
    EXPECT_EQ(key.ReadBinary("k", "b", memory, kSize), stored <= kSize ? 1 : 0);
    EXPECT_EQ(std::string(memory + kSize, 8), std::string(8, kGuard));
  }
  DWORD value = 42;
  EXPECT_EQ(key.ReadDword("k", "b", &value), 0);
  EXPECT_EQ(key.ReadDword("missing", "v", &value), 0);
  EXPECT_EQ(value, 42u);
  EXPECT_TRUE(regtest::KeyExists(HKEY_CURRENT_USER, base + "\\missing"));
}

TEST_F(RegistryKeyTest, EnumerationRefusesASecondStartAndRunsPastTheLastValueAndNullRootsFail) {
  RegistryKey key(root, nullptr);
  ASSERT_EQ(key.WriteDword("e", "alpha", 1) + key.WriteDword("e", "beta", 2), 2);
  char name[32];
  EXPECT_EQ(key.NextValue(name, sizeof name), 0);  // nothing open yet
  ASSERT_EQ(key.BeginEnum("e"), 1);
  EXPECT_EQ(key.BeginEnum("e"), 0);
  std::set<std::string> names;
  while (key.NextValue(name, sizeof name)) names.insert(name);
  EXPECT_EQ(names, (std::set<std::string>{"alpha", "beta"}));
  // Two values found, then one failed look-up past the end: still counted.
  EXPECT_EQ(key.EnumIndex(), 3u);
  key.EndEnum();
  EXPECT_EQ(key.NextValue(name, sizeof name), 0);

  RegistryKey none(nullptr, "SOFTWARE\\Lumora\\Verdanelle");
  char buffer[8] = "stale";
  DWORD value = 42;
  DWORD type = 0;
  Bytes data;
  EXPECT_EQ(none.WriteBinary("k", "v", "x", 1) + none.WriteString("k", "v", "x") +
                none.WriteDword("k", "v", 1) + none.WriteRaw("k", "v", REG_SZ, "x", 2) +
                none.ReadBinary("k", "v", buffer, sizeof buffer) + none.ReadDword("k", "v", &value) +
                none.ReadString("k", "v", buffer, sizeof buffer) + none.BeginEnum("k"),
            0);
  EXPECT_EQ(none.ReadRaw("k", "v", &type, &data), -1);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(value, 42u);
}

}  // namespace
