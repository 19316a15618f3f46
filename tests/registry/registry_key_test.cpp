#include "app/install/registry_key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/registry_test_support.h"

namespace {

constexpr char kGuard = static_cast<char>(0xCC);

// The installer appends to what ReadString returns: whatever is stored, the
// buffer must end up holding a terminated string inside its bounds. A
// failed read empties it. (That a read leaves the key it opened behind, the
// end-to-end test of a product not installed shows.)
TEST(RegistryKey, ReadStringNeverLeavesAnUnterminatedOrOverrunBuffer) {
  // Below a key of the test's own in HKEY_CURRENT_USER, handed to the
  // accessor as its root.
  const std::string base = "Software\\AddonTests\\RegistryKey";
  regtest::DeleteTree(HKEY_CURRENT_USER, base);
  HKEY root = nullptr;
  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, base.c_str(), &root), ERROR_SUCCESS);
  constexpr DWORD kSize = 8;
  // `size`: bytes stored, terminator included only if counted there; `text`: what ReadString leaves.
  struct Case { DWORD type; const char* data; DWORD size; int result; const char* text; };
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
    regtest::StoreRaw(root, "k", "v", c.type, c.data, c.size);
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
  RegCloseKey(root);
  regtest::DeleteTree(HKEY_CURRENT_USER, base);
}

}  // namespace
