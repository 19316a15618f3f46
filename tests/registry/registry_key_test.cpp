#include "app/install/registry_key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/registry_test_support.h"


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

  void Store(const char* name, DWORD type, const void* data, DWORD size) {
    regtest::StoreRaw(HKEY_CURRENT_USER, base + "\\k", name, type, data, size);
  }

  std::string base;
  HKEY root = nullptr;
};

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

}  // namespace
